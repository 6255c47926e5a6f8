// The skinned-window bases in real windows: controls found by name, clicks and the other
// notifications reaching the window with their sender, the inherited close button, the keys of a
// modal dialog, option groups, lists, fields, the caption, and what a skin that cannot be built
// does to the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/paths.h"
#include "base/strings.h"
#include "image/gdiplus_include.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/button.h"
#include "skin/controls/edit.h"
#include "skin/controls/list.h"
#include "skin/window/dialog_base.h"
#include "skin/window/skin_failure.h"
#include "tests/support/test_support.h"
#include "tests/unit/skin/modal_script.h"
#include "tests/unit/skin/test_png.h"
#include "tests/unit/skin/zip_writer.h"

namespace {

const char kSkin[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="320,220" caption="0,0,30,30">
  <VerticalLayout background="#FFFFFF">
    <HorizontalLayout height="30"><Label name="title" text="Title"/><Button name="closebtn" width="30"/></HorizontalLayout>
    <HorizontalLayout height="30">
      <Button name="go" width="60" text="Go" default="true"/><Button name="done" width="60"/>
      <Button name="off" width="60" enabled="false"/>
    </HorizontalLayout>
    <HorizontalLayout height="30">
      <Option name="a" group="g" width="60" selected="true"/><Option name="b" group="g" width="60"/>
      <CheckBox name="c" width="60"/>
    </HorizontalLayout>
    <List name="list" height="60" itemheight="20">
      <ListItem text="zero" tag="10"/><ListItem text="one" tag="11" userdata="first"/><ListItem text="two" enabled="false"/>
    </List>
    <HorizontalLayout height="30"><Edit name="e1" width="100"/><Edit name="e2" width="100"/></HorizontalLayout>
  </VerticalLayout>
</Window>)";

class TestDialog : public CDlgBase {
 public:
  explicit TestDialog(std::wstring skin = L"test.xml") : skin_(std::move(skin)) {}
  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"QuellinSkinTestDialog"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return skin_; }
  void OnWindowInit() override { log.push_back(L"init"); }
  void OnNotify(skin::Notification& n) override {
    if (!n.Is(L"mouseenter") && !n.Is(L"mouseleave")) {
      log.push_back(n.type + L":" + (n.sender ? n.sender->Name() : L"?") + L":" + std::to_wstring(n.wParam));
    }
    if (n.Is(L"click") && n.From(L"done")) EndDialog(7);
    CDlgBase::OnNotify(n);
  }
  [[nodiscard]] bool Logged(const std::wstring& entry) const {
    for (const std::wstring& e : log) {
      if (e == entry) return true;
    }
    return false;
  }
  std::vector<std::wstring> log;

 private:
  std::wstring skin_;
};

using skin_test::Click;
using skin_test::Key;

INT_PTR RunScripted(CDlgBase& dialog, std::function<void(HWND)> script) {
  return skin_test::RunWithScript(
      dialog.WindowClassName(), [script](CUseZipResourceDuiWnd& window) { script(window.GetHWND()); },
      [&] { return dialog.DoModal(nullptr); });
}

class SkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<testing_support::TempDir>();
    const std::vector<uint8_t> shadow = skin_test::Png(24, 24);
    ASSERT_TRUE(testing_support::WriteBytes(
        folder_->File(L"test.zip"),
        skin_test::WriteZip({{"test.xml", kSkin, true},
                             {"shadow.xml", "<Window size='200,100' shadow='true'><Control background='#FFFFFF'/></Window>", true},
                             {"share/shadow.png", std::string(shadow.begin(), shadow.end()), false}})));
    skin::SetResourceFolder(folder_->Path(), L"test.zip");
  }
  void TearDown() override { skin::SetSkinFailureHandlerForTesting(nullptr); }

  image::GdiplusSession gdiplus_;
  std::unique_ptr<testing_support::TempDir> folder_;
};

