// Adjusting and resizing the picture on screen in the real viewer: the adjustment pop-up changes
// the pixels on screen, keeps them changed from picture to picture and gives them back; dropping it
// changes nothing, and a late message of a pop-up already gone cannot close the next one; the
// resize dialog writes a smaller copy under a new name and over the open picture, which the viewer
// then shows.
#include <algorithm>
#include <iterator>
#include <vector>

#include "base/paths.h"
#include "base/strings.h"
#include "tests/e2e/viewer_scenario.h"

namespace e2e_scenario {
namespace {

using e2e::PictureFormat;

constexpr UINT kAdjustClosed = 0x81FD;
constexpr COLORREF kGrey = RGB(100, 100, 100);
constexpr COLORREF kBrighterGrey = RGB(120, 120, 120);
constexpr COLORREF kSlate = RGB(60, 90, 120);
constexpr COLORREF kBrighterSlate = RGB(80, 110, 140);
// The pop-up's presets lie in a row under its 30-pixel title: brighter, colourful, sharper.
constexpr int kPopupTitle = 30;

struct WindowSearch {
  DWORD process;
  const wchar_t* window_class;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) noexcept {
  auto& search = *reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == search.process && ::IsWindowVisible(window) && e2e::ClassName(window) == search.window_class) {
    search.found.push_back(window);
  }
  return TRUE;
}

// The visible top-level windows of a class that a process shows.
std::vector<HWND> VisibleWindows(DWORD process, const wchar_t* windowClass) {
  WindowSearch search{process, windowClass, {}};
  ::EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForNewDialog(DWORD process, const std::vector<HWND>& known) {
  HWND found = nullptr;
  e2e::WaitUntil(
      [&] {
        for (HWND dialog : VisibleWindows(process, L"#32770")) {
          if (std::find(known.begin(), known.end(), dialog) == known.end()) found = dialog;
        }
        return found != nullptr;
      },
      20000);
  return found;
}

bool WaitUntilHidden(HWND window) {
  return e2e::WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }, kShowMs);
}

// Whether the pop-up is drawn on screen: its grey hairline frame around a mostly white inside.
bool WaitUntilDrawn(HWND popup) {
  return e2e::WaitUntil(
      [&] {
        RECT r{};
        ::GetWindowRect(popup, &r);
        const e2e::Capture shown = e2e::Capture::Screen(r);
        const RECT inside{1, 1, shown.Width() - 1, shown.Height() - 1};
        return shown.IsValid() && e2e::Near(shown.At(0, 0), RGB(0xC8, 0xCC, 0xD4), 8) &&
               shown.Share(inside, RGB(255, 255, 255), 4) > 0.6;
      },
      kShowMs);
}

// The centre of a preset of the pop-up on screen (0 brighter, 1 colourful, 2 sharper).
POINT PresetPoint(HWND popup, int index) {
  RECT r{};
  ::GetWindowRect(popup, &r);
  const int width = r.right - r.left;
  return POINT{r.left + width * (2 * index + 1) / 6, r.top + kPopupTitle + (r.bottom - r.top - kPopupTitle) / 2};
}

struct EditSearch {
  std::wstring ending;
  HWND found = nullptr;
};

// What an edit of another process shows: it keeps its text to itself, only asking it tells.
std::wstring EditText(HWND edit) {
  wchar_t buffer[1024] = {};
  DWORD_PTR length = 0;
  ::SendMessageTimeoutW(edit, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        2000, &length);
  return std::wstring(buffer, std::min<size_t>(length, std::size(buffer) - 1));
}

BOOL CALLBACK CollectEditTexts(HWND window, LPARAM param) noexcept {
  if (base::EqualsNoCase(e2e::ClassName(window), L"Edit")) {
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(EditText(window));
  }
  return TRUE;
}

