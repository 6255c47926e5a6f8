#pragma once
// The real viewer as a user meets it: QuellinImg.exe started from the build's program folder with
// a data folder of its own, its main window and the parts of it a user looks at (view, toolbar,
// title), and the things a user does to it that are not keys or clicks (dropping files, starting
// it again, closing it).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace e2e {

inline constexpr wchar_t kMainWindowClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";
inline constexpr int kViewId = 101;
inline constexpr int kToolbarId = 102;
inline constexpr int kCloseButtonId = 1023;
inline constexpr int kTitleLabelId = 1025;
inline constexpr int kMaximizeButtonId = 1026;
inline constexpr wchar_t kEmptyCaption[] = L"Quellin";

class Viewer {
 public:
  // programFolder: where QuellinImg.exe and its language\ and res\ folders are; dataFolder: the
  // folder that holds config.ini (QUELLIN_DATA_DIR for the started process).
  Viewer(std::wstring programFolder, std::wstring dataFolder);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Writes config.ini with the given lines under [app] (for example "toolbar_dock=0").
  bool WriteSettings(const std::vector<std::string>& appKeys) const;
  // The [app] value stored for a key in config.ini, empty when there is none.
  std::wstring StoredSetting(const wchar_t* key) const;
  std::wstring ConfigPath() const { return data_folder_ + L"config.ini"; }

  // Starts the viewer (with the picture when one is given) and waits for its main window.
  bool Start(const std::wstring& picture = L"", DWORD timeoutMs = 20000);
  // Starts one more viewer process with the same data folder; it is not this object's viewer.
  bool StartAnother(Process& process, const std::wstring& picture) const;
  Process& GetProcess() noexcept { return process_; }

  [[nodiscard]] HWND Main() const noexcept { return main_; }
  [[nodiscard]] HWND Child(int id) const { return main_ ? ::GetDlgItem(main_, id) : nullptr; }
  [[nodiscard]] HWND View() const { return Child(kViewId); }
  [[nodiscard]] HWND Toolbar() const { return Child(kToolbarId); }
  // A child's rectangle in the main window's client coordinates.
  [[nodiscard]] RECT ChildRect(int id) const;
  [[nodiscard]] RECT MainClientRect() const;

  [[nodiscard]] std::wstring Caption() const;
  [[nodiscard]] std::wstring TitleText() const;
  // Waits until the caption meets the condition; true when it did in time.
  bool WaitForCaption(const std::function<bool(const std::wstring&)>& condition, DWORD timeoutMs = 10000) const;
  // Waits until the caption starts with the text.
  bool WaitForCaptionStart(const std::wstring& prefix, DWORD timeoutMs = 10000) const;
  // The zoom percentage at the end of the caption ("... 37%"), or -1 when it shows none.
  [[nodiscard]] int CaptionZoom() const;

  // Makes the main window the foreground window so that keys reach it.
  bool Focus() const;
  // The centre of the view on screen, and any point of it from its client origin.
  [[nodiscard]] POINT ViewPoint(int x, int y) const;
  [[nodiscard]] POINT ViewCentre() const;
  // The centre of a child control on screen.
  [[nodiscard]] POINT ChildCentre(int id) const;

  // Drops files on the main window from outside, as a file manager does.
  bool DropFiles(const std::vector<std::wstring>& paths, POINT clientPoint = POINT{200, 200});
  // True when the viewer answers a message round trip within the time.
  bool Responds(DWORD timeoutMs = 5000) const;
  // Processor time the viewer process has used so far, in milliseconds.
  [[nodiscard]] double CpuTimeMs() const;
  // Waits until the viewer has used (almost) no processor time for quietMs in a row, that is
  // until its background work (preloading, decoding) is done; false when that did not happen in
  // time.
  bool WaitUntilQuiet(DWORD quietMs = 600, DWORD timeoutMs = 60000) const;
  // The viewer's working set in bytes (0 when it cannot be read).
  [[nodiscard]] size_t WorkingSetBytes() const;
  // The folder under which a viewer under Wine keeps its trash (XDG_DATA_HOME\Trash), or empty on
  // Windows, where deleted files go to the recycle bin.
  [[nodiscard]] std::wstring TrashFolder() const { return trash_folder_; }

  // The process's exit code, or -1 when it did not end in time.
  int WaitForExit(DWORD timeoutMs = 10000) { return process_.WaitForExit(timeoutMs); }

 private:
  std::wstring program_folder_;
  std::wstring data_folder_;
  Process process_;
  HWND main_ = nullptr;
  std::vector<void*> dropped_;  // blocks written into the viewer's memory
  std::wstring trash_folder_;
};

// Whether this program runs under Wine.
bool IsWine();
// The host (Unix) path of a Windows path when running under Wine; empty on Windows.
std::string HostPath(const std::wstring& windowsPath);

// A folder of screenshots people can look at after a run: %QL_E2E_SHOTS% when set, otherwise
// e2e-shots\ beside the build's program folder. Created on first use.
std::wstring ScreenshotFolder();
// Saves the screen over the window's rectangle as <folder>\<name>.png; true when written.
bool SaveScreenshot(HWND window, const std::wstring& name);

}  // namespace e2e
