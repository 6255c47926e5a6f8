#include "view/title_info.h"

#include <shlwapi.h>

#include "appconfig/app_config.h"
#include "appconfig/language.h"

namespace {

BOOL CALLBACK FindMainWindowProc(HWND window, LPARAM param) noexcept {
  wchar_t className[128] = {};
  if (::GetClassNameW(window, className, ARRAYSIZE(className)) > 0 &&
      ::lstrcmpW(className, kMainWindowClass) == 0) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

void SetTextIfChanged(HWND window, const wchar_t* text) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring current(static_cast<size_t>(length) + 1, L'\0');
  current.resize(static_cast<size_t>(::GetWindowTextW(window, current.data(), length + 1)));
  if (current != text) ::SetWindowTextW(window, text);
}

// The first window of the calling thread that has the main window's class.
HWND FindThreadMainWindow() {
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindMainWindowProc, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The width of the text in the label's own font; 0 when it cannot be measured.
int MeasureLabelText(HWND label, const std::wstring& text) {
  if (text.empty()) return 0;
  HDC dc = ::GetDC(label);
  if (dc == nullptr) return 0;
  const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  const HGDIOBJ oldFont = font != nullptr ? ::SelectObject(dc, font) : nullptr;
  SIZE size{};
  const BOOL measured = ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (oldFont != nullptr) ::SelectObject(dc, oldFont);
  ::ReleaseDC(label, dc);
  return measured ? size.cx : 0;
}

}  // namespace

title_compose::TitleTexts LoadTitleTexts() {
  title_compose::TitleTexts texts;
  texts.unit10 = GetLanguageStringById(L"TITLE", 10);
  texts.unit11 = GetLanguageStringById(L"TITLE", 11);
  texts.unit12 = GetLanguageStringById(L"TITLE", 12);
  texts.prefix13 = GetLanguageStringById(L"TITLE", 13);
  texts.year30 = GetLanguageStringById(L"TITLE", 30);
  texts.month31 = GetLanguageStringById(L"TITLE", 31);
  texts.day32 = GetLanguageStringById(L"TITLE", 32);
  texts.position40 = GetLanguageStringById(L"TITLE", 40);
  texts.position41 = GetLanguageStringById(L"TITLE", 41);
  return texts;
}

CTitleInfo::CTitleInfo() : CTitleInfo(AppConfig::Get()) {}

CTitleInfo& CTitleInfo::Get() {
  static CTitleInfo instance;
  return instance;
}

CTitleInfo::CTitleInfo(const AppConfig& config) : config_(config) {}

void CTitleInfo::SetPicture(const std::wstring& path, const std::wstring& captureDate, int width, int height) {
  facts_.file_name = path.empty() ? std::wstring() : std::wstring(::PathFindFileNameW(path.c_str()));
  facts_.width = width;
  facts_.height = height;
  facts_.position_text.clear();
  facts_.zoom_percent = 100;
  facts_.capture_date =
      captureDate.empty() ? std::wstring()
                          : title_compose::CaptureDateText(captureDate, config_.IsCjkLanguage(), LoadTitleTexts());
}

void CTitleInfo::SetSize(int width, int height) {
  facts_.width = width;
  facts_.height = height;
  Refresh();
}

void CTitleInfo::SetZoom(float zoom) {
  facts_.zoom_percent = title_compose::ZoomPercent(zoom);
  Refresh();
}

void CTitleInfo::SetPosition(int index, int count) {
  facts_.position_text = title_compose::PositionText(index, count, LoadTitleTexts());
}

std::wstring CTitleInfo::ComposeText() const {
  return title_compose::ComposeTitle(facts_, config_.IsChineseLanguage(), LoadTitleTexts());
}

void CTitleInfo::Refresh() const {
  const HWND mainWindow = FindThreadMainWindow();
  if (mainWindow == nullptr) return;
  const HWND label = ::GetDlgItem(mainWindow, kTitleLabelId);
  if (label == nullptr) return;
  const std::wstring text = ComposeText();
  const int width = MeasureLabelText(label, text);
  RECT labelRect{};
  ::GetWindowRect(label, &labelRect);
  if (width != 0 && width != labelRect.right - labelRect.left) {
    ::SendMessageW(mainWindow, WM_TITLE_WIDTH, static_cast<WPARAM>(width), kTitleLabelHeight);
  }
  // Several parts refresh the title as a picture opens; only a change is written.
  SetTextIfChanged(label, text.c_str());
  SetTextIfChanged(mainWindow, text.empty() ? kEmptyCaption : text.c_str());
}
