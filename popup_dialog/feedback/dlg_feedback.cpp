#include "popup_dialog/feedback/dlg_feedback.h"

#include <commctrl.h>

#include <iterator>

#include "appconfig/language.h"
#include "base/log.h"
#include "popup_dialog/feedback/os_version.h"
#include "popup_dialog/small/dialog_text.h"
#include "skin/controls/edit.h"

namespace {

constexpr wchar_t kSection[] = L"DLG_FEEDBACK";
constexpr UINT_PTR kFieldSubclass = 1;
constexpr const wchar_t* kFields[] = {L"content", L"email", L"phone"};

std::wstring Text(const wchar_t* key) { return GetLanguageString(kSection, key); }

std::wstring TextWithNumber(const wchar_t* key, long long number) {
  return popup_dialog::FillTemplate(Text(key), std::to_wstring(number));
}

std::wstring ErrorText(const feedback::UploadResult& result) {
  using feedback::Outcome;
  switch (result.outcome) {
    case Outcome::kRefused:
      return result.message.empty() ? TextWithNumber(L"11", result.code) : result.message;
    case Outcome::kHttpStatus:
      return TextWithNumber(L"12", result.code);
    case Outcome::kUnreadable:
      return Text(L"13");
    default:
      return Text(L"10");
  }
}

}  // namespace

// Runs on the library's thread: it only posts. A window that has gone takes no message, and the
// window releases the task before it goes, so nothing can arrive after that.
class CFeedbackDlg::UploadCallback final : public IHttpTaskCallback {
 public:
  UploadCallback(HWND window, WPARAM number) : window_(window), number_(number) {}
  void NETKIT_CALL OnHttpTaskComplete(IHttpTask*) override { ::PostMessageW(window_, kUploadDone, number_, 0); }

 private:
  const HWND window_;
  const WPARAM number_;
};

CFeedbackDlg::CFeedbackDlg(AppConfig& config, std::wstring programFolder)
    : config_(config), program_folder_(std::move(programFolder)) {}

CFeedbackDlg::~CFeedbackDlg() {
  StopUpload();
  // Destroyed while this object is whole: the fields' key handler points at it until they go.
  if (GetHWND()) ::DestroyWindow(GetHWND());
}

void CFeedbackDlg::Show(HWND mainWindow) {
  if (closed_) return;
  owner_ = mainWindow;
  if (!GetHWND()) {
    if (!Create(mainWindow, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0)) return;
    CenterWindow(mainWindow);
  }
  ::ShowWindow(GetHWND(), SW_SHOWNORMAL);
  ::SetForegroundWindow(GetHWND());
}

void CFeedbackDlg::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"email_label", kSection, L"3");
  SetLanguageText(*this, L"phone_label", kSection, L"4");
  SetLanguageText(*this, L"commit", kSection, L"5");
  for (const wchar_t* tip : {L"content_tip", L"email_tip", L"phone_tip"}) {
    if (skin::Control* label = FindControl(tip)) label->SetVisible(false);
  }
  for (const wchar_t* name : kFields) {
    const auto* field = FindControlAs<skin::Edit>(name);
    if (field && field->NativeWindow()) {
      ::SetWindowSubclass(field->NativeWindow(), &FieldProcedure, kFieldSubclass, reinterpret_cast<DWORD_PTR>(this));
    }
  }
  ShowPlaceholder();
}

void CFeedbackDlg::ShowPlaceholder() {
  auto* content = FindControlAs<skin::Edit>(L"content");
  if (!content) return;
  content->SetText(Text(L"2"));
  content->SetTextColour(kPlaceholderColour);
  placeholder_ = true;
}

void CFeedbackDlg::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    if (notification.From(L"commit")) {
      Commit();
      return;
    }
    if (notification.From(L"cls")) {
      Close();
      return;
    }
  } else if (notification.From(L"content") && notification.Is(L"setfocus")) {
    if (placeholder_) {
      auto* content = FindControlAs<skin::Edit>(L"content");
      content->SetText(L"");
      content->SetTextColour(kTextColour);
      placeholder_ = false;
    }
    return;
  } else if (notification.From(L"content") && notification.Is(L"killfocus")) {
    const auto* content = FindControlAs<skin::Edit>(L"content");
    if (content->Text().empty()) ShowPlaceholder();
    return;
  } else if (notification.Is(L"textchanged") && notification.sender) {
    OnTextChanged(*notification.sender);
    return;
  }
  CUseZipResourceDuiWnd::OnNotify(notification);
}

void CFeedbackDlg::OnTextChanged(const skin::Control& field) {
  const bool empty = field.Text().empty();
  if (field.Name() == L"content") {
    // Whatever the user changed is theirs, not the placeholder.
    placeholder_ = false;
    if (auto* content = FindControlAs<skin::Edit>(L"content")) content->SetTextColour(kTextColour);
    ShowTip(L"content_tip", L"7", empty);
  } else if (field.Name() == L"email") {
    ShowTip(L"email_tip", L"8", empty);
  } else if (field.Name() == L"phone") {
    ShowTip(L"phone_tip", L"9", empty);
  }
}

void CFeedbackDlg::ShowTip(const wchar_t* tip, const wchar_t* key, bool shown) {
  skin::Control* label = FindControl(tip);
  if (!label) return;
  if (shown) label->SetText(Text(key));
  label->SetVisible(shown);
}

void CFeedbackDlg::ShowError(const std::wstring& text) {
  skin::Control* label = FindControl(L"phone_tip");
  if (!label) return;
  label->SetText(text);
  label->SetVisible(true);
}

