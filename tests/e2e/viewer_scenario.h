#pragma once
// What every end-to-end scenario of the viewer's window shares: a data folder and a picture
// folder of its own, the viewer started with settings, where a picture should appear in the view,
// waiting for the screen to show it, and a screenshot of the scenario for people to look at.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/com.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/pictures.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/viewer.h"
#include "tests/support/test_support.h"

namespace e2e_scenario {

inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 160, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kCanvas = RGB(255, 255, 255);  // canvas_back_color's default
// Lossy formats and scaling blur edges and shift colours a little.
inline constexpr int kTolerance = 12;
// Generous limits: the machine is shared and Wine is slower than Windows. They only bound the
// wait; a passing step ends as soon as its condition holds.
inline constexpr DWORD kShowMs = 15000;
inline constexpr DWORD kExitMs = 15000;

using Settings = std::map<std::string, std::string>;

// Whether two rectangles agree within a pixel on every edge.
bool SameBox(const RECT& a, const RECT& b, int tolerance = 1);
// The place of a picture of this size fitted (never enlarged) and centred in an area.
RECT FittedBox(const RECT& area, SIZE picture);
// The zoom the caption shows for that fit, in whole percent.
int FitPercent(const RECT& area, SIZE picture);

class ViewerScenario : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the viewer with the scenario's settings: the defaults below, changed by `changes`
  // (toolbar at the bottom, wheel question answered with "wheel steps", no delete question).
  e2e::Viewer& StartViewer(const Settings& changes = {}, const std::wstring& picture = L"");
  e2e::Viewer& Viewer() { return *viewer_; }
  std::wstring Picture(const std::wstring& name) const { return pictures_.File(name); }
  bool WritePicture(const std::wstring& name, e2e::PictureFormat format, SIZE size, COLORREF colour) const;

  // Where the picture is drawn inside the view (view client coordinates): the view less the
  // margins that the layout with the toolbar on top keeps.
  RECT ImageArea() const;
  e2e::Capture ViewCapture() const { return e2e::Capture::Client(viewer_->View()); }
  // Waits until the view shows the colour exactly over the box; false with the last box seen in
  // `seen` otherwise.
  bool WaitForBox(COLORREF colour, const RECT& box, std::optional<RECT>* seen = nullptr, DWORD timeoutMs = kShowMs);
  // Waits until the view shows the picture of that size and colour fitted and centred.
  bool WaitForFittedPicture(COLORREF colour, SIZE picture, DWORD timeoutMs = kShowMs);
  // Waits until the caption names the file with its place in the folder ("name ... [i/n]").
  bool WaitForFile(const std::wstring& captionStart, int index, int count, DWORD timeoutMs = kShowMs);

  // Presses keys with an effect that can be seen (Enter for full screen, Escape back) after the
  // input under test: input is handled in order, so once they have acted, so has everything
  // before them.
  void InputFence();
  // Whether the program folder has a picture of the skin (it arrives with the art).
  static bool HasSkinPicture(const wchar_t* name);

  // Saves the screenshot of the scenario (named after the test, with a suffix for extra ones).
  void Shot(const std::wstring& suffix = L"");

  FCAutoInitializeCOM com_;
  testing_support::TempDir data_;
  testing_support::TempDir pictures_;
  Settings settings_;
  std::unique_ptr<e2e::Viewer> viewer_;
  bool shot_ = false;
};

}  // namespace e2e_scenario