TEST_F(SkinWindowTest, ClicksAndKeysReachTheWindowByNameAndEndTheDialog) {
  TestDialog dialog;
  const INT_PTR result = RunScripted(dialog, [&](HWND window) {
    EXPECT_TRUE(dialog.FindControlAs<skin::Button>(L"go"));
    EXPECT_TRUE(dialog.FindControlAs<skin::List>(L"list"));
    EXPECT_EQ(dialog.FindControl(L"nothing"), nullptr);
    EXPECT_EQ(dialog.FindControlAs<skin::Edit>(L"go"), nullptr);
    Click(dialog, L"go");
    Click(dialog, L"off");  // disabled: no click
    Key(window, VK_RETURN);  // the default button
    Click(dialog, L"done");
  });
  EXPECT_EQ(result, 7);
  ASSERT_GE(dialog.log.size(), 2u);
  EXPECT_EQ(dialog.log[0], L"init");
  EXPECT_EQ(dialog.log[1], L"windowinit::0");
  int goes = 0;
  for (const std::wstring& e : dialog.log) goes += e == L"click:go:0" ? 1 : 0;
  EXPECT_EQ(goes, 2);
  EXPECT_FALSE(dialog.Logged(L"click:off:0"));
  EXPECT_EQ(dialog.GetHWND(), nullptr);
}

TEST_F(SkinWindowTest, ClosingInAnyWayCancels) {
  const std::function<void(TestDialog&, HWND)> closers[] = {
      [](TestDialog& d, HWND) { Click(d, L"closebtn"); },
      [](TestDialog&, HWND w) { Key(w, VK_ESCAPE); },
      [](TestDialog&, HWND w) { ::PostMessageW(w, WM_CLOSE, 1, 0); },
  };
  for (const auto& close : closers) {
    TestDialog dialog;
    EXPECT_EQ(RunScripted(dialog, [&](HWND window) { close(dialog, window); }), CDlgBase::kCancel);
  }
}

TEST_F(SkinWindowTest, OptionGroupsKeepOneSelectedAndListsReportTheIndex) {
  TestDialog dialog;
  RunScripted(dialog, [&](HWND window) {
    Click(dialog, L"b");
    Click(dialog, L"b");
    Click(dialog, L"c");
    const auto* list = dialog.FindControlAs<skin::List>(L"list");
    ASSERT_TRUE(list);
    for (int i : {1, 2}) {
      const RECT& r = list->ItemAt(i)->Rect();
      const LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
      ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::PostMessageW(window, WM_LBUTTONUP, 0, at);
    }
    Click(dialog, L"done");
  });
  EXPECT_TRUE(dialog.Logged(L"selectchanged:a:0"));
  EXPECT_TRUE(dialog.Logged(L"selectchanged:b:1"));
  EXPECT_TRUE(dialog.Logged(L"selectchanged:c:1"));
  EXPECT_FALSE(dialog.Logged(L"selectchanged:b:0"));  // a selected option stays selected
  const auto* a = dialog.FindControlAs<skin::Option>(L"a");
  const auto* b = dialog.FindControlAs<skin::Option>(L"b");
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_TRUE(b->IsSelected());
  EXPECT_TRUE(dialog.Logged(L"itemselect:list:1"));
  EXPECT_FALSE(dialog.Logged(L"itemselect:list:2"));  // a disabled item is not chosen
  const auto* list = dialog.FindControlAs<skin::List>(L"list");
  EXPECT_EQ(list->Selected(), 1);
  EXPECT_EQ(list->ItemAt(1)->Tag(), 11u);
  EXPECT_EQ(list->ItemAt(1)->UserData(), L"first");
}

