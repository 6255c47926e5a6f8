#pragma once
// The title state: what the main window's title label and caption show about the current picture.
// The parts that know each fact set it (the current image, the folder list, the view drawing);
// Refresh writes the composed text into the main window of the calling thread. User-interface
// thread only.
#include <windows.h>

#include <string>

#include "view/title_compose.h"

class AppConfig;

// Sent to the main window when the title label needs another size. wParam: text width,
// lParam: label height (always kTitleLabelHeight).
inline constexpr UINT WM_TITLE_WIDTH = 0x5220;

// The registered class of the main window; the title finds its window by it.
inline constexpr wchar_t kMainWindowClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";

class CTitleInfo {
 public:
  static constexpr int kTitleLabelId = 1025;
  static constexpr int kTitleLabelHeight = 29;
  static constexpr wchar_t kEmptyCaption[] = L"Quellin";

  // Follows the language group of the process's settings.
  CTitleInfo();
  // Follows the language group of the given settings (which must outlive the object).
  explicit CTitleInfo(const AppConfig& config);
  virtual ~CTitleInfo() = default;
  // The process's title state, made on first use.
  static CTitleInfo& Get();
  CTitleInfo(const CTitleInfo&) = delete;
  CTitleInfo& operator=(const CTitleInfo&) = delete;

  // A newly opened picture: stores the name part of the path, the size and the capture date
  // (an empty date when the picture has none), clears the place in the folder and resets the zoom
  // to 100%. Does not refresh; the size or zoom that follows does.
  void SetPicture(const std::wstring& path, const std::wstring& captureDate, int width, int height);
  // Refreshes at once.
  void SetSize(int width, int height);
  // Refreshes at once.
  void SetZoom(float zoom);
  // Only stored; the next refresh shows it.
  void SetPosition(int index, int count);

  // Composes the title and writes it to the label (control 1025) and caption of this thread's
  // main window; asks the window to resize the label when the text needs another width. Does
  // nothing when there is no such window or label.
  void Refresh() const;

  // The text Refresh would show, in the current language.
  std::wstring ComposeText() const;
  const title_compose::TitleFacts& Facts() const { return facts_; }
  const std::wstring& FileName() const { return facts_.file_name; }

 private:
  const AppConfig& config_;
  title_compose::TitleFacts facts_;
};

// The language texts of section "TITLE" of the current language file.
title_compose::TitleTexts LoadTitleTexts();