feedback::FormInput CFeedbackDlg::Input() const {
  const auto text = [this](const wchar_t* name) {
    const skin::Control* field = FindControl(name);
    return field ? field->Text() : std::wstring();
  };
  return feedback::FormInput{placeholder_ ? std::wstring() : text(L"content"), text(L"email"), text(L"phone")};
}

void CFeedbackDlg::Commit() {
  if (upload_ || !GetHWND()) return;
  const feedback::FormInput input = Input();
  const feedback::InputCheck check = feedback::CheckInput(input);
  ShowTip(L"content_tip", L"7", !check.content);
  ShowTip(L"email_tip", L"8", !check.email);
  ShowTip(L"phone_tip", L"9", !check.phone);
  if (check.AllValid()) StartSending(input);
}

void CFeedbackDlg::StartSending(const feedback::FormInput& input) {
  if (config_.feedback_url.empty()) {
    ShowError(Text(L"14"));
    return;
  }
  IHttpManager* manager = feedback::NetKitManager(program_folder_);
  if (!manager) {
    ShowError(Text(L"15"));
    return;
  }
  auto callback = std::make_unique<UploadCallback>(GetHWND(), ++upload_number_);
  const feedback::FormFields fields = feedback::BuildFormFields(input, feedback::OsVersionText(program_folder_));
  // The fields hold still from before the first byte leaves until the answer is in.
  SetSending(true);
  int error = 0;
  feedback::UploadTask task = feedback::StartUpload(*manager, config_.feedback_url, fields, callback.get(), &error);
  if (!task) {
    QL_LOG_INFO(L"send feedback failed");
    SetSending(false);
    ShowError(Text(L"10"));
    return;
  }
  callback_ = std::move(callback);
  upload_ = std::move(task);
}

void CFeedbackDlg::OnUploadDone(WPARAM number) {
  if (!upload_ || number != upload_number_) return;
  // Read before the release: the answer's bytes belong to the task.
  const feedback::UploadResult result = feedback::ReadUploadResult(feedback::ReportOf(*upload_));
  StopUpload();
  SetSending(false);
  if (result.outcome == feedback::Outcome::kAccepted) {
    Close();
  } else if (result.outcome != feedback::Outcome::kCancelled) {
    ShowError(ErrorText(result));
  }
}

void CFeedbackDlg::StopUpload() { upload_.reset(); }

void CFeedbackDlg::SetSending(bool sending) {
  if (skin::Control* commit = FindControl(L"commit")) {
    commit->SetEnabled(!sending);
    commit->SetText(Text(sending ? L"6" : L"5"));
  }
  // What is being sent is what the fields show until the server has answered.
  for (const wchar_t* name : kFields) {
    const auto* field = FindControlAs<skin::Edit>(name);
    if (field && field->NativeWindow()) ::SendMessageW(field->NativeWindow(), EM_SETREADONLY, sending, 0);
  }
}

void CFeedbackDlg::OnClose(WPARAM) {
  closed_ = true;
  StopUpload();
  const HWND owner = owner_;
  ::DestroyWindow(GetHWND());
  // The window is gone and nothing of it runs: the main window may delete the object now.
  if (owner && ::IsWindow(owner)) ::PostMessageW(owner, services::WM_FEEDBACK_CLOSED, 0, 0);
}

LRESULT CFeedbackDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  handled = false;
  if (message == WM_DESTROY) {
    // Also when the main window goes first and takes the form with it.
    StopUpload();
  } else if (message == WM_KEYDOWN) {
    handled = OnKey(GetHWND(), wParam);
  }
  return 0;
}

LRESULT CFeedbackDlg::OnCustomMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  handled = message == kUploadDone;
  if (handled) OnUploadDone(wParam);
  return 0;
}

bool CFeedbackDlg::OnKey(HWND from, WPARAM key) {
  switch (key) {
    case VK_TAB:
      MoveFocus(::GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_ESCAPE:
      Close();
      return true;
    case VK_RETURN: {
      // Enter in a one-line field sends; in the description it starts a new line.
      const skin::Edit* field = skin::Edit::FromNative(from);
      if (!field || field->IsMultiline()) return false;
      Commit();
      return true;
    }
    default:
      return false;
  }
}

void CFeedbackDlg::MoveFocus(bool backwards) {
  const HWND focus = ::GetFocus();
  constexpr int kCount = static_cast<int>(std::size(kFields));
  int at = -1;
  for (int i = 0; i < kCount; ++i) {
    const auto* field = FindControlAs<skin::Edit>(kFields[i]);
    if (field && field->NativeWindow() == focus) at = i;
  }
  const int next = at < 0 ? (backwards ? kCount - 1 : 0) : (at + (backwards ? kCount - 1 : 1)) % kCount;
  if (const auto* field = FindControlAs<skin::Edit>(kFields[next])) {
    field->Focus();
    ::SendMessageW(field->NativeWindow(), EM_SETSEL, 0, -1);
  }
}

LRESULT CALLBACK CFeedbackDlg::FieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                              DWORD_PTR self) noexcept {
  auto* dialog = reinterpret_cast<CFeedbackDlg*>(self);
  switch (message) {
    case WM_KEYDOWN:
      if (dialog->OnKey(field, wParam)) return 0;
      break;
    case WM_CHAR:
      // The keys taken above make no character of their own (a tab, a beep).
      if (wParam == L'\t' || wParam == 0x1B) return 0;
      if (wParam == L'\r' && (::GetWindowLongPtrW(field, GWL_STYLE) & ES_MULTILINE) == 0) return 0;
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(field, &FieldProcedure, id);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(field, message, wParam, lParam);
}
