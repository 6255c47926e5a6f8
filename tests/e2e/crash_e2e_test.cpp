// Crash reporting end to end: a program with the viewer's crash handling crashes, the real uploader
// writes exactly one dump a debugger can read into the crash folder, and the process ends; and the
// pieces alone: where the uploader is looked for, its command line both ways, and the pruning.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbghelp.h>

#include <string>
#include <vector>

#include "app/crash_handler.h"
#include "base/paths.h"
#include "companions/crashsend/crash_dump.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

class CrashEnd : public ::testing::TestWithParam<const wchar_t*> {};

// A crash through a bad pointer, and an end through the run-time's abort, each leave one dump.
TEST_P(CrashEnd, LeavesOneDumpADebuggerCanRead) {
  TempDir program, data;
  const std::wstring bin = testing_support::BinDir();
  const std::wstring tests = base::GetModuleFolder();
  ASSERT_TRUE(::CopyFileW((tests + L"crash_probe.exe").c_str(), program.File(L"crash_probe.exe").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((bin + L"CrashSend.exe").c_str(), program.File(L"CrashSend.exe").c_str(), FALSE));
  e2e::ScopedEnvironment dataFolder(L"QUELLIN_DATA_DIR", data.Path().c_str());

  e2e::Process probe;
  ASSERT_TRUE(probe.Start(program.File(L"crash_probe.exe"), GetParam()));
  const int code = probe.WaitForExit(60000);
  EXPECT_NE(code, -1) << "the crashed process did not end";
  EXPECT_NE(code, 0);

  const std::wstring crashes = data.Path() + L"temp\\crash\\";
  const std::vector<std::wstring> files = FilesIn(crashes);
  ASSERT_EQ(files.size(), 1u) << "exactly one dump, and no half-written file";
  EXPECT_EQ(files[0].rfind(L"quellinprobe_", 0), 0u) << testing::PrintToString(files[0]);

  // Read back the way a debugger does: the exception stream names the access violation.
  HANDLE file = ::CreateFileW((crashes + files[0]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  MINIDUMP_DIRECTORY* directory = nullptr;
  void* stream = nullptr;
  ULONG size = 0;
  ASSERT_TRUE(::MiniDumpReadDumpStream(view, ExceptionStream, &directory, &stream, &size));
  const auto* exception = static_cast<const MINIDUMP_EXCEPTION_STREAM*>(stream);
  if (std::wstring(GetParam()).empty()) {
    EXPECT_EQ(exception->ExceptionRecord.ExceptionCode, static_cast<ULONG32>(EXCEPTION_ACCESS_VIOLATION));
  }
  EXPECT_NE(exception->ThreadId, 0u);
  EXPECT_TRUE(::MiniDumpReadDumpStream(view, ThreadListStream, &directory, &stream, &size));
  ::UnmapViewOfFile(view);
  ::CloseHandle(mapping);
  ::CloseHandle(file);
}

INSTANTIATE_TEST_SUITE_P(Ways, CrashEnd, ::testing::Values(L"", L"abort"));

TEST(CrashReport, AnUploaderIsLookedForBesideTheProgramOnly) {
  TempDir root;
  const std::wstring program = root.Path() + L"app\\";
  ASSERT_TRUE(::CreateDirectoryW(program.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((program + L"Utils").c_str(), nullptr));
  // One placed above the program folder is never taken.
  ASSERT_TRUE(testing_support::WriteText(root.File(L"CrashSend.exe"), "x"));
  EXPECT_EQ(crash::FindUploader(program), L"");
  ASSERT_TRUE(testing_support::WriteText(program + L"Utils\\CrashSend.exe", "x"));
  EXPECT_EQ(crash::FindUploader(program), program + L"Utils\\CrashSend.exe");
  ASSERT_TRUE(testing_support::WriteText(program + L"CrashSend.exe", "x"));
  EXPECT_EQ(crash::FindUploader(program), program + L"CrashSend.exe");
}

TEST(CrashReport, TheUploadersCommandLineReadsBackAndLiesAreRefused) {
  const std::wstring line = crash::UploaderParameters(0x1234567890ull, 4242, 77, L"quellinmain", L"1.0.0.1", 0);
  EXPECT_EQ(line, L"--pep=78187493520 --pid=4242 --tid=77 --src=quellinmain --ver=1.0.0.1 --rep=0");
  const auto request = crash_send::ParseRequest(L"CrashSend.exe " + line);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->exception_pointers, 0x1234567890ull);
  EXPECT_EQ(request->process_id, 4242u);
  EXPECT_EQ(request->thread_id, 77u);
  EXPECT_EQ(request->source, L"quellinmain");
  for (const wchar_t* lie : {L"--pid=1 --tid=2", L"--pep=12 --pid=99999999999 --tid=2", L"--pep=-3 --pid=1 --tid=2",
                             L"--pep=0x10 --pid=1 --tid=2", L"--pep=1 --pid=1 --tid=", L""}) {
    EXPECT_FALSE(crash_send::ParseRequest(lie)) << testing::PrintToString(std::wstring(lie));
  }
  SYSTEMTIME when{2026, 12, 3, 9, 7, 5, 3, 0};
  crash_send::Request odd;
  odd.source = L"a/b:c";
  odd.process_id = 12;
  EXPECT_EQ(crash_send::DumpFileName(odd, when), L"a_b_c_20261209-070503_12.dmp");
}

TEST(CrashReport, PruningKeepsTheTenNewestDumpsAndNothingElseIsTouched) {
  TempDir dir;
  FILETIME base{};
  ::GetSystemTimeAsFileTime(&base);
  // Twelve dumps, each a minute newer than the one before, named so that name order and time
  // order disagree; and files that only look like dumps.
  for (int i = 0; i < 12; ++i) {
    const std::wstring path = dir.File(L"d" + std::to_wstring((i * 7) % 12) + L"_" + std::to_wstring(i) + L".dmp");
    ASSERT_TRUE(testing_support::WriteText(path, "dump"));
    ULARGE_INTEGER t{{base.dwLowDateTime, base.dwHighDateTime}};
    t.QuadPart += static_cast<ULONGLONG>(i) * 600000000ull;
    const FILETIME written{t.LowPart, t.HighPart};
    HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::SetFileTime(h, nullptr, nullptr, &written);
    ::CloseHandle(h);
  }
  for (const wchar_t* other : {L"notes.dmpx", L"old.dmp.bak", L"keep.txt"}) ASSERT_TRUE(testing_support::WriteText(dir.File(other), "x"));
  EXPECT_EQ(crash::PruneCrashDumps(dir.Path(), 10), 2u);
  const std::vector<std::wstring> left = FilesIn(dir.Path());
  EXPECT_EQ(left.size(), 13u);
  // The two oldest (written first) went.
  EXPECT_FALSE(base::FileExists(dir.File(L"d0_0.dmp")));
  EXPECT_FALSE(base::FileExists(dir.File(L"d7_1.dmp")));
  for (const wchar_t* other : {L"notes.dmpx", L"old.dmp.bak", L"keep.txt"}) EXPECT_TRUE(base::FileExists(dir.File(other)));
  EXPECT_EQ(crash::PruneCrashDumps(dir.Path(), 10), 0u) << "exactly ten: none deleted";
}

}  // namespace
