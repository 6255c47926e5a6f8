// The diagnostic log: the line format, the marker that switches it on, appending across opens,
// whole lines from many threads, and text in any script.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

namespace {

TEST(Log, LineCarriesTagPositionAndStem) {
  EXPECT_EQ(FormatLogLine(L"[I]", "C:\\src\\dlg_feedback.cpp", 57, L"send feedback failed"),
            L"[I][  57][dlg_feedback]send feedback failed");
  EXPECT_EQ(FormatLogLine(L"[E]", "/work/popup_dialog/dlg_feedback.cpp", 12345, L"x"), L"[E][12345][dlg_feedback]x");
  // A path without a separator, or without a dot after it, gives the number alone.
  EXPECT_EQ(FormatLogLine(L"[I]", "feedback.cpp", 7, L"m"), L"[I][   7]m");
  EXPECT_EQ(FormatLogLine(L"[I]", "C:\\src\\Makefile", 7, L"m"), L"[I][   7]m");
}

TEST(Log, WritesOnlyWithItsMarkerAndAppendsWholeLines) {
  testing_support::TempDir dir;
  const std::wstring path = dir.File(L"main.log");
  CMyLog::DestroyInstance();
  EXPECT_FALSE(CMyLog::Get().Open(path));
  QL_LOG_INFO(L"nobody reads this");
  CMyLog::DestroyInstance();
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

  ASSERT_TRUE(testing_support::WriteText(path + L".on", ""));
  for (int start = 0; start < 2; ++start) {
    ASSERT_TRUE(CMyLog::Get().Open(path));
    QL_LOG_INFO(L"start " + std::to_wstring(start) + L" 照片.jpg");
    CMyLog::DestroyInstance();
  }
  ASSERT_TRUE(CMyLog::Get().Open(path));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) QL_LOG_INFO(std::wstring(100, static_cast<wchar_t>(L'a' + t)));
    });
  }
  for (auto& thread : threads) thread.join();
  CMyLog::DestroyInstance();

  const std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  const std::wstring text = base::Utf8ToWide(std::string(bytes.begin(), bytes.end()));
  EXPECT_NE(text.find(L"start 0 照片.jpg\n[I]"), std::wstring::npos);
  EXPECT_NE(text.find(L"start 1 照片.jpg\n"), std::wstring::npos);
  // Every threaded line is whole: the prefix, then a hundred of one letter, then the line feed.
  size_t lines = 0;
  for (size_t at = 0; (at = text.find(L"log_test]", at)) != std::wstring::npos; ++at) {
    const size_t body = at + 9;
    const size_t end = text.find(L'\n', body);
    ASSERT_NE(end, std::wstring::npos);
    const std::wstring line = text.substr(body, end - body);
    if (line.rfind(L"start", 0) == 0) continue;
    ASSERT_EQ(line.size(), 100u);
    EXPECT_EQ(line, std::wstring(100, line[0]));
    ++lines;
  }
  EXPECT_EQ(lines, 800u);
}

}  // namespace
