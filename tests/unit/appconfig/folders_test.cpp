#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "appconfig/folders.h"
#include "base/paths.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

namespace {

// Creates real nested folders under the base until the path is exactly `length` characters
// long with its trailing backslash.
std::wstring MakeFolderOfLength(const std::wstring& base, size_t length) {
  std::wstring path = base;
  while (path.size() < length) {
    const size_t room = length - path.size();
    const size_t part = room > 61 ? 60 : room - 1;
    path += std::wstring(part, L'd') + L"\\";
    if (!::CreateDirectoryW(path.c_str(), nullptr) && !base::IsDirectory(path)) return {};
  }
  return path;
}

TEST(Folders, CompositionFromTheApplicationDataFolder) {
  EXPECT_EQ(folders::DataFolderFromAppData(L"C:\\Users\\u\\AppData\\Roaming"),
            L"C:\\Users\\u\\AppData\\Roaming\\Quellin\\");
  EXPECT_EQ(folders::DataFolderFromAppData(L"C:\\a\\..\\b\\"), L"C:\\b\\Quellin\\");
  EXPECT_EQ(folders::DataFolderFromAppData(L""), L"");
  EXPECT_EQ(folders::TempFolderOf(L"C:\\d\\"), L"C:\\d\\temp\\");
  EXPECT_EQ(folders::TempFolderOf(L"C:\\d\\", L"crash"), L"C:\\d\\temp\\crash\\");
  EXPECT_EQ(folders::TempFolderOf(L""), L"");  // never a relative "temp\"
  EXPECT_EQ(GetCrashFolder(), GetTempFolder(L"crash"));
  EXPECT_EQ(GetTempFolder(), GetDataFolder() + L"temp\\");
}

TEST(Folders, NearMaxPathCompositionFailsInsteadOfOverflowing) {
  const std::wstring root = L"C:\\" + std::wstring(240, L'r');
  EXPECT_EQ(folders::DataFolderFromAppData(root).size(), 252u);
  EXPECT_EQ(folders::DataFolderFromAppData(root + L"\\abcdefg"), L"");  // 261 characters with "Quellin\"
  const std::wstring data = L"C:\\" + std::wstring(246, L'x') + L"\\";  // 250 characters
  EXPECT_EQ(folders::TempFolderOf(data).size(), 255u);
  EXPECT_EQ(folders::TempFolderOf(data, L"crash"), L"");
  EXPECT_EQ(folders::TempFolderOf(data, std::wstring(300, L'n').c_str()), L"");
  EXPECT_EQ(folders::DataFolderFromAppData(std::wstring(5000, L'y')), L"");
}

TEST(Folders, EnsureCreatesAllThreeOrNone) {
  TempDir dir;
  const std::wstring data = dir.File(L"data\\");
  EXPECT_TRUE(folders::EnsureFolders(data));
  EXPECT_TRUE(base::IsDirectory(data + L"temp\\crash\\"));
  EXPECT_TRUE(folders::EnsureFolders(data));  // already there

  // Here the crash folder's path would pass MAX_PATH: nothing is created, not even the data folder.
  const std::wstring parent = MakeFolderOfLength(dir.Path(), 248);
  ASSERT_EQ(parent.size(), 248u);
  const std::wstring deep = parent + L"q\\";  // 250 characters: its crash folder needs 261
  EXPECT_FALSE(folders::EnsureFolders(deep));
  EXPECT_FALSE(base::FileExists(deep));
}

TEST(Folders, EnvironmentOverrideOrTheShellFolder) {
  TempDir dir;
  ASSERT_TRUE(::SetEnvironmentVariableW(folders::kDataDirVariable, (dir.Path() + L"x\\..\\data").c_str()));
  EXPECT_EQ(folders::ResolveDataFolder(), dir.Path() + L"data\\");
  ASSERT_TRUE(::SetEnvironmentVariableW(folders::kDataDirVariable, std::wstring(300, L'z').c_str()));
  EXPECT_EQ(folders::ResolveDataFolder(), L"");
  ASSERT_TRUE(::SetEnvironmentVariableW(folders::kDataDirVariable, nullptr));
  wchar_t appData[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
  EXPECT_EQ(folders::ResolveDataFolder(), base::WithTrailingBackslash(appData) + L"Quellin\\");
}

TEST(Folders, ModuleFolderHoldsTheExecutable) {
  const std::wstring folder = GetModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_TRUE(base::FileExists(folder + L"test_appconfig.exe"));
}

}  // namespace
