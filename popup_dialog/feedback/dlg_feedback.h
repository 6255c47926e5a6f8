#pragma once
// The feedback form: the user describes a problem and leaves an e-mail address and a mobile
// number; "commit" checks the three and uploads them through NetKit.dll to the address in the
// setting feedback_url. The server's answer decides: accepted closes the form, anything else
// (a refusal with the server's message, another HTTP status, an answer that cannot be read, no
// answer at all) is shown in "phone_tip" and every field keeps what the user typed.
//
// It runs modelessly beside the main window. However it is closed ("cls", Escape, WM_CLOSE, an
// accepted upload), its upload is released first, its window is destroyed, and only then is
// WM_FEEDBACK_CLOSED posted to the main window, which deletes the object from its own loop. The
// upload's completion arrives on the library's thread and is only posted to the window; the
// window reads the result on its own thread.
#include <windows.h>

#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "popup_dialog/feedback/upload.h"
#include "services/feedback_dialog.h"
#include "skin/window/skin_window.h"

class CFeedbackDlg : public CUseZipResourceDuiWnd, public services::IFeedbackDialog {
 public:
  // Posted to the form by the upload's completion; wParam: the upload's number.
  static constexpr UINT kUploadDone = 3045;
  static constexpr skin::Argb kPlaceholderColour = 0xFFAAAAAA;
  static constexpr skin::Argb kTextColour = 0xFF2E302F;

  // programFolder: where NetKit.dll (and QuellinBase.dll) lie.
  CFeedbackDlg(AppConfig& config, std::wstring programFolder);
  ~CFeedbackDlg() override;

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"CFeedbackDlg"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"questionnaire.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  LRESULT OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // Opens the form over the main window, or brings it forward when it is open.
  void Show(HWND mainWindow) override;

 protected:
  void OnClose(WPARAM wParam) override;

 private:
  class UploadCallback;

  [[nodiscard]] feedback::FormInput Input() const;
  void Commit();
  void StartSending(const feedback::FormInput& input);
  void OnUploadDone(WPARAM number);
  void StopUpload();
  void SetSending(bool sending);
  void ShowTip(const wchar_t* tip, const wchar_t* key, bool shown);
  void ShowError(const std::wstring& text);
  void ShowPlaceholder();
  void OnTextChanged(const skin::Control& field);
  // Tab, Escape and Enter, from the form or one of its fields; true when taken.
  bool OnKey(HWND from, WPARAM key);
  void MoveFocus(bool backwards);
  static LRESULT CALLBACK FieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) noexcept;

  AppConfig& config_;
  std::wstring program_folder_;
  HWND owner_ = nullptr;
  bool closed_ = false;
  bool placeholder_ = false;
  WPARAM upload_number_ = 0;
  // The callback outlives its task: the task is released first.
  std::unique_ptr<UploadCallback> callback_;
  feedback::UploadTask upload_;
};
