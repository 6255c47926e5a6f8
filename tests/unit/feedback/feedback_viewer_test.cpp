// The feedback form in the real viewer, as a user meets it: opened by the viewer's feedback
// command, filled in with the mouse, the keyboard and the clipboard (Chinese included), and sent
// to a server of the test's own on 127.0.0.1 that the viewer's setting feedback_url points at.
// Winsock before anything that includes windows.h.
#include "tests/unit/netkit/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/com.h"
#include "base/strings.h"
#include "popup_dialog/feedback/os_version.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/viewer.h"
#include "tests/support/test_support.h"
#include "tests/unit/netkit/gzip_oracle.h"

namespace {

using netkit_test::LoopbackServer;
constexpr UINT kFeedbackCommand = 21804;
constexpr COLORREF kTipRed = RGB(0xD9, 0x3F, 0x3F);
constexpr COLORREF kAccent = RGB(0x2F, 0x6F, 0xDE);
constexpr wchar_t kContent[] = L"打开全景照片时窗口会停顿几秒。\r\nThe window stops for a few seconds.";

std::string Answer(const std::string& status, const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
         body;
}

std::wstring FieldText(HWND field) {
  std::vector<wchar_t> text(4096, L'\0');
  const LRESULT n = ::SendMessageW(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return std::wstring(text.data(), static_cast<size_t>(std::max<LRESULT>(0, n)));
}

bool PutOnClipboard(const std::wstring& text) {
  if (!::OpenClipboard(nullptr)) return false;
  ::EmptyClipboard();
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (block) {
    std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(::GlobalLock(block)));
    ::GlobalUnlock(block);
    if (!::SetClipboardData(CF_UNICODETEXT, block)) ::GlobalFree(block);
  }
  ::CloseClipboard();
  return block != nullptr;
}

POINT CentreOnScreen(HWND window, const RECT& client) {
  POINT centre{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
  ::ClientToScreen(window, &centre);
  return centre;
}

class FeedbackInViewer : public ::testing::Test {
 protected:
  enum Field { kContentField, kEmailField, kPhoneField };

  void SetUp() override {
    // Only the form may come up: no default-viewer question, and no tray companion (its mutex,
    // held here, says one runs), which would outlive the test.
    static const HANDLE companion = ::CreateMutexW(nullptr, FALSE, L"Global\\QlTray-95745a12eeaa410d");
    (void)companion;
  }

  // Starts the viewer with its feedback address set and opens the form by the viewer's command.
  void OpenForm(const std::wstring& url) {
    viewer_ = std::make_unique<e2e::Viewer>(testing_support::BinDir(), data_.Path());
    ASSERT_TRUE(viewer_->WriteSettings({"default_viewer_start_tip=0", "feedback_url=" + base::WideToUtf8(url)}));
    ASSERT_TRUE(viewer_->Start());
    ::PostMessageW(viewer_->Main(), WM_COMMAND, kFeedbackCommand, 0);
    form_ = e2e::WaitForTopLevelWindow(viewer_->GetProcess().Id(), L"CFeedbackDlg", 20000);
    ASSERT_TRUE(form_);
    EXPECT_TRUE(::IsWindowEnabled(viewer_->Main())) << "the form runs beside the viewer";
    fields_.clear();
    for (HWND child = ::GetWindow(form_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (base::EqualsNoCase(e2e::ClassName(child), L"Edit")) fields_.push_back(child);
    }
    ASSERT_EQ(fields_.size(), 3u);
    // Top to bottom: the description, the address, the number.
    std::sort(fields_.begin(), fields_.end(), [](HWND a, HWND b) {
      RECT ra{}, rb{};
      ::GetWindowRect(a, &ra);
      ::GetWindowRect(b, &rb);
      return ra.top < rb.top;
    });
    ASSERT_TRUE(e2e::BringToForeground(form_));
    // The main button is the one drawn in the accent colour at the bottom right, seen at the same
    // place twice: the viewer under the form may still be on the screen there for a moment after
    // the form came to the front. The pointer rests on the form's title, so that no button is lit
    // (the last click of a scenario before may have left it where this form's button now is).
    e2e::MoveMouse(CentreOnScreen(form_, RECT{0, 0, 16, 16}));
    std::optional<RECT> button, seen;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
          const e2e::Capture shot = e2e::Capture::Client(form_);
          const std::optional<RECT> box =
              shot.BoxOf(kAccent, 8, RECT{shot.Width() / 2, shot.Height() - 80, shot.Width(), shot.Height()});
          const bool same = box && seen && ::EqualRect(&*box, &*seen);
          seen = box;
          if (same && box->right - box->left > 40) button = box;
          return button.has_value();
        },
        10000))
        << (e2e::SaveScreenshot(::GetDesktopWindow(), L"feedback_no_button") ? "see feedback_no_button.png" : "");
    commit_ = CentreOnScreen(form_, *button);
  }

