#include "app/startup.h"

#include <gtest/gtest.h>

#include "base/handles.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

namespace {

std::wstring UniqueName(const wchar_t* stem) {
  return base::FormatW(L"%s-%lu-%llu", stem, ::GetCurrentProcessId(), ::GetTickCount64());
}

TEST(NamedMutex, PresentOnlyWhileSomeoneHoldsAHandle) {
  const std::wstring name = UniqueName(L"QlTestMutex");
  EXPECT_FALSE(startup::IsNamedMutexPresent(name.c_str()));
  {
    base::KernelHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex.IsValid());
    EXPECT_TRUE(startup::IsNamedMutexPresent(name.c_str()));
    // Asking twice must not leave an extra handle behind that keeps the mutex alive.
    EXPECT_TRUE(startup::IsNamedMutexPresent(name.c_str()));
  }
  EXPECT_FALSE(startup::IsNamedMutexPresent(name.c_str()));
  // An event of that name is a different kind of object: not a mutex.
  base::KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  EXPECT_FALSE(startup::IsNamedMutexPresent(name.c_str()));
}

TEST(UpdatePending, StateMustMatchExactlyAndTheUpdaterMustNotRun) {
  testing_support::TempDir dir;
  const std::wstring ini = dir.File(L"config.ini");
  EXPECT_FALSE(startup::IsUpdatePendingIn(ini));  // no file

  ASSERT_TRUE(testing_support::WriteText(ini, "[update]\r\nstate=pixloUpdate\r\n"));
  EXPECT_TRUE(startup::IsUpdatePendingIn(ini));
  {
    base::KernelHandle updater(::CreateMutexW(nullptr, FALSE, startup::kUpdateRunningMutex));
    ASSERT_TRUE(updater.IsValid());
    EXPECT_FALSE(startup::IsUpdatePendingIn(ini));
  }
  EXPECT_TRUE(startup::IsUpdatePendingIn(ini));

  for (const char* other : {"PixloUpdate", "pixloupdate", "pixloUpdate2", "", " pixloUpdate x"}) {
    ASSERT_TRUE(testing_support::WriteText(ini, std::string("[update]\r\nstate=") + other + "\r\n"));
    EXPECT_FALSE(startup::IsUpdatePendingIn(ini)) << other;
  }
  ASSERT_TRUE(testing_support::WriteText(ini, "[app]\r\nstate=pixloUpdate\r\n"));
  EXPECT_FALSE(startup::IsUpdatePendingIn(ini));
}

TEST(WindowSearch, FindsOnlyWindowsOfOtherProcesses) {
  // This process's own windows never count, whatever their class.
  const wchar_t* kClass = L"QlWindowSearchTestClass";
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ASSERT_NE(::RegisterClassExW(&wc), 0);
  HWND own = ::CreateWindowExW(0, kClass, L"own", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(own, nullptr);
  startup::WindowEnumContext context;
  context.className = kClass;
  startup::FindTopLevelWindows(context);
  EXPECT_TRUE(context.found.empty());
  ::DestroyWindow(own);
}

}  // namespace
