#include "tests/e2e/viewer_scenario.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/paths.h"

namespace e2e_scenario {

bool SameBox(const RECT& a, const RECT& b, int tolerance) {
  return std::abs(a.left - b.left) <= tolerance && std::abs(a.top - b.top) <= tolerance &&
         std::abs(a.right - b.right) <= tolerance && std::abs(a.bottom - b.bottom) <= tolerance;
}

namespace {

double FitRatio(const RECT& area, SIZE picture) {
  const double w = static_cast<double>(area.right - area.left) / picture.cx;
  const double h = static_cast<double>(area.bottom - area.top) / picture.cy;
  return std::min({w, h, 1.0});
}

}  // namespace

RECT FittedBox(const RECT& area, SIZE picture) {
  const double fit = FitRatio(area, picture);
  const int w = static_cast<int>(std::floor(picture.cx * fit));
  const int h = static_cast<int>(std::floor(picture.cy * fit));
  const int left = area.left + (area.right - area.left - w) / 2;
  const int top = area.top + (area.bottom - area.top - h) / 2;
  return RECT{left, top, left + w, top + h};
}

int FitPercent(const RECT& area, SIZE picture) {
  return static_cast<int>(FitRatio(area, picture) * 100.0 + 1e-4);
}

void ViewerScenario::SetUp() {
  ASSERT_TRUE(SUCCEEDED(com_.Result()));
  ASSERT_FALSE(data_.Path().empty());
  ASSERT_FALSE(pictures_.Path().empty());
  settings_ = {{"toolbar_dock", "1"},         {"view_margin", "24"},  {"show_wheel_favorite", "0"},
               {"mouse_wheel_action", "0"},   {"show_delete_confirm", "0"}, {"preload_enable", "1"},
               {"only_one_instance", "0"},    {"rotate_auto_save", "0"},    {"view_folder_loop", "0"}};
}

void ViewerScenario::TearDown() {
  if (!shot_ && viewer_ && viewer_->GetProcess().IsRunning()) Shot();
  viewer_.reset();
}

e2e::Viewer& ViewerScenario::StartViewer(const Settings& changes, const std::wstring& picture) {
  for (const auto& [key, value] : changes) settings_[key] = value;
  viewer_ = std::make_unique<e2e::Viewer>(testing_support::BinDir(), data_.Path());
  std::vector<std::string> lines;
  for (const auto& [key, value] : settings_) lines.push_back(key + "=" + value);
  EXPECT_TRUE(viewer_->WriteSettings(lines));
  EXPECT_TRUE(viewer_->Start(picture)) << "no main window appeared";
  if (viewer_->Main()) {
    EXPECT_TRUE(viewer_->Focus()) << "the viewer did not become the foreground window";
  }
  return *viewer_;
}

bool ViewerScenario::WritePicture(const std::wstring& name, e2e::PictureFormat format, SIZE size,
                                  COLORREF colour) const {
  return e2e::WriteSolidPicture(Picture(name), format, static_cast<UINT>(size.cx), static_cast<UINT>(size.cy), colour);
}

RECT ViewerScenario::ImageArea() const {
  RECT area{};
  ::GetClientRect(viewer_->View(), &area);
  const bool toolbarOnTop = viewer_->ChildRect(e2e::kToolbarId).top < viewer_->ChildRect(e2e::kViewId).top;
  if (toolbarOnTop) {
    const int margin = std::atoi(settings_.at("view_margin").c_str());
    area.left += margin;
    area.right -= margin;
    area.bottom -= margin;
  }
  return area;
}

bool ViewerScenario::WaitForBox(COLORREF colour, const RECT& box, std::optional<RECT>* seen, DWORD timeoutMs) {
  std::optional<RECT> last;
  const bool ok = e2e::WaitUntil(
      [&] {
        const e2e::Capture view = ViewCapture();
        last = view.BoxOf(colour, kTolerance, view.Bounds());
        // The box must also be filled: a frame of stray pixels is not the picture.
        return last && SameBox(*last, box) && view.Share(box, colour, kTolerance) > 0.98;
      },
      timeoutMs);
  if (seen) *seen = last;
  return ok;
}

bool ViewerScenario::WaitForFittedPicture(COLORREF colour, SIZE picture, DWORD timeoutMs) {
  const RECT expected = FittedBox(ImageArea(), picture);
  std::optional<RECT> seen;
  const bool ok = WaitForBox(colour, expected, &seen, timeoutMs);
  EXPECT_TRUE(ok) << "expected the picture at " << testing::PrintToString(e2e::Describe(expected)) << ", saw "
                  << testing::PrintToString(seen ? e2e::Describe(*seen) : L"none");
  return ok;
}

bool ViewerScenario::WaitForFile(const std::wstring& captionStart, int index, int count, DWORD timeoutMs) {
  const std::wstring place = L"[" + std::to_wstring(index) + L"/" + std::to_wstring(count) + L"]";
  const bool ok = viewer_->WaitForCaption(
      [&](const std::wstring& caption) {
        return caption.rfind(captionStart, 0) == 0 && caption.find(place) != std::wstring::npos;
      },
      timeoutMs);
  EXPECT_TRUE(ok) << "expected a caption starting " << testing::PrintToString(captionStart) << " with "
                  << testing::PrintToString(place) << ", saw " << testing::PrintToString(viewer_->Caption());
  return ok;
}

void ViewerScenario::InputFence() {
  const HWND main = viewer_->Main();
  RECT before{};
  ::GetWindowRect(main, &before);
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  const auto covers = [&](const RECT& target) {
    RECT now{};
    ::GetWindowRect(main, &now);
    return ::EqualRect(&now, &target) != FALSE;
  };
  e2e::PressKey(VK_RETURN);
  ASSERT_TRUE(e2e::WaitUntil([&] { return covers(screen); }, kShowMs)) << "Enter did not reach the viewer";
  e2e::PressKey(VK_ESCAPE);
  ASSERT_TRUE(e2e::WaitUntil([&] { return covers(before); }, kShowMs)) << "Escape did not leave full screen";
  // The window's rectangle changes before the viewer has moved its children to it.
  viewer_->WaitUntilQuiet(200, kShowMs);
}

bool ViewerScenario::HasSkinPicture(const wchar_t* name) {
  return base::FileExists(testing_support::BinDir() + L"res\\" + name);
}

void ViewerScenario::Shot(const std::wstring& suffix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  // Parameterised names carry slashes.
  std::replace(name.begin(), name.end(), '/', '_');
  std::wstring file(name.begin(), name.end());
  if (!suffix.empty()) file += L"-" + suffix;
  if (viewer_ && e2e::SaveScreenshot(viewer_->Main(), file)) shot_ = true;
}

}  // namespace e2e_scenario
