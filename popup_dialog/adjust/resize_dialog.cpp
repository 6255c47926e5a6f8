#include "popup_dialog/adjust/resize_dialog.h"

#include "appconfig/language.h"
#include "base/strings.h"
#include "image/save/dialog.h"
#include "image/save/save.h"
#include "popup_dialog/small/dialog_text.h"
#include "skin/controls/button.h"
#include "skin/controls/edit.h"
#include "skin/controls/list.h"

namespace {

using resize_fields::Field;
using resize_fields::Verdict;

constexpr wchar_t kSection[] = L"DLG_RESIZE";
constexpr const wchar_t* kFieldNames[resize_fields::kFieldCount] = {L"wide", L"height", L"wide_percent",
                                                                     L"height_percent"};
constexpr const wchar_t* kPresetNames[] = {L"item1", L"item2", L"item3", L"item4"};
// Posted to itself once the dialog shows, to put the caret into the width.
constexpr UINT kFocusWidth = WM_APP + 0x31;

std::wstring LanguageText(const wchar_t* key) { return GetLanguageString(kSection, key); }

}  // namespace

DlgResizeImage2::DlgResizeImage2(SIZE source, std::wstring path, PathChooser choosePath)
    : fields_(source), path_(std::move(path)), choose_path_(std::move(choosePath)) {}

bool DlgResizeImage2::ChooseWithSaveDialog(HWND owner, const std::wstring& proposed, std::wstring& chosen) {
  std::wstring name;
  int filterIndex = 1;
  if (!ShowSaveAsDialog(owner, proposed, name, filterIndex)) return false;
  chosen = ApplySaveAsFilter(name, filterIndex);
  return true;
}

void DlgResizeImage2::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"presets", kSection, L"3");
  SetLanguageText(*this, L"width_label", kSection, L"4");
  SetLanguageText(*this, L"height_label", kSection, L"5");
  SetLanguageText(*this, L"width_unit", kSection, L"12");
  SetLanguageText(*this, L"height_unit", kSection, L"12");
  SetLanguageText(*this, L"lock", kSection, L"6");
  SetLanguageText(*this, L"ok", kSection, L"7");
  SetLanguageText(*this, L"cancel", kSection, L"8");
  if (skin::Control* source = FindControl(L"source")) {
    const resize_fields::FieldTexts start = fields_.All();
    source->SetText(popup_dialog::FillTemplate(LanguageText(L"2"), *start[Field::kWidth] + L" \u00D7 " +
                                                                       *start[Field::kHeight]));
  }
  for (int i = 0; i < 4; ++i) {
    if (skin::Control* item = FindControl(kPresetNames[i])) item->SetText(fields_.PresetText(i));
  }
  Show(fields_.All());
  ShowVerdict();
  ::PostMessageW(GetHWND(), kFocusWidth, 0, 0);
}

LRESULT DlgResizeImage2::OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message != kFocusWidth) return CDlgBase::OnCustomMessage(message, wParam, lParam, handled);
  handled = true;
  if (auto* width = FindControlAs<skin::Edit>(kFieldNames[Field::kWidth])) {
    width->Focus();
    ::SendMessageW(width->NativeWindow(), EM_SETSEL, 0, -1);
  }
  return 0;
}

bool DlgResizeImage2::IsLocked() const {
  const auto* lock = FindControlAs<skin::CheckBox>(L"lock");
  return lock && lock->IsChecked();
}

void DlgResizeImage2::Show(const resize_fields::FieldTexts& texts) {
  writing_fields_ = true;
  for (int i = 0; i < resize_fields::kFieldCount; ++i) {
    if (!texts[static_cast<size_t>(i)]) continue;
    if (skin::Control* field = FindControl(kFieldNames[i])) field->SetText(*texts[static_cast<size_t>(i)]);
  }
  writing_fields_ = false;
}

void DlgResizeImage2::ShowVerdict() {
  const Verdict verdict = fields_.Check();
  std::wstring why;
  switch (verdict) {
    case Verdict::kEmpty:
      why = LanguageText(L"9");
      break;
    case Verdict::kSideTooLong:
      why = popup_dialog::FillTemplate(LanguageText(L"10"), base::FormatW(L"%I64d", resize_fields::kMaxSide));
      break;
    case Verdict::kTooManyPixels:
      why = popup_dialog::FillTemplate(LanguageText(L"11"),
                                       base::FormatW(L"%I64d", resize_fields::kMaxPixels / 1000000));
      break;
    case Verdict::kOk:
      break;
  }
  if (skin::Control* hint = FindControl(L"hint")) hint->SetText(why);
  if (skin::Control* ok = FindControl(L"ok")) ok->SetEnabled(verdict == Verdict::kOk);
}

void DlgResizeImage2::OnTyped(Field field) {
  auto* edit = FindControlAs<skin::Edit>(kFieldNames[field]);
  if (!edit) return;
  const resize_fields::FieldTexts shown = fields_.Typed(field, edit->Text(), IsLocked());
  Show(shown);
  // An emptied field shows "0", selected, so that the next digit replaces it.
  if (shown[static_cast<size_t>(field)] && edit->NativeWindow()) ::SendMessageW(edit->NativeWindow(), EM_SETSEL, 0, -1);
  // The size is the user's own now, no longer a preset.
  if (auto* presets = FindControlAs<skin::List>(L"recommend")) presets->SelectItem(-1, false);
  ShowVerdict();
}

void DlgResizeImage2::OnPreset(int index) {
  Show(fields_.ChoosePreset(index));
  ShowVerdict();
}

void DlgResizeImage2::Confirm() {
  if (fields_.Check() != Verdict::kOk) {
    ShowVerdict();
    return;
  }
  std::wstring chosen;
  // The question is owned by this dialog, which waits disabled until it is answered.
  if (!choose_path_ || !choose_path_(GetHWND(), ProposeSaveAsName(path_), chosen) || chosen.empty()) return;
  output_path_ = chosen;
  EndDialog(kOk);
}

void DlgResizeImage2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"textchanged")) {
    if (writing_fields_ || !notification.sender) return;
    for (int i = 0; i < resize_fields::kFieldCount; ++i) {
      if (notification.From(kFieldNames[i])) OnTyped(static_cast<Field>(i));
    }
    return;
  }
  if (notification.Is(L"itemselect") && notification.From(L"recommend")) {
    OnPreset(static_cast<int>(notification.wParam));
    return;
  }
  if (notification.Is(L"click")) {
    if (notification.From(L"ok")) {
      Confirm();
      return;
    }
    if (notification.From(L"cancel") || notification.From(L"cls")) {
      EndDialog(kCancel);
      return;
    }
  }
  CDlgBase::OnNotify(notification);
}