  RECT FieldClient(Field field) const {
    RECT r{};
    ::GetClientRect(fields_[field], &r);
    return e2e::MapRect(fields_[field], form_, r);
  }

  // Where each field's tip is drawn: the row under the field.
  RECT TipRow(Field field) const {
    const RECT below = FieldClient(field);
    const LONG bottom = field == kPhoneField ? below.bottom + 60 : FieldClient(static_cast<Field>(field + 1)).top;
    RECT client{};
    ::GetClientRect(form_, &client);
    return RECT{0, below.bottom, client.right, bottom};
  }
  std::optional<RECT> TipInk(Field field) const { return e2e::Capture::Client(form_).BoxOf(kTipRed, 48, TipRow(field)); }
  bool WaitForTips(bool content, bool email, bool phone) const {
    return e2e::WaitUntil(
        [&] {
          return TipInk(kContentField).has_value() == content && TipInk(kEmailField).has_value() == email &&
                 TipInk(kPhoneField).has_value() == phone;
        },
        10000);
  }

  // Clicks into the field, puts the caret where the keys say, and pastes the text there; the
  // field then holds `result`.
  void Paste(Field field, const std::wstring& text, const std::wstring& result, std::initializer_list<WORD> keysFirst = {}) {
    e2e::Click(CentreOnScreen(form_, FieldClient(field)));
    const DWORD thread = ::GetWindowThreadProcessId(form_, nullptr);
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
          GUITHREADINFO info{sizeof(info)};
          return ::GetGUIThreadInfo(thread, &info) && info.hwndFocus == fields_[field];
        },
        5000));
    for (WORD key : keysFirst) e2e::PressKey(key);
    ASSERT_TRUE(PutOnClipboard(text));
    e2e::PressKey('V', {VK_CONTROL});
    ASSERT_TRUE(e2e::WaitUntil([&] { return FieldText(fields_[field]) == result; }, 5000))
        << base::WideToUtf8(FieldText(fields_[field]));
  }

  void Commit() const { e2e::Click(commit_); }
  [[nodiscard]] bool Sending() const {
    return (::GetWindowLongPtrW(fields_[kContentField], GWL_STYLE) & ES_READONLY) != 0;
  }
  void ExpectFields(const std::wstring& content, const std::wstring& email, const std::wstring& phone) const {
    EXPECT_EQ(FieldText(fields_[kContentField]), content);
    EXPECT_EQ(FieldText(fields_[kEmailField]), email);
    EXPECT_EQ(FieldText(fields_[kPhoneField]), phone);
  }

  FCAutoInitializeCOM com_;  // the screenshots are written through the imaging component
  testing_support::TempDir data_;
  std::unique_ptr<e2e::Viewer> viewer_;
  HWND form_ = nullptr;
  std::vector<HWND> fields_;
  POINT commit_{};
};

