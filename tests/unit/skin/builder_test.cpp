// Skins built into control trees: where the box layouts put controls, and a clean failure with a
// reason for every mistake a skin can make.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/gdiplus_include.h"
#include "skin/build/skin_builder.h"
#include "skin/controls/button.h"
#include "skin/controls/container.h"
#include "skin/controls/list.h"
#include "tests/unit/skin/zip_writer.h"

namespace {

std::shared_ptr<const skin::ZipArchive> ArchiveWith(const std::string& skin, const std::string& shared = "") {
  std::vector<skin_test::ZipEntry> entries{{"test.xml", skin, true}};
  if (!shared.empty()) entries.push_back({"shared.xml", shared, true});
  return skin::ZipArchive::Open(skin_test::WriteZip(entries), nullptr);
}

RECT RectOf(const skin::BuiltSkin& built, const wchar_t* name) {
  const skin::Control* control = built.root->FindControl(name);
  return control ? control->Rect() : RECT{-1, -1, -1, -1};
}

void ExpectRect(const RECT& actual, LONG l, LONG t, LONG r, LONG b) {
  EXPECT_EQ(actual.left, l);
  EXPECT_EQ(actual.top, t);
  EXPECT_EQ(actual.right, r);
  EXPECT_EQ(actual.bottom, b);
}

TEST(SkinBuilder, BoxLayoutsPlaceFixedFillingHiddenAndFloatingChildren) {
  const std::string skin = R"(<Window size="300,200">
    <VerticalLayout name="root" inset="10,10,10,10" childgap="4">
      <HorizontalLayout name="row" height="40" childgap="5">
        <Button name="fixed" width="50" margin="2,3,4,5"/>
        <Control name="fill1"/>
        <Control name="hidden" width="70" visible="false"/>
        <Control name="fill2"/>
        <Label name="floating" float="true" pos="5,6,25,16"/>
      </HorizontalLayout>
      <Control name="rest"/>
      <TabLayout name="pages" height="30" selected="1">
        <Control name="page0"/>
        <Control name="page1" width="20"/>
      </TabLayout>
    </VerticalLayout>
  </Window>)";
  image::GdiplusSession gdiplus;
  skin::BuiltSkin built;
  std::wstring error;
  ASSERT_TRUE(skin::BuildSkin(ArchiveWith(skin), L"test.xml", built, &error)) << error;
  EXPECT_EQ(built.window.size.cx, 300);
  built.root->SetPos(RECT{0, 0, 300, 200});
  // Inner width 280: the fixed child takes 50 + margins 6, two gaps of 5 (the hidden child takes
  // none), and the fills share 280 - 56 - 10 = 214.
  ExpectRect(RectOf(built, L"row"), 10, 10, 290, 50);
  ExpectRect(RectOf(built, L"fixed"), 12, 13, 62, 45);
  ExpectRect(RectOf(built, L"fill1"), 71, 10, 178, 50);
  ExpectRect(RectOf(built, L"fill2"), 183, 10, 290, 50);
  ExpectRect(RectOf(built, L"floating"), 15, 16, 35, 26);
  // Below: the rest fills 200 - 20 - 40 - 30 - 2 gaps.
  ExpectRect(RectOf(built, L"rest"), 10, 54, 290, 156);
  ExpectRect(RectOf(built, L"pages"), 10, 160, 290, 190);
  ExpectRect(RectOf(built, L"page1"), 10, 160, 30, 190);
  auto* pages = dynamic_cast<skin::TabLayout*>(built.root->FindControl(L"pages"));
  ASSERT_TRUE(pages);
  EXPECT_FALSE(built.root->FindControl(L"page0")->IsEffectivelyVisible());
  EXPECT_TRUE(built.root->FindControl(L"page1")->IsEffectivelyVisible());
  EXPECT_TRUE(pages->SelectItem(0));
  EXPECT_FALSE(pages->SelectItem(2));
  EXPECT_TRUE(built.root->FindControl(L"page0")->IsEffectivelyVisible());
  // Hit testing finds what takes the mouse and nothing under a hidden page.
  EXPECT_EQ(built.root->ControlAt(POINT{20, 20}), built.root->FindControl(L"fixed"));
  EXPECT_EQ(built.root->ControlAt(POINT{100, 20}), nullptr);
}

