// The registration the library writes, read back from the registry: under a scratch key for the
// registry work itself, and through the built AssocKit32.dll against the user's own hive.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/registration.h"
#include "companions/assoc/registry_value.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kViewer[] = L"C:\\Program Files\\Quellin\\QuellinImg.exe";

std::wstring Read(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
  std::wstring value;
  return assoc::ReadRegistryString(root, key, name, value) ? value : L"<absent>";
}

// A scratch key that stands for the user's hive, removed with everything under it.
class ScratchHive : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = L"Software\\QuellinTests\\assoc-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                                nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(root_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
  }

  // Stores raw bytes as a string value, terminated or not, as another program might.
  void WriteRaw(const std::wstring& key, const wchar_t* name, const void* bytes, DWORD size, DWORD type = REG_SZ) {
    HKEY handle = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(root_, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(bytes), size), ERROR_SUCCESS);
    ::RegCloseKey(handle);
  }

  size_t SubkeyCount(const std::wstring& key) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return 0;
    DWORD subkeys = 0;
    ::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr);
    ::RegCloseKey(handle);
    return subkeys;
  }

  std::wstring path_;
  HKEY root_ = nullptr;
};

TEST_F(ScratchHive, RegistersEveryTypeAndGivesEveryDefaultBackOnUninstall) {
  // The user had defaults for two types and an entry of another program in one open-with list.
  ASSERT_TRUE(assoc::WriteRegistryString(root_, L"Software\\Classes\\.png", nullptr, L"pngfile"));
  ASSERT_TRUE(assoc::WriteRegistryString(root_, L"Software\\Classes\\.gif", nullptr, L"OtherViewer.gif"));
  ASSERT_TRUE(assoc::WriteRegistryEmpty(root_, L"Software\\Classes\\.gif\\OpenWithProgids", L"OtherViewer.gif"));

  assoc::Registrar registrar(root_, kViewer);
  ASSERT_TRUE(registrar.RegisterAll());
  for (const std::wstring& ext : assoc::AssociableTypes()) {
    EXPECT_EQ(Read(root_, L"Software\\Classes\\." + ext), L"Quellin." + ext);
    EXPECT_EQ(Read(root_, L"Software\\Classes\\Quellin." + ext + L"\\shell\\open\\command"),
              L"\"" + std::wstring(kViewer) + L"\" \"%1\"");
    EXPECT_TRUE(assoc::HasRegistryValue(root_, L"Software\\Classes\\." + ext + L"\\OpenWithProgids",
                                        (L"Quellin." + ext).c_str()));
    EXPECT_EQ(Read(root_, L"Software\\Quellin\\Capabilities\\FileAssociations", (L"." + ext).c_str()),
              L"Quellin." + ext);
  }
  EXPECT_EQ(Read(root_, L"Software\\RegisteredApplications", L"Quellin"), L"Software\\Quellin\\Capabilities");
  EXPECT_EQ(Read(root_, L"Software\\Quellin\\AssocKit\\Previous", L"png"), L"pngfile");
  EXPECT_TRUE(registrar.IsDefaultViewer());

  // A second registration keeps the first saved defaults, not the viewer's own ProgIds.
  ASSERT_TRUE(registrar.RegisterAll());
  EXPECT_EQ(Read(root_, L"Software\\Quellin\\AssocKit\\Previous", L"png"), L"pngfile");

  // Meanwhile the user gave bmp to another program: that choice stays.
  ASSERT_TRUE(assoc::WriteRegistryString(root_, L"Software\\Classes\\.bmp", nullptr, L"Paint.Picture"));

  ASSERT_TRUE(registrar.UnregisterAll());
  EXPECT_EQ(Read(root_, L"Software\\Classes\\.png"), L"pngfile");
  EXPECT_EQ(Read(root_, L"Software\\Classes\\.gif"), L"OtherViewer.gif");
  EXPECT_TRUE(assoc::HasRegistryValue(root_, L"Software\\Classes\\.gif\\OpenWithProgids", L"OtherViewer.gif"));
  EXPECT_EQ(Read(root_, L"Software\\Classes\\.bmp"), L"Paint.Picture");
  EXPECT_FALSE(registrar.IsDefaultViewer());
  // Nothing of the viewer's is left: the types it created keys for are gone again.
  EXPECT_FALSE(assoc::RegistryKeyExists(root_, L"Software\\Classes\\.jpg"));
  EXPECT_FALSE(assoc::RegistryKeyExists(root_, L"Software\\Classes\\Quellin.jpg"));
  EXPECT_FALSE(assoc::RegistryKeyExists(root_, L"Software\\Classes\\Applications\\QuellinImg.exe"));
  EXPECT_FALSE(assoc::RegistryKeyExists(root_, L"Software\\Quellin"));
  EXPECT_FALSE(assoc::HasRegistryValue(root_, L"Software\\RegisteredApplications", L"Quellin"));
  // .png, .gif and .bmp are the user's; the rest of Classes is empty.
  EXPECT_EQ(SubkeyCount(L"Software\\Classes"), 4u);  // .bmp, .gif, .png, Applications
}

TEST_F(ScratchHive, AChoiceTakesOrGivesBackOneTypeOnly) {
  ASSERT_TRUE(assoc::WriteRegistryString(root_, L"Software\\Classes\\.tga", nullptr, L"tgafile"));
  assoc::Registrar registrar(root_, kViewer);
  ASSERT_TRUE(registrar.Apply({{L"tga", true}, {L"webp", true}}));
  EXPECT_TRUE(registrar.OpensWithViewer(L"tga"));
  EXPECT_TRUE(registrar.OpensWithViewer(L"webp"));
  EXPECT_FALSE(registrar.OpensWithViewer(L"png"));
  ASSERT_TRUE(registrar.Apply({{L"tga", false}}));
  EXPECT_EQ(Read(root_, L"Software\\Classes\\.tga"), L"tgafile");
  EXPECT_TRUE(registrar.OpensWithViewer(L"webp"));
}

