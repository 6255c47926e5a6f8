// The viewer's window as a user meets it when looking at pictures: opening one, the welcome screen,
// stepping through a folder, a damaged file on the way, zooming, the wheel, turning a picture.
// Every step is real input to the real QuellinImg.exe, and every check reads the caption, the
// screen or the files on disk.
#include "tests/e2e/viewer_scenario.h"

namespace e2e_scenario {
namespace {

using e2e::PictureFormat;

// ---------------------------------------------------------------------------------------------
// Opening a picture: it is on screen in its own colours, fitted and centred, and the caption
// names it with its size, its place in the folder and the zoom.

enum class Kind { kSolid, kDeep, kTranslucent };

struct OpenCase {
  const char* label;
  const wchar_t* file;
  Kind kind;
  PictureFormat format;
  SIZE size;
  COLORREF written;
  COLORREF shown;               // over the white canvas
  const wchar_t* captionStart;  // up to the zoom
};

// Blue at half opacity over white.
constexpr COLORREF kHalfBlue = RGB(127, 127, 255);

const OpenCase kOpenCases[] = {
    {"Jpeg", L"red.jpg", Kind::kSolid, PictureFormat::kJpeg, {800, 600}, kRed, kRed,
     L"red.jpg ( 800x600 ) - [1/1] "},
    {"LargePngLongName", L"wide blue landscape.png", Kind::kSolid, PictureFormat::kPng, {1600, 1200}, kBlue, kBlue,
     L"wide blue ...png ( 1600x1200 , 1M pixels ) - [1/1] "},
    {"Gif", L"green.gif", Kind::kSolid, PictureFormat::kGif, {640, 480}, kGreen, kGreen,
     L"green.gif ( 640x480 ) - [1/1] "},
    {"TallBmp", L"tall.bmp", Kind::kSolid, PictureFormat::kBmp, {300, 900}, kRed, kRed,
     L"tall.bmp ( 300x900 ) - [1/1] "},
    {"SixteenBitPng", L"deep.png", Kind::kDeep, PictureFormat::kPng, {500, 400}, kGreen, kGreen,
     L"deep.png ( 500x400 ) - [1/1] "},
    {"PngWithAlpha", L"glass.png", Kind::kTranslucent, PictureFormat::kPng, {400, 300}, kBlue, kHalfBlue,
     L"glass.png ( 400x300 ) - [1/1] "},
};

class OpenAPicture : public ViewerScenario, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenAPicture, ShowsItFittedAndCentredAndNamesIt) {
  const OpenCase& c = GetParam();
  const std::wstring path = Picture(c.file);
  const UINT w = static_cast<UINT>(c.size.cx), h = static_cast<UINT>(c.size.cy);
  switch (c.kind) {
    case Kind::kSolid: ASSERT_TRUE(WritePicture(c.file, c.format, c.size, c.written)); break;
    case Kind::kDeep: ASSERT_TRUE(e2e::WriteDeepPng(path, w, h, c.written)); break;
    case Kind::kTranslucent: ASSERT_TRUE(e2e::WriteTranslucentPng(path, w, h, c.written, 128)); break;
  }
  e2e::Viewer& viewer = StartViewer({}, path);
  ASSERT_NE(viewer.Main(), nullptr);