TEST(SkinBuilder, StylesFontsAndIncludesReachTheControls) {
  const std::string shared = R"(<Shared><Font id="big" face="DejaVu Sans" size="20"/>
      <Style id="wide" width="120" text="from style" tag="7"/></Shared>)";
  const std::string skin = R"(<Window><Include source="shared.xml"/>
      <List name="list" itemheight="30"><ListItem name="a" style="wide" text="own"/><ListItem name="b"/></List></Window>)";
  image::GdiplusSession gdiplus;
  skin::BuiltSkin built;
  std::wstring error;
  ASSERT_TRUE(skin::BuildSkin(ArchiveWith(skin, shared), L"test.xml", built, &error)) << error;
  const skin::Control* a = built.root->FindControl(L"a");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->FixedWidth(), 120);
  EXPECT_EQ(a->Text(), L"own");  // the control's own attribute wins over its style
  EXPECT_EQ(a->Tag(), 7u);
  EXPECT_EQ(built.root->FindControl(L"b")->FixedHeight(), 30);
  LOGFONTW font{};
  ASSERT_TRUE(::GetObjectW(built.resources->Font(L"big"), sizeof(font), &font));
  EXPECT_EQ(font.lfHeight, -20);
  EXPECT_EQ(built.root->FindControl(L"missing"), nullptr);
}

TEST(SkinBuilder, EveryMistakeFailsWithAReason) {
  const struct {
    const char* what;
    std::string skin;
  } cases[] = {
      {"not a window", "<Dialog/>"},
      {"no control", "<Window/>"},
      {"two root controls", "<Window><Control/><Control/></Window>"},
      {"unknown element", "<Window><Gadget/></Window>"},
      {"unknown attribute", "<Window><Button colour='red'/></Window>"},
      {"unreadable value", "<Window><Button width='wide'/></Window>"},
      {"unreadable picture", "<Window><Button normalimage=\"file='a.png\"/></Window>"},
      {"unknown style", "<Window><Button style='nothing'/></Window>"},
      {"children of a button", "<Window><Button><Label/></Button></Window>"},
      {"a label in a list", "<Window><List><Label/></List></Window>"},
      {"an item outside a list", "<Window><VerticalLayout><ListItem/></VerticalLayout></Window>"},
      {"missing include", "<Window><Include source='nothing.xml'/><Control/></Window>"},
      {"include leaving the archive", "<Window><Include source='../shared.xml'/><Control/></Window>"},
      {"font without id", "<Window><Font face='x'/><Control/></Window>"},
      {"font face too long", "<Window><Font id='f' face='" + std::string(40, 'f') + "'/><Control/></Window>"},
      {"broken markup", "<Window><Control></Window>"},
  };
  image::GdiplusSession gdiplus;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    skin::BuiltSkin built;
    std::wstring error;
    EXPECT_FALSE(skin::BuildSkin(ArchiveWith(c.skin), L"test.xml", built, &error));
    EXPECT_NE(error.find(L"test.xml"), std::wstring::npos) << error;
    EXPECT_FALSE(built.root);
  }
  skin::BuiltSkin built;
  std::wstring error;
  EXPECT_FALSE(skin::BuildSkin(ArchiveWith("<Window><Control/></Window>"), L"other.xml", built, &error));
  EXPECT_FALSE(skin::BuildSkin(nullptr, L"test.xml", built, &error));
  // An included file may hold only fonts and styles.
  EXPECT_FALSE(skin::BuildSkin(ArchiveWith("<Window><Include source='shared.xml'/><Control/></Window>",
                                           "<S><Include source='test.xml'/></S>"),
                               L"test.xml", built, &error));
}

}  // namespace