// The texts of a window's edits, in the order of its children.
std::vector<std::wstring> EditTexts(HWND window) {
  std::vector<std::wstring> texts;
  ::EnumChildWindows(window, CollectEditTexts, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

BOOL CALLBACK FindNameField(HWND window, LPARAM param) noexcept {
  auto& search = *reinterpret_cast<EditSearch*>(param);
  const std::wstring text = EditText(window);
  if (::IsWindowVisible(window) && base::EqualsNoCase(e2e::ClassName(window), L"Edit") &&
      text.size() >= search.ending.size() &&
      base::EqualsNoCase(text.substr(text.size() - search.ending.size()), search.ending)) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

class AdjustScenario : public ViewerScenario {
 protected:
  DWORD Process() { return Viewer().GetProcess().Id(); }

  HWND OpenPopup() {
    e2e::PressKey('E', {VK_CONTROL});
    HWND popup = e2e::WaitForTopLevelWindow(Process(), L"CEffectWnd", kShowMs);
    EXPECT_NE(popup, nullptr) << "Ctrl+E opened no adjustment pop-up";
    return popup;
  }

  // The resize dialog from F2, the width typed (the proportions are kept, so the other fields
  // follow: `fields` is what the width, its percentage, the height and its percentage then show),
  // then Enter: the save dialog comes up with the proposed name, gets the target's name and is
  // confirmed.
  HWND ResizeTo(const std::wstring& width, const std::vector<std::wstring>& fields, const std::wstring& proposedName,
                const std::wstring& target) {
    e2e::PressKey(VK_F2);
    HWND dialog = e2e::WaitForTopLevelWindow(Process(), L"DlgResizeImage2", kShowMs);
    EXPECT_NE(dialog, nullptr) << "F2 opened no resize dialog";
    if (!dialog) return nullptr;
    const std::vector<HWND> before = VisibleWindows(Process(), L"#32770");
    // The width has the focus with its text selected: typing replaces it.
    for (wchar_t digit : width) EXPECT_TRUE(e2e::TypeCharacter(digit));
    EXPECT_TRUE(e2e::WaitUntil([&] { return EditTexts(dialog) == fields; }, kShowMs))
        << "the fields show " << testing::PrintToString(EditTexts(dialog));
    Shot(L"resize-" + width);
    e2e::PressKey(VK_RETURN);
    HWND save = WaitForNewDialog(Process(), before);
    EXPECT_NE(save, nullptr) << "Enter opened no save dialog";
    if (!save) return dialog;
    EditSearch name{proposedName};
    e2e::WaitUntil(
        [&] {
          ::EnumChildWindows(save, FindNameField, reinterpret_cast<LPARAM>(&name));
          return name.found != nullptr;
        },
        kShowMs);
    EXPECT_NE(name.found, nullptr) << "the save dialog does not propose " << testing::PrintToString(proposedName);
    if (!name.found) return dialog;
    ::SendMessageW(name.found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
    ::PostMessageW(save, WM_COMMAND, IDOK, 0);
    return dialog;
  }
};

// ---------------------------------------------------------------------------------------------
// Ctrl+E and "brighter": the picture on screen is brighter, and so is the next one; Ctrl+E again
// gives the plain picture back.

TEST_F(AdjustScenario, BrighterStaysFromPictureToPictureUntilTheButtonTakesItBack) {
  const SIZE size{400, 300};
  ASSERT_TRUE(WritePicture(L"a.png", PictureFormat::kPng, size, kGrey));
  ASSERT_TRUE(WritePicture(L"b.png", PictureFormat::kPng, size, kSlate));
  e2e::Viewer& viewer = StartViewer({}, Picture(L"a.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFile(L"a.png", 1, 2));
  ASSERT_TRUE(WaitForFittedPicture(kGrey, size));
  const std::vector<uint8_t> file = testing_support::ReadBytes(Picture(L"a.png"));

  HWND popup = OpenPopup();
  ASSERT_NE(popup, nullptr);
  RECT placed{};
  ::GetWindowRect(popup, &placed);
  const RECT toolbar = e2e::ClientOnScreen(viewer.Toolbar());
  EXPECT_LE(placed.bottom, toolbar.top) << "the pop-up stands above the toolbar at the bottom";
  EXPECT_TRUE(WaitUntilDrawn(popup)) << "the pop-up is not drawn on screen";
  Shot(L"popup");

  e2e::Click(PresetPoint(popup, 0));
  EXPECT_TRUE(WaitUntilHidden(popup));
  EXPECT_TRUE(WaitForFittedPicture(kBrighterGrey, size)) << "brighter by 20 on screen";
  Shot(L"brighter");

  e2e::PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitForFile(L"b.png", 2, 2));
  EXPECT_TRUE(WaitForFittedPicture(kBrighterSlate, size)) << "the next picture is shown brighter too";

  e2e::PressKey('E', {VK_CONTROL});
  EXPECT_TRUE(WaitForFittedPicture(kSlate, size)) << "the adjust button takes the adjustment back";
  InputFence();
  EXPECT_TRUE(VisibleWindows(Process(), L"CEffectWnd").empty()) << "taking it back opens no pop-up";
  EXPECT_EQ(testing_support::ReadBytes(Picture(L"a.png")), file) << "only the screen changes, never the file";
}

// ---------------------------------------------------------------------------------------------
// A pop-up dropped by a click elsewhere or on its own button changes nothing, and the button opens
// it again afterwards; a late message from a pop-up the toolbar already let go is ignored.

TEST_F(AdjustScenario, ADroppedPopupChangesNothingAndALateMessageCannotCloseTheNext) {
  const SIZE size{400, 300};
  ASSERT_TRUE(WritePicture(L"slate.png", PictureFormat::kPng, size, kSlate));
  e2e::Viewer& viewer = StartViewer({}, Picture(L"slate.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFittedPicture(kSlate, size));

  // Clicked elsewhere: gone, nothing applied; the button then opens it again.
  HWND first = OpenPopup();
  ASSERT_NE(first, nullptr);
  e2e::Click(viewer.ViewCentre());
  EXPECT_TRUE(WaitUntilHidden(first));
  HWND second = OpenPopup();
  ASSERT_NE(second, nullptr) << "after a dropped pop-up the button opens it again";

  // The button pressed while its pop-up is open closes it and does not open it again. The pop-up
  // stands 100 pixels left of and 126 above the button.
  RECT placed{};
  ::GetWindowRect(second, &placed);
  e2e::Click(POINT{placed.left + 100 + 26, placed.top + 126 + 26});
  EXPECT_TRUE(WaitUntilHidden(second));
  InputFence();
  EXPECT_TRUE(VisibleWindows(Process(), L"CEffectWnd").empty()) << "the button's own press reopened the pop-up";
  EXPECT_TRUE(WaitForFittedPicture(kSlate, size));

  // The toolbar holds a third pop-up; messages from the first (long gone) and from a window that
  // never was a pop-up come first, then the third's own choice. Only the last counts: the
  // picture is shown brighter.
  HWND third = OpenPopup();
  ASSERT_NE(third, nullptr);
  const HWND toolbar = viewer.Toolbar();
  ::PostMessageW(toolbar, kAdjustClosed, 0, reinterpret_cast<LPARAM>(first));
  ::PostMessageW(toolbar, kAdjustClosed, 0, reinterpret_cast<LPARAM>(viewer.Main()));
  ::PostMessageW(toolbar, kAdjustClosed, 1, reinterpret_cast<LPARAM>(third));
  EXPECT_TRUE(WaitForFittedPicture(kBrighterSlate, size)) << "a stranger's message closed the pop-up";
  EXPECT_TRUE(e2e::WaitUntil([&] { return !::IsWindow(third); }, kShowMs)) << "the toolbar let the pop-up go";
  Shot();
}

// ---------------------------------------------------------------------------------------------
// F2, a width typed with the proportions kept, Enter and a name: a smaller copy is written beside
// the picture; then the same over the open picture, which the viewer shows at its new size.

TEST_F(AdjustScenario, ResizeWritesASmallerCopyAndThenReplacesTheOpenPicture) {
  const SIZE size{400, 300};
  ASSERT_TRUE(WritePicture(L"red.png", PictureFormat::kPng, size, kRed));
  // In Chinese: the dialog's texts come from the Chinese language file.
  e2e::Viewer& viewer = StartViewer({{"language_id", "cn_simp.ini"}}, Picture(L"red.png"));
  ASSERT_NE(viewer.Main(), nullptr);
  ASSERT_TRUE(WaitForFittedPicture(kRed, size));

  const std::wstring copy = Picture(L"small.png");
  HWND dialog = ResizeTo(L"200", {L"200", L"50", L"150", L"50"}, L"red(1).jpg", copy);
  ASSERT_NE(dialog, nullptr);
  UINT w = 0, h = 0;
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::ReadPictureSize(copy, w, h); }, kShowMs)) << "no copy was written";
  EXPECT_EQ(w, 200u);
  EXPECT_EQ(h, 150u);
  EXPECT_TRUE(WaitUntilHidden(dialog));
  ASSERT_TRUE(e2e::ReadPictureSize(Picture(L"red.png"), w, h));
  EXPECT_EQ(w, 400u) << "the open picture is left alone";
  EXPECT_TRUE(WaitForFittedPicture(kRed, size));

  // Over the open picture: the save dialog asks before replacing it, and is told yes.
  dialog = ResizeTo(L"100", {L"100", L"25", L"75", L"25"}, L"red(1).jpg", Picture(L"red.png"));
  ASSERT_NE(dialog, nullptr);
  HWND question = nullptr;
  e2e::WaitUntil(
      [&] {
        for (HWND box : VisibleWindows(Process(), L"#32770")) {
          if (::GetDlgItem(box, IDYES)) question = box;
        }
        return question != nullptr;
      },
      kShowMs);
  ASSERT_NE(question, nullptr) << "replacing the open picture was not asked";
  ::PostMessageW(::GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
  EXPECT_TRUE(e2e::WaitUntil(
      [&] { return e2e::ReadPictureSize(Picture(L"red.png"), w, h) && w == 100 && h == 75; }, kShowMs))
      << "the open picture was not replaced: " << w << "x" << h;
  EXPECT_TRUE(WaitForFittedPicture(kRed, SIZE{100, 75})) << "the viewer shows the replaced picture";
  Shot();
}

}  // namespace
}  // namespace e2e_scenario