TEST_F(ScratchHive, TheUsersChoiceIsReadWithinItsBytesAndNeverPastThem) {
  assoc::Registrar registrar(root_, kViewer);
  const std::wstring key = assoc::UserChoiceKey(L"jpg");
  struct Case {
    std::wstring stored;  // the characters stored
    DWORD bytes;          // how many bytes the writer claimed
    DWORD type;
    bool opensWithViewer;
  };
  const std::wstring name = L"Quellin.jpg";
  const std::wstring withJunk = name + L"XYZ";
  const std::wstring tooLong = L"Quellin.jpg" + std::wstring(400, L'x');
  const Case cases[] = {
      {name, static_cast<DWORD>((name.size() + 1) * 2), REG_SZ, true},  // terminated
      {withJunk, static_cast<DWORD>(name.size() * 2), REG_SZ, true},    // no terminator, more bytes behind
      {withJunk, static_cast<DWORD>(name.size() * 2 + 1), REG_SZ, true},  // an odd byte count
      {L"QUELLIN.JPG", 22, REG_SZ, true},                                 // any letter case
      {L"Quellin.jp", 20, REG_SZ, false},
      {L"Quellin.jpg\0rest", 32, REG_SZ, true},                          // ends at the first zero
      {tooLong, static_cast<DWORD>(tooLong.size() * 2), REG_SZ, false},  // longer than a path
      {name, static_cast<DWORD>(name.size() * 2), REG_BINARY, false},
      {L"OtherViewer.jpg", 32, REG_SZ, false},
  };
  // The per-user default names the viewer; the user's choice, when present, wins over it.
  ASSERT_TRUE(assoc::WriteRegistryString(root_, L"Software\\Classes\\.jpg", nullptr, L"Quellin.jpg"));
  EXPECT_TRUE(registrar.OpensWithViewer(L"jpg"));
  for (const Case& c : cases) {
    WriteRaw(key, L"ProgId", c.stored.c_str(), c.bytes, c.type);
    EXPECT_EQ(registrar.OpensWithViewer(L"jpg"), c.opensWithViewer) << c.bytes << " bytes of " << c.stored.size();
  }
  std::wstring value;
  WriteRaw(key, L"ProgId", withJunk.c_str(), static_cast<DWORD>(name.size() * 2));
  ASSERT_TRUE(assoc::ReadRegistryString(root_, key, L"ProgId", value));
  EXPECT_EQ(value, name);
}

// The built library, as the viewer and the companion call it, on the user's real registration.
class AssocLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.IsLoaded());
    // Start from no registration and a user default of another program for png.
    ASSERT_TRUE(library_.UnInstall(HKEY_CURRENT_USER).has_value());
    previous_png_ok_ = assoc::ReadRegistryString(HKEY_CURRENT_USER, kPng, nullptr, previous_png_);
    ASSERT_TRUE(assoc::WriteRegistryString(HKEY_CURRENT_USER, kPng, nullptr, L"pngfile"));
  }
  void TearDown() override {
    library_.UnInstall(HKEY_CURRENT_USER);
    if (previous_png_ok_) {
      assoc::WriteRegistryString(HKEY_CURRENT_USER, kPng, nullptr, previous_png_);
    } else {
      assoc::DeleteRegistryValue(HKEY_CURRENT_USER, kPng, nullptr);
    }
  }

  static constexpr wchar_t kPng[] = L"Software\\Classes\\.png";
  assoc::AssocKitClient library_{testing_support::BinDir()};
  std::wstring previous_png_;
  bool previous_png_ok_ = false;
};

TEST_F(AssocLibrary, RegistersTheViewerBesideItAndUnregistersIt) {
  EXPECT_EQ(library_.IsAssociationOK(), 0);
  EXPECT_EQ(library_.SetDefaultImageViewer(), 1);
  EXPECT_EQ(library_.IsAssociationOK(), 1);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Software\\Classes\\Quellin.png\\shell\\open\\command"),
            L"\"" + testing_support::BinDir() + L"QuellinImg.exe\" \"%1\"");
  // Only the user's own hive is served.
  EXPECT_EQ(library_.UnInstall(HKEY_LOCAL_MACHINE), 0);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPng), L"Quellin.png");
  EXPECT_EQ(library_.UnInstall(HKEY_CURRENT_USER), 1);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPng), L"pngfile");
  EXPECT_FALSE(assoc::RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Quellin.png"));
  EXPECT_EQ(library_.IsAssociationOK(), 0);
}

TEST_F(AssocLibrary, AppliesAWholeListAndRefusesABadOneWithoutAChange) {
  EXPECT_EQ(library_.SetAssociation(L"|png:1||tga:1|"), 1);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPng), L"Quellin.png");
  for (const wchar_t* bad : {L"|png:0||exe:1|", L"|png:0|junk", L"|png:0||tga:", L""}) {
    EXPECT_EQ(library_.SetAssociation(bad), 0) << bad;
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kPng), L"Quellin.png") << bad;
    EXPECT_FALSE(assoc::RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Quellin.exe"));
  }
  EXPECT_EQ(library_.SetAssociation(L"|png:0|"), 1);
  EXPECT_EQ(Read(HKEY_CURRENT_USER, kPng), L"pngfile");
  EXPECT_EQ(Read(HKEY_CURRENT_USER, L"Software\\Classes\\.tga"), L"Quellin.tga");
}

}  // namespace