  const std::wstring expected = c.captionStart + std::to_wstring(FitPercent(ImageArea(), c.size)) + L"%";
  EXPECT_TRUE(viewer.WaitForCaption([&](const std::wstring& caption) { return caption == expected; }, kShowMs))
      << "caption " << testing::PrintToString(viewer.Caption()) << ", expected " << testing::PrintToString(expected);
  EXPECT_EQ(viewer.TitleText(), viewer.Caption()) << "the title strip shows what the caption says";
  WaitForFittedPicture(c.shown, c.size);
  Shot();
}

INSTANTIATE_TEST_SUITE_P(Pictures, OpenAPicture, ::testing::ValuesIn(kOpenCases),
                         [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------------------------
// Without a picture the viewer shows its welcome screen; the wheel and the zoom keys do nothing
// there.

TEST_F(ViewerScenario, WithoutAPictureTheWelcomeScreenIgnoresTheWheel) {
  e2e::Viewer& viewer = StartViewer();
  ASSERT_NE(viewer.Main(), nullptr);
  EXPECT_EQ(viewer.Caption(), e2e::kEmptyCaption);
  // The title strip starts with its template's text and is cleared once the start-up is handled.
  EXPECT_TRUE(e2e::WaitUntil([&] { return viewer.TitleText().empty(); }, kShowMs))
      << testing::PrintToString(viewer.TitleText());
  // Away from the welcome screen's open button, whose picture changes under the pointer.
  const POINT corner = viewer.ViewPoint(20, 20);
  ASSERT_TRUE(e2e::MoveMouse(corner));
  ASSERT_TRUE(viewer.WaitUntilQuiet(300, kShowMs));
  const e2e::Capture before = ViewCapture();

  e2e::Wheel(corner, 1);
  e2e::Wheel(corner, -1);
  e2e::Wheel(corner, 1, {VK_CONTROL});
  e2e::TypeCharacter(L'+');
  e2e::PressKey(VK_RIGHT);
  InputFence();

  EXPECT_EQ(viewer.Caption(), e2e::kEmptyCaption);
  const e2e::Capture after = ViewCapture();
  ASSERT_EQ(after.Width(), before.Width());
  EXPECT_TRUE(e2e::WaitUntil([&] { return ViewCapture().CountDifferent(before, before.Bounds(), 0) == 0; }, kShowMs))
      << "the welcome screen changed under the wheel";
  Shot();
}

// ---------------------------------------------------------------------------------------------
// Stepping through a folder: Right and Space go forward and Left back in the order people read
// numbers ("img2" before "img10"); a damaged file shows its name and a message, and stepping
// goes on past it; at the end of the folder Right stays. Once the folder is listed, the arrow
// at the right edge of the view fades in under the pointer.

TEST_F(ViewerScenario, SteppingGoesInNumberOrderAndPastADamagedFile) {
  const SIZE size{400, 300};
  ASSERT_TRUE(WritePicture(L"img1.png", PictureFormat::kPng, size, kRed));
  ASSERT_TRUE(WritePicture(L"img2.png", PictureFormat::kPng, size, kGreen));
  ASSERT_TRUE(WritePicture(L"img10.png", PictureFormat::kPng, size, kBlue));
  ASSERT_TRUE(WritePicture(L"whole.jpg", PictureFormat::kJpeg, size, kRed));
  ASSERT_TRUE(e2e::WriteTruncatedCopy(Picture(L"whole.jpg"), Picture(L"img3.jpg"), 300));
  ASSERT_TRUE(::DeleteFileW(Picture(L"whole.jpg").c_str()));
  ASSERT_TRUE(testing_support::WriteText(Picture(L"notes.txt"), "not a picture"));

  e2e::Viewer& viewer = StartViewer({}, Picture(L"img1.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFile(L"img1.png ( 400x300 )", 1, 4));
  WaitForFittedPicture(kRed, size);

  e2e::PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitForFile(L"img2.png ( 400x300 )", 2, 4));
  WaitForFittedPicture(kGreen, size);

  // The damaged file: no size in the caption, its name and a message in the view, no picture.
  e2e::PressKey(VK_RIGHT);
  EXPECT_TRUE(viewer.WaitForCaption([](const std::wstring& c) { return c == L"img3.jpg - [3/4]"; }, kShowMs))
      << testing::PrintToString(viewer.Caption());
  const RECT view = ViewCapture().Bounds();
  std::optional<RECT> text;
  EXPECT_TRUE(e2e::WaitUntil(
      [&] {
        const e2e::Capture now = ViewCapture();
        text = now.BoxOfAllBut(kCanvas, kTolerance, now.Bounds());
        return text && now.Share(now.Bounds(), kGreen, kTolerance) == 0;
      },
      kShowMs))
      << "the view shows no message for the damaged file";
  if (text) {
    // Two centred lines of text, far smaller than a picture.
    EXPECT_LT(std::abs((text->top + text->bottom) / 2 - view.bottom / 2), 40) << e2e::Describe(*text);
    EXPECT_LT(std::abs((text->left + text->right) / 2 - view.right / 2), 40) << e2e::Describe(*text);
    EXPECT_LT(text->bottom - text->top, 80) << e2e::Describe(*text);
  }
  Shot(L"damaged");

  e2e::PressKey(VK_SPACE);
  ASSERT_TRUE(WaitForFile(L"img10.png ( 400x300 )", 4, 4));
  WaitForFittedPicture(kBlue, size);

  // Right at the end stays (the folder does not loop by default): the Left that follows lands on
  // the damaged file, not on the first picture's neighbour.
  e2e::PressKey(VK_RIGHT);
  e2e::PressKey(VK_LEFT);
  EXPECT_TRUE(viewer.WaitForCaption([](const std::wstring& c) { return c == L"img3.jpg - [3/4]"; }, kShowMs))
      << testing::PrintToString(viewer.Caption());
  e2e::PressKey(VK_LEFT);
  ASSERT_TRUE(WaitForFile(L"img2.png ( 400x300 )", 2, 4));
  WaitForFittedPicture(kGreen, size);

  // The arrow at the right edge, drawn from the skin's picture.
  if (!HasSkinPicture(L"turn_page_indicator.png")) {
    GTEST_SKIP() << "the program folder has no res\\turn_page_indicator.png yet: the arrows have no picture to draw";
  }
  RECT client{};
  ::GetClientRect(viewer.View(), &client);
  const RECT edge{client.right - 80, 0, client.right, client.bottom};
  ASSERT_TRUE(e2e::MoveMouse(viewer.ViewCentre()));
  const e2e::Capture plain = ViewCapture();
  ASSERT_TRUE(e2e::MoveMouse(viewer.ViewPoint(client.right - 10, client.bottom / 2)));
  EXPECT_TRUE(e2e::WaitUntil([&] { return ViewCapture().CountDifferent(plain, edge, kTolerance) > 100; }, kShowMs))
      << "no arrow appeared at the right edge under the pointer";
  Shot(L"arrow");
  e2e::Click(viewer.ViewPoint(client.right - 10, client.bottom / 2));
  EXPECT_TRUE(viewer.WaitForCaption([](const std::wstring& c) { return c == L"img3.jpg - [3/4]"; }, kShowMs))
      << "a click on the arrow did not step: " << testing::PrintToString(viewer.Caption());
}

// ---------------------------------------------------------------------------------------------
// Zooming with the keys and the double click; the caption's percentage and the screen follow.

TEST_F(ViewerScenario, ZoomKeysAndDoubleClickZoomAroundTheFit) {
  const SIZE size{1600, 1200};
  ASSERT_TRUE(WritePicture(L"big.png", PictureFormat::kPng, size, kRed));
  e2e::Viewer& viewer = StartViewer({}, Picture(L"big.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFile(L"big.png", 1, 1));
  WaitForFittedPicture(kRed, size);
  const RECT area = ImageArea();
  const int fit = FitPercent(area, size);
  ASSERT_EQ(viewer.CaptionZoom(), fit);
  ASSERT_LT(fit, 100) << "the picture must be larger than the view for this scenario";

  const auto waitZoom = [&](const std::function<bool(int)>& good) {
    return viewer.WaitForCaption([&](const std::wstring&) { return good(viewer.CaptionZoom()); }, kShowMs);
  };
  e2e::TypeCharacter(L'+');
  EXPECT_TRUE(waitZoom([&](int z) { return z > fit && z <= fit * 11 / 10 + 1; })) << viewer.CaptionZoom();
  const int zoomedIn = viewer.CaptionZoom();
  e2e::TypeCharacter(L'-');
  EXPECT_TRUE(waitZoom([&](int z) { return z < zoomedIn && z >= fit - 1; })) << viewer.CaptionZoom();

  // "1" and "/" toggle between actual size and the fit; somewhere between, they go to the fit.
  e2e::TypeCharacter(L'1');
  EXPECT_TRUE(waitZoom([&](int z) { return z == fit; })) << viewer.CaptionZoom();
  e2e::TypeCharacter(L'1');
  EXPECT_TRUE(waitZoom([&](int z) { return z == 100; })) << viewer.CaptionZoom();
  EXPECT_TRUE(e2e::WaitUntil([&] { return ViewCapture().Share(area, kRed, kTolerance) > 0.99; }, kShowMs))
      << "at actual size the picture fills the view";
  Shot(L"actual");
  e2e::TypeCharacter(L'/');
  EXPECT_TRUE(waitZoom([&](int z) { return z == fit; })) << viewer.CaptionZoom();
  WaitForFittedPicture(kRed, size);

  // A double click goes to twice the fit, the next one back.
  e2e::Click(viewer.ViewCentre(), 2);
  EXPECT_TRUE(waitZoom([&](int z) { return std::abs(z - 2 * fit) <= 1; })) << viewer.CaptionZoom();
  EXPECT_TRUE(e2e::WaitUntil([&] { return ViewCapture().Share(area, kRed, kTolerance) > 0.99; }, kShowMs))
      << "at twice the fit the picture fills the view";
  Shot(L"double");
  e2e::Click(viewer.ViewCentre(), 2);
  EXPECT_TRUE(waitZoom([&](int z) { return z == fit; })) << viewer.CaptionZoom();
  WaitForFittedPicture(kRed, size);
}

// ---------------------------------------------------------------------------------------------
// The wheel: with "mouse_wheel_action=0" it steps and Ctrl+wheel zooms; with 1 the reverse.

struct WheelCase {
  const char* label;
  int action;
  bool controlZooms;
};

class WheelSetting : public ViewerScenario, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(WheelSetting, OneWayZoomsTheOtherSteps) {
  const WheelCase& c = GetParam();
  const SIZE size{1600, 1200};
  ASSERT_TRUE(WritePicture(L"a.png", PictureFormat::kPng, size, kRed));
  ASSERT_TRUE(WritePicture(L"b.png", PictureFormat::kPng, size, kBlue));
  e2e::Viewer& viewer = StartViewer({{"mouse_wheel_action", std::to_string(c.action)}}, Picture(L"a.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFile(L"a.png", 1, 2));
  WaitForFittedPicture(kRed, size);
  const int fit = viewer.CaptionZoom();

  const POINT centre = viewer.ViewCentre();
  const auto wheel = [&](int notches, bool control) {
    if (control) {
      e2e::Wheel(centre, notches, {VK_CONTROL});
    } else {
      e2e::Wheel(centre, notches);
    }
  };
  wheel(1, c.controlZooms);
  EXPECT_TRUE(viewer.WaitForCaption([&](const std::wstring&) { return viewer.CaptionZoom() > fit; }, kShowMs))
      << testing::PrintToString(viewer.Caption());
  EXPECT_EQ(viewer.Caption().rfind(L"a.png", 0), 0u) << "the zooming wheel stepped";

  wheel(-1, !c.controlZooms);
  ASSERT_TRUE(WaitForFile(L"b.png", 2, 2));
  WaitForFittedPicture(kBlue, size);
  EXPECT_EQ(viewer.CaptionZoom(), fit);
  Shot();
}

const WheelCase kWheelCases[] = {{"WheelSteps", 0, true}, {"WheelZooms", 1, false}};
INSTANTIATE_TEST_SUITE_P(Settings, WheelSetting, ::testing::ValuesIn(kWheelCases),
                         [](const ::testing::TestParamInfo<WheelCase>& info) { return std::string(info.param.label); });

// ---------------------------------------------------------------------------------------------
// Turning: Ctrl+R and Ctrl+L turn the picture on screen and, with rotate_auto_save=1, the file.

struct RotateCase {
  const char* label;
  const wchar_t* file;
  PictureFormat format;
};

class RotatePicture : public ViewerScenario, public ::testing::WithParamInterface<RotateCase> {};

TEST_P(RotatePicture, TurnsOnScreenAndOnDisk) {
  const RotateCase& c = GetParam();
  const SIZE landscape{600, 300};
  const SIZE portrait{300, 600};
  ASSERT_TRUE(WritePicture(c.file, c.format, landscape, kRed));
  const std::wstring path = Picture(c.file);
  e2e::Viewer& viewer = StartViewer({{"rotate_auto_save", "1"}}, path);
  ASSERT_NE(viewer.Main(), nullptr);
  const std::wstring name(c.file);
  ASSERT_TRUE(WaitForFile(name + L" ( 600x300 )", 1, 1));
  WaitForFittedPicture(kRed, landscape);

  const auto shownOnDisk = [&](SIZE expected) {
    return e2e::WaitUntil(
        [&] {
          UINT w = 0, h = 0;
          return e2e::ReadShownSize(path, w, h) && w == static_cast<UINT>(expected.cx) &&
                 h == static_cast<UINT>(expected.cy);
        },
        kShowMs);
  };
  e2e::PressKey('R', {VK_CONTROL});
  EXPECT_TRUE(WaitForFile(name + L" ( 300x600 )", 1, 1));
  WaitForFittedPicture(kRed, portrait);
  EXPECT_TRUE(shownOnDisk(portrait)) << "the file on disk was not turned";
  Shot();

  e2e::PressKey('L', {VK_CONTROL});
  EXPECT_TRUE(WaitForFile(name + L" ( 600x300 )", 1, 1));
  WaitForFittedPicture(kRed, landscape);
  EXPECT_TRUE(shownOnDisk(landscape)) << "the file on disk was not turned back";
}

const RotateCase kRotateCases[] = {{"Png", L"turn.png", PictureFormat::kPng},
                                   {"Jpeg", L"turn.jpg", PictureFormat::kJpeg}};
INSTANTIATE_TEST_SUITE_P(Formats, RotatePicture, ::testing::ValuesIn(kRotateCases),
                         [](const ::testing::TestParamInfo<RotateCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace e2e_scenario