// The user sends with nothing filled in, then with a wrong address and number, each time seeing
// which field needs what; mends both with the keyboard; sends; the server gets exactly what was
// typed, as UTF-8 form fields, accepts it, and the form closes.
TEST_F(FeedbackInViewer, TheChecksPointAtEachFieldAndAnAcceptedFormArrivesFieldForField) {
  LoopbackServer server(LoopbackServer::Behaviour::kAnswer, Answer("200 OK", R"({"errno":0,"msg":"ok"})"));
  ASSERT_TRUE(server.Listening());
  OpenForm(server.Url());
  if (HasFatalFailure()) return;

  Commit();
  EXPECT_TRUE(WaitForTips(true, true, true)) << "every field says what it needs";
  EXPECT_TRUE(e2e::SaveScreenshot(form_, L"feedback_tips"));
  Paste(kContentField, kContent, kContent);
  Paste(kEmailField, L"lin", L"lin");
  Paste(kPhoneField, L"12800138000", L"12800138000");
  Commit();
  EXPECT_TRUE(WaitForTips(false, true, true)) << "the address lacks \"@\", the number starts with 12";
  EXPECT_TRUE(server.Requests().empty()) << "nothing is sent while a field is wrong";

  Paste(kEmailField, L"@example.com", L"lin@example.com", {VK_END});
  Paste(kPhoneField, L"13", L"13800138000", {VK_HOME, VK_DELETE, VK_DELETE});
  Commit();
  ASSERT_TRUE(server.WaitForRequest());
  EXPECT_TRUE(e2e::WaitUntil([&] { return !::IsWindow(form_); }, 10000)) << "accepted: the form closes";

  const std::vector<netkit_test::ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const netkit_test::ReceivedRequest& request = requests[0];
  EXPECT_EQ(request.RequestLine(), "POST /live/intf/addFeedback HTTP/1.1");
  const std::vector<std::string> type = request.Headers("Content-Type");
  ASSERT_EQ(type.size(), 1u);
  const std::string prefix = "multipart/form-data; boundary=";
  ASSERT_EQ(type[0].rfind(prefix, 0), 0u) << type[0];
  const std::string boundary = type[0].substr(prefix.size());
  std::string body;
  ASSERT_TRUE(netkit_test::GunzipForTest(request.body, body)) << "the form goes compressed";
  std::string expected;
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
           {"suggest", base::WideToUtf8(kContent)},
           {"email", "lin@example.com"},
           {"phone", "13800138000"},
           {"type", "3"},
           {"system", base::WideToUtf8(feedback::KernelVersionText())}}) {
    expected += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  expected += "--" + boundary + "--\r\n";
  EXPECT_EQ(body, expected);
  EXPECT_TRUE(viewer_->Responds()) << "the main window deleted the form and goes on";
}

// Whatever goes wrong on the way, the form stays open, says so in the error line and keeps every
// character; the user can send again at once.
TEST_F(FeedbackInViewer, AnswersThatAreNotAnAcceptanceAndADeadServerEachShowAnErrorAndLoseNothing) {
  auto server = std::make_unique<LoopbackServer>(LoopbackServer::Behaviour::kAnswer);
  ASSERT_TRUE(server->Listening());
  OpenForm(server->Url());
  if (HasFatalFailure()) return;
  Paste(kContentField, kContent, kContent);
  Paste(kEmailField, L"lin@example.com", L"lin@example.com");
  Paste(kPhoneField, L"13800138000", L"13800138000");

  const std::pair<const char*, std::string> answers[] = {
      {"status 500", Answer("500 Internal Server Error", R"({"errno":0})")},
      {"not JSON", Answer("200 OK", "<html><body>Bad gateway</body></html>")},
      {"refused", Answer("200 OK", "{\"errno\":7,\"msg\":\"\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8\xE5\xBF\x99\"}")},
  };
  std::optional<RECT> ink;
  for (size_t i = 0; i < std::size(answers); ++i) {
    SCOPED_TRACE(answers[i].first);
    server->SetAnswer(answers[i].second);
    Commit();
    ASSERT_TRUE(e2e::WaitUntil([&] { return server->Requests().size() == i + 1; }, 20000));
    ASSERT_TRUE(e2e::WaitUntil([&] { return !Sending(); }, 20000)) << "the answer is in";
    EXPECT_TRUE(e2e::WaitUntil([&] { return (ink = TipInk(kPhoneField)).has_value(); }, 10000)) << "an error is shown";
    EXPECT_TRUE(::IsWindowVisible(form_));
    ExpectFields(kContent, L"lin@example.com", L"13800138000");
  }
  EXPECT_TRUE(e2e::SaveScreenshot(form_, L"feedback_refused"));

  // Asked for again from the viewer, the same form comes forward, text and all.
  ASSERT_TRUE(e2e::BringToForeground(viewer_->Main()));
  ::PostMessageW(viewer_->Main(), WM_COMMAND, kFeedbackCommand, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return !::IsWindow(form_) || ::GetForegroundWindow() == form_; }, 10000));
  ASSERT_TRUE(::IsWindow(form_)) << "the open form was replaced";
  ExpectFields(kContent, L"lin@example.com", L"13800138000");
  ASSERT_TRUE(e2e::BringToForeground(form_));

  server.reset();
  const std::optional<RECT> refusal = ink;
  Commit();
  EXPECT_TRUE(e2e::WaitUntil(
      [&] {
        ink = TipInk(kPhoneField);
        return ink && refusal && !::EqualRect(&*ink, &*refusal);
      },
      30000))
      << "the network error replaces the server's message";
  EXPECT_TRUE(::IsWindowVisible(form_));
  ExpectFields(kContent, L"lin@example.com", L"13800138000");
  EXPECT_TRUE(e2e::SaveScreenshot(form_, L"feedback_no_server"));
}

}  // namespace