TEST_F(SkinWindowTest, FieldsTakeTypingTabAndTellTheirFocus) {
  TestDialog dialog;
  std::wstring typed;
  RunScripted(dialog, [&](HWND) {
    auto* e1 = dialog.FindControlAs<skin::Edit>(L"e1");
    auto* e2 = dialog.FindControlAs<skin::Edit>(L"e2");
    ASSERT_TRUE(e1 && e2 && e1->NativeWindow());
    e1->SetText(L"set");  // a text set by the window is no change by the user
    e1->Focus();
    ::SendMessageW(e1->NativeWindow(), EM_SETSEL, 3, 3);
    ::SendMessageW(e1->NativeWindow(), WM_CHAR, L'中', 0);
    typed = e1->Text();
    Key(e1->NativeWindow(), VK_TAB);
    Key(e2->NativeWindow(), VK_TAB);
    Click(dialog, L"done");
  });
  EXPECT_EQ(typed, L"set中");
  int changes = 0;
  for (const std::wstring& e : dialog.log) changes += e == L"textchanged:e1:0" ? 1 : 0;
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(dialog.Logged(L"setfocus:e2:0"));
  EXPECT_TRUE(dialog.Logged(L"killfocus:e2:0"));
  // The field's text outlives its window.
  EXPECT_EQ(dialog.FindControl(L"e1")->Text(), L"set中");
}

TEST_F(SkinWindowTest, TheCaptionDragsExceptWhereAControlTakesTheMouse) {
  TestDialog dialog;
  RunScripted(dialog, [&](HWND window) {
    const auto hitAt = [&](const wchar_t* name) {
      const RECT& r = dialog.FindControl(name)->Rect();
      POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ::ClientToScreen(window, &p);
      return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    };
    // The skin draws the caption: the platform's is gone, the children are clipped.
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_EQ(style & (WS_CLIPCHILDREN | WS_CLIPSIBLINGS), WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 220);
    EXPECT_EQ(hitAt(L"title"), HTCAPTION);
    EXPECT_EQ(hitAt(L"closebtn"), HTCLIENT);
    EXPECT_EQ(hitAt(L"go"), HTCLIENT);
    Click(dialog, L"done");
  });
}

TEST_F(SkinWindowTest, AShadowLiesBehindItsWindowFollowsItAndGoesWithIt) {
  TestDialog dialog(L"shadow.xml");
  HWND shadow = nullptr;
  const auto expectAround = [](HWND window, HWND around) {
    RECT w{}, s{};
    ::GetWindowRect(window, &w);
    ::GetWindowRect(around, &s);
    // The default shadow reaches 4 pixels left and right, 2 above and 6 below.
    EXPECT_EQ(s.left, w.left - 4);
    EXPECT_EQ(s.top, w.top - 2);
    EXPECT_EQ(s.right, w.right + 4);
    EXPECT_EQ(s.bottom, w.bottom + 6);
  };
  EXPECT_EQ(RunScripted(dialog,
                        [&](HWND window) {
                          shadow = dialog.ShadowHandle();
                          ASSERT_TRUE(shadow);
                          EXPECT_TRUE(::IsWindowVisible(shadow));
                          const LONG_PTR ex = ::GetWindowLongPtrW(shadow, GWL_EXSTYLE);
                          EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT), WS_EX_LAYERED | WS_EX_TRANSPARENT);
                          expectAround(window, shadow);
                          RECT w{};
                          ::GetWindowRect(window, &w);
                          ::SetWindowPos(window, nullptr, w.left + 30, w.top + 20, 260, 140, SWP_NOZORDER | SWP_NOACTIVATE);
                          expectAround(window, shadow);
                          ::ShowWindow(window, SW_HIDE);
                          EXPECT_FALSE(::IsWindowVisible(shadow));
                          ::ShowWindow(window, SW_SHOWNA);
                          EXPECT_TRUE(::IsWindowVisible(shadow));
                          ::PostMessageW(window, WM_CLOSE, 0, 0);
                        }),
            CDlgBase::kCancel);
  EXPECT_FALSE(::IsWindow(shadow));
  // A skin without the shadow gets none.
  TestDialog plain;
  RunScripted(plain, [&](HWND window) {
    EXPECT_EQ(plain.ShadowHandle(), nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  });
}

