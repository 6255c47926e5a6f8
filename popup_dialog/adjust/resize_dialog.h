#pragma once
// The resize dialog: a new pixel size for the picture on screen, from four presets ("recommend",
// items "item1" to "item4") or typed as a width, a height ("wide", "height") or percentages
// ("wide_percent", "height_percent"), with the proportions kept while "lock" is ticked. "ok"
// asks where to save the resized copy and ends with 1 once a name is chosen; "cancel", "cls",
// Escape and any other way of closing end with 2. A size of 0, or one too large to be saved, is
// refused: "hint" says why and "ok" stays disabled.
#include <functional>
#include <string>

#include "popup_dialog/adjust/resize_fields.h"
#include "services/resize_dialog.h"
#include "skin/window/dialog_base.h"

class DlgResizeImage2 : public CDlgBase, public services::IResizeDialog {
 public:
  // Asks for the output file: the owner of the question, the proposed name; true with the chosen
  // name (its extension completed) when the user confirmed.
  using PathChooser = std::function<bool(HWND owner, const std::wstring& proposed, std::wstring& chosen)>;

  // source: the size of the picture on screen; path: its file, beside which the copy is proposed.
  DlgResizeImage2(SIZE source, std::wstring path, PathChooser choosePath);

  // The platform's save dialog with the save-as filter.
  static bool ChooseWithSaveDialog(HWND owner, const std::wstring& proposed, std::wstring& chosen);

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgResizeImage2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"modifysize.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // services::IResizeDialog
  INT_PTR DoModal(HWND owner) override { return CDlgBase::DoModal(owner); }
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }
  [[nodiscard]] std::wstring OutputPath() const override { return output_path_; }
  [[nodiscard]] int OutputWidth() const override { return fields_.Width(); }
  [[nodiscard]] int OutputHeight() const override { return fields_.Height(); }

 private:
  void OnTyped(resize_fields::Field field);
  void OnPreset(int index);
  void Confirm();
  // Writes field texts into the edits. The edits report only the user's changes, and the guard
  // keeps it so: a field written here never comes back as typing.
  void Show(const resize_fields::FieldTexts& texts);
  // Shows why the size cannot be saved (or nothing) and enables "ok" only for a good size.
  void ShowVerdict();
  [[nodiscard]] bool IsLocked() const;

  resize_fields::ResizeFields fields_;
  std::wstring path_;
  PathChooser choose_path_;
  std::wstring output_path_;
  bool writing_fields_ = false;
};
