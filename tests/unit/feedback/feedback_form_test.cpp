// The feedback form in a real window, over the real NetKit.dll of the build's program folder and a
// server of the test's own on 127.0.0.1: what every kind of answer makes of the form, and every way
// of leaving it while an upload runs. An owner window plays the main window: it deletes the form
// from its own message handling when the form reports that it has closed.
// Winsock before anything that includes windows.h.
#include "tests/unit/netkit/loopback_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/com.h"
#include "base/log.h"
#include "base/strings.h"
#include "image/gdiplus_include.h"
#include "popup_dialog/feedback/dlg_feedback.h"
#include "popup_dialog/small/dialog_text.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/edit.h"
#include "tests/support/test_support.h"
#include "tests/unit/skin/modal_script.h"

namespace {

using netkit_test::LoopbackServer;
constexpr wchar_t kContent[] = L"打开全景照片时窗口停顿\r\nThe window stops on large panoramas.";
constexpr wchar_t kEmail[] = L"lin@example.com";
constexpr wchar_t kPhone[] = L"13800138000";

std::string Answer(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::wstring Text(const wchar_t* key) { return GetLanguageString(L"DLG_FEEDBACK", key); }

class Owner {
 public:
  Owner() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FeedbackOwnerForTest";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 200, 200, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Owner() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  [[nodiscard]] HWND Window() const { return window_; }
  void GoAway() { ::DestroyWindow(window_); }

  std::unique_ptr<CFeedbackDlg> form;
  int closed = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* owner = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner && message == services::WM_FEEDBACK_CLOSED) {
      ++owner->closed;
      owner->form.reset();
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
};

class FeedbackForm : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(L"en.ini"));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    config_ = std::make_unique<AppConfig>(folder_.File(L"config.ini"));
    log_ = folder_.File(L"main.log");
    ASSERT_TRUE(testing_support::WriteText(log_ + L".on", ""));
    ASSERT_TRUE(CMyLog::Get().Open(log_));
  }
  void TearDown() override {
    CMyLog::Get().Close();
    SetLanguageFolderForTesting(L"");
  }

  // Opens the form over the owner, types into the three fields as a user does (the description's
  // placeholder goes when it takes the focus) and presses "commit".
  void OpenAndSend(Owner& owner) {
    owner.form = std::make_unique<CFeedbackDlg>(*config_, testing_support::BinDir());
    owner.form->Show(owner.Window());
    ASSERT_TRUE(::IsWindowVisible(owner.form->GetHWND())) << "shown without a loop of its own";
    for (const auto& [name, text] : {std::pair{L"content", kContent}, {L"email", kEmail}, {L"phone", kPhone}}) {
      const auto* field = owner.form->FindControlAs<skin::Edit>(name);
      ASSERT_TRUE(field && field->NativeWindow());
      ::SetFocus(field->NativeWindow());
      ::SetWindowTextW(field->NativeWindow(), text);
    }
    owner.form->LayoutNow();
    skin_test::Click(*owner.form, L"commit");
  }

  // Whether the form is back to editing with its error shown.
  static bool ShowsError(const CFeedbackDlg& form) {
    const skin::Control* tip = form.FindControl(L"phone_tip");
    const skin::Control* commit = form.FindControl(L"commit");
    return tip && tip->IsVisible() && commit && commit->IsEnabled();
  }

  [[nodiscard]] bool Logged() const {
    const std::vector<uint8_t> bytes = testing_support::ReadBytes(log_);
    return std::string(bytes.begin(), bytes.end()).find("[dlg_feedback]send feedback failed") != std::string::npos;
  }

  image::GdiplusSession gdiplus_;
  FCAutoInitializeCOM com_;
  testing_support::TempDir folder_;
  std::unique_ptr<AppConfig> config_;
  std::wstring log_;
};

