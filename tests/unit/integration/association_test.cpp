// The viewer's side of association as the settings dialog and the main window use it: choices
// recorded and applied through the built library, the default-viewer switch, and what the
// companion is told.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "appconfig/app_config.h"
#include "appconfig/folders.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/registry_value.h"
#include "integration/association.h"
#include "integration/companion_messages.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

std::wstring Recorded(const std::wstring& ini, const wchar_t* key) {
  wchar_t value[8] = {};
  ::GetPrivateProfileStringW(L"app", key, L"-", value, 8, ini.c_str());
  return value;
}

class ViewerAssociation : public ::testing::Test {
 protected:
  void SetUp() override { assoc::AssocKitClient(testing_support::BinDir()).UnInstall(HKEY_CURRENT_USER); }
  void TearDown() override { assoc::AssocKitClient(testing_support::BinDir()).UnInstall(HKEY_CURRENT_USER); }
};

TEST_F(ViewerAssociation, ChoicesAreRecordedAndAppliedWhenTheDialogEnds) {
  TempDir data;
  const std::wstring record = data.File(L"user_assoc.ini");
  integration::AssociationChoices choices(testing_support::BinDir(), record);
  EXPECT_TRUE(choices.Apply());  // nothing touched: nothing to apply
  EXPECT_FALSE(testing_support::ReadBytes(record).size());

  choices.Record(L"JPG", true);
  choices.Record(L"png", false);
  choices.Record(L"all", true);   // the "all" box is not a type; its boxes report one by one
  choices.Record(L"exe", true);
  EXPECT_EQ(choices.PendingList(), L"|jfif:1||jpe:1||jpeg:1||jpg:1||png:0|");
  EXPECT_EQ(Recorded(record, L"jpeg"), L"1");
  EXPECT_EQ(Recorded(record, L"png"), L"x");
  EXPECT_EQ(Recorded(record, L"exe"), L"-");

  EXPECT_FALSE(integration::IsExtensionAssociated(L"jpe"));
  ASSERT_TRUE(choices.Apply());
  for (const wchar_t* ext : {L"jpg", L"jpeg", L"jfif", L"jpe", L"JPG"}) {
    EXPECT_TRUE(integration::IsExtensionAssociated(ext)) << ext;
  }
  EXPECT_FALSE(integration::IsExtensionAssociated(L"png"));
  EXPECT_FALSE(integration::IsExtensionAssociated(L""));
}

TEST_F(ViewerAssociation, TheDefaultViewerSwitchRegistersAndIsRemembered) {
  TempDir data;
  ::SetEnvironmentVariableW(folders::kDataDirVariable, data.Path().c_str());
  ASSERT_EQ(AppConfig::Get().ConfigPath(), data.File(L"config.ini"));
  integration::CAssociationService withLibrary(testing_support::BinDir());
  EXPECT_FALSE(withLibrary.IsDefaultViewer());
  withLibrary.SetDefaultViewerEnabled(true);
  EXPECT_TRUE(withLibrary.IsDefaultViewer());
  EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"user_set_default_viewer", -1, data.File(L"config.ini").c_str()), 1u);
  withLibrary.SetDefaultViewerEnabled(false);
  EXPECT_FALSE(withLibrary.IsDefaultViewer());
  EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"user_set_default_viewer", -1, data.File(L"config.ini").c_str()), 0u);

  // Without the library nothing can be asked: nobody is prompted to make the viewer the default.
  TempDir empty;
  EXPECT_TRUE(integration::CAssociationService(empty.Path()).IsDefaultViewer());
}

TEST(CompanionMessages, CarryTheirValuesInTheChannelFormat) {
  const IPC::Message association = integration::AssociationMessage(L"JPG", true);
  ASSERT_EQ(association.size(), 28u);
  EXPECT_EQ(association.routing_id(), 1);
  EXPECT_EQ(association.type(), 4u);
  EXPECT_EQ(std::memcmp(association.payload(), "\x03\0\0\0jpg\0\x01\0\0\0", 12), 0);
  const IPC::Message open = integration::AssociationMessage(L"open", false);
  EXPECT_EQ(std::memcmp(open.payload(), "\x04\0\0\0open\0\0\0\0", 12), 0);
  const IPC::Message hotkey = integration::HotkeyMessage(1092);
  EXPECT_EQ(hotkey.type(), 3u);
  EXPECT_EQ(std::memcmp(hotkey.payload(), "\x44\x04\0\0", 4), 0);
  const IPC::Message quick = integration::QuickIndexMessage(true);
  EXPECT_EQ(quick.type(), 1u);
  EXPECT_EQ(quick.payload_size(), 4u);
  EXPECT_EQ(std::memcmp(quick.payload(), "\x01\0\0\0", 4), 0);
  // Before the viewer's channel is open the send says it reached nobody.
  EXPECT_FALSE(integration::SendToCompanion(quick));
}

}  // namespace