TEST_F(SkinWindowTest, ASkinThatCannotBeBuiltIsReportedAndTheWindowIsNotMade) {
  std::vector<std::wstring> failures;
  skin::SetSkinFailureHandlerForTesting([&](const std::wstring& detail) { failures.push_back(detail); });
  TestDialog missing(L"nothing.xml");
  EXPECT_EQ(missing.DoModal(nullptr), -1);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find(L"nothing.xml"), std::wstring::npos);
  skin::SetResourceFolder(folder_->Path(), L"absent.zip");
  TestDialog noArchive;
  EXPECT_EQ(noArchive.Create(nullptr, WS_POPUP, 0), nullptr);
  EXPECT_EQ(failures.size(), 2u);
}

// The real failure path ends the program: it runs in a child copy of this test program.
constexpr wchar_t kChildVariable[] = L"QL_SKIN_FAILURE_CHILD";

TEST(SkinFailureChild, OpensADialogWithoutAnArchive) {
  wchar_t folder[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(kChildVariable, folder, MAX_PATH)) GTEST_SKIP() << "runs as a child only";
  image::GdiplusSession gdiplus;
  AppConfig::Get().show_delete_confirm = 0;  // changed in this run, never saved so far
  skin::SetResourceFolder(folder, L"res.zip");
  TestDialog dialog;
  dialog.DoModal(nullptr);
  ADD_FAILURE() << "the process should have ended";
}

struct BoxSearch {
  DWORD process;
  std::vector<HWND> boxes;
};

BOOL CALLBACK FindBoxes(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<BoxSearch*>(data);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (process == search->process && std::wstring(name) == L"#32770" && ::IsWindowVisible(window)) {
    search->boxes.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectTexts(HWND window, LPARAM data) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  reinterpret_cast<std::vector<std::wstring>*>(data)->push_back(text);
  return TRUE;
}

TEST(SkinFailure, SavesTheSettingsTellsTheUserOnceAndEndsTheProgramWithCode1) {
  testing_support::TempDir data;
  testing_support::TempDir resources;  // holds no res.zip
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::SetEnvironmentVariableW(kChildVariable, resources.Path().c_str());
  ::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", data.Path().c_str());
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=SkinFailureChild.*";
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION child{};
  const BOOL started = ::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  ::SetEnvironmentVariableW(kChildVariable, nullptr);
  ::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", nullptr);
  ASSERT_TRUE(started);
  base::KernelHandle process(child.hProcess);
  base::KernelHandle thread(child.hThread);

  BoxSearch search{child.dwProcessId, {}};
  for (int i = 0; i < 300 && search.boxes.empty(); ++i) {
    ::Sleep(100);
    ::EnumWindows(&FindBoxes, reinterpret_cast<LPARAM>(&search));
  }
  ASSERT_EQ(search.boxes.size(), 1u) << "one message box";
  wchar_t caption[64] = {};
  ::GetWindowTextW(search.boxes[0], caption, 64);
  EXPECT_STREQ(caption, L"Duilib");
  std::vector<std::wstring> texts;
  ::EnumChildWindows(search.boxes[0], &CollectTexts, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(std::find(texts.begin(), texts.end(), L"加载资源文件失败"), texts.end());
  // The settings were written before the box appeared.
  const std::vector<uint8_t> saved = testing_support::ReadBytes(data.File(L"config.ini"));
  EXPECT_FALSE(saved.empty());
  ::PostMessageW(search.boxes[0], WM_COMMAND, IDOK, 0);
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  EXPECT_EQ(code, 1u);
  AppConfig reread(data.File(L"config.ini"));
  EXPECT_EQ(reread.show_delete_confirm, 0);
}

}  // namespace