// The form closes only on an accepted upload. Every other ending shows what happened where the
// user looks, keeps every character the user typed and lets them send again.
TEST_F(FeedbackForm, OnlyAnAcceptedUploadClosesTheFormAndEveryFailureKeepsTheText) {
  enum class Address { kServer, kDeadServer, kNone, kRefused };
  const struct {
    const char* what;
    Address address;
    std::string answer;
    std::optional<std::wstring> error;  // none: the form closes
    bool logged = false;
  } cases[] = {
      {"accepted", Address::kServer, Answer("200 OK", R"({"errno":0,"msg":"ok"})"), std::nullopt},
      {"refused with a message", Address::kServer,
       Answer("200 OK", "{\"errno\":7,\"msg\":\"\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8\xE5\xBF\x99\"}"), L"服务器忙"},
      {"refused without one", Address::kServer, Answer("200 OK", R"({"errno":1,"msg":""})"),
       popup_dialog::FillTemplate(Text(L"11"), L"1")},
      {"status 500", Address::kServer, Answer("500 Internal Server Error", R"({"errno":0})"),
       popup_dialog::FillTemplate(Text(L"12"), L"500")},
      {"not JSON", Address::kServer, Answer("200 OK", "<html>busy</html>"), Text(L"13")},
      {"no errno", Address::kServer, Answer("200 OK", R"({"msg":"ok"})"), Text(L"13")},
      {"dead server", Address::kDeadServer, "", Text(L"10")},
      {"no address set up", Address::kNone, "", Text(L"14")},
      {"an address the library refuses", Address::kRefused, "", Text(L"10"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto server = std::make_unique<LoopbackServer>(LoopbackServer::Behaviour::kAnswer, c.answer);
    ASSERT_TRUE(server->Listening());
    config_->feedback_url = c.address == Address::kNone      ? L""
                            : c.address == Address::kRefused ? L"http://example.com/live/intf/addFeedback"
                                                             : server->Url();
    if (c.address == Address::kDeadServer) server.reset();
    Owner owner;
    OpenAndSend(owner);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !owner.form || ShowsError(*owner.form); }));
    if (server) {
      EXPECT_EQ(server->Requests().size(), c.address == Address::kServer ? 1u : 0u);
    }
    EXPECT_EQ(Logged(), c.logged);
    if (!c.error) {
      EXPECT_EQ(owner.closed, 1) << "the owner deleted the form from its own loop";
      continue;
    }
    ASSERT_TRUE(owner.form);
    const CFeedbackDlg& form = *owner.form;
    EXPECT_TRUE(::IsWindowVisible(form.GetHWND()));
    EXPECT_EQ(form.FindControl(L"phone_tip")->Text(), *c.error);
    EXPECT_FALSE(form.FindControl(L"content_tip")->IsVisible());
    EXPECT_FALSE(form.FindControl(L"email_tip")->IsVisible());
    EXPECT_EQ(form.FindControl(L"content")->Text(), kContent);
    EXPECT_EQ(form.FindControl(L"email")->Text(), kEmail);
    EXPECT_EQ(form.FindControl(L"phone")->Text(), kPhone);
    const auto* content = form.FindControlAs<skin::Edit>(L"content");
    EXPECT_EQ(::GetWindowLongPtrW(content->NativeWindow(), GWL_STYLE) & ES_READONLY, 0) << "editable again";
    EXPECT_EQ(owner.closed, 0);
  }
}

// However the form goes while its upload waits for an answer, the upload is released before the
// window goes, and the owner deletes the form only once nothing of it runs.
TEST_F(FeedbackForm, LeavingWhileAnUploadRunsReleasesItBeforeTheWindowGoes) {
  const struct {
    const char* what;
    std::function<void(Owner&)> leave;
    int closed;
  } cases[] = {
      {"close button", [](Owner& o) { skin_test::Click(*o.form, L"cls"); }, 1},
      {"Escape", [](Owner& o) { skin_test::Key(o.form->GetHWND(), VK_ESCAPE); }, 1},
      {"closed from outside", [](Owner& o) { ::PostMessageW(o.form->GetHWND(), WM_CLOSE, 1, 0); }, 1},
      {"the main window going first", [](Owner& o) { o.GoAway(); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackServer server(LoopbackServer::Behaviour::kNeverAnswer);
    config_->feedback_url = server.Url();
    Owner owner;
    OpenAndSend(owner);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !server.Requests().empty(); }));
    const HWND window = owner.form->GetHWND();
    c.leave(owner);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return !::IsWindow(window) && (!owner.form || c.closed == 0); }));
    EXPECT_EQ(owner.closed, c.closed);
    owner.form.reset();
    // Whatever was still on its way to the form finds nothing.
    EXPECT_TRUE(testing_support::PumpPostedMessages());
  }
}

}  // namespace
