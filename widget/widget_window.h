#pragma once
// Owner-drawn widget windows: one child window holding a list of light items (rectangles with an
// id, a tooltip and state bits) that paint themselves into an off-screen bitmap. The window does
// hit testing, hover, the press loop with mouse capture, tooltips, and runs a pluggable layout on
// every resize. The image view, the toolbar, the menu button and the logo are built on it.
// User-interface thread only.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/obj_image.h"

// Follows whether the pointer is inside a window: a leave notification is armed on the first move.
class FCTrackMouseHover {
 public:
  FCTrackMouseHover() = default;
  virtual ~FCTrackMouseHover() = default;
  FCTrackMouseHover(const FCTrackMouseHover&) = delete;
  FCTrackMouseHover& operator=(const FCTrackMouseHover&) = delete;

  virtual void OnMouseEnter() {}
  virtual void OnMouseLeave() {}

 protected:
  // Feeds one message of the window to the tracker.
  void TrackHoverMessage(HWND window, UINT message);

  BOOL tracking_ = FALSE;
};

class CWidgetItem {
 public:
  enum Flag : uint32_t {
    kHover = 0x1,
    kPressed = 0x2,
    kVisible = 0x4,
    kEnabled = 0x8,
    kChecked = 0x10,
  };

  explicit CWidgetItem(int id) : id_(id) {}
  virtual ~CWidgetItem() = default;
  CWidgetItem(const CWidgetItem&) = delete;
  CWidgetItem& operator=(const CWidgetItem&) = delete;

  virtual void OnMouseEnter() {}
  virtual void OnMouseLeave() {}
  // Draws with the item's top-left corner at the device context's origin.
  virtual void Draw(HDC dc) = 0;
  // Registers a tool for the item's rectangle when its tooltip text is not empty.
  virtual void AddTool(HWND tooltip, HWND owner, UINT toolId);

  [[nodiscard]] int GetID() const noexcept { return id_; }
  [[nodiscard]] uint32_t UserValue() const noexcept { return user_value_; }
  void SetUserValue(uint32_t value) noexcept { user_value_ = value; }
  [[nodiscard]] bool Has(Flag flag) const noexcept { return (flags_ & flag) != 0; }
  void Set(Flag flag, bool on) noexcept { flags_ = on ? (flags_ | flag) : (flags_ & ~static_cast<uint32_t>(flag)); }
  [[nodiscard]] uint32_t Flags() const noexcept { return flags_; }
  // Visible and enabled: the item takes part in hover and hit testing.
  [[nodiscard]] bool IsActive() const noexcept { return Has(kVisible) && Has(kEnabled); }

  [[nodiscard]] const RECT& Rect() const noexcept { return rect_; }
  void SetRect(const RECT& rect) noexcept { rect_ = rect; }
  [[nodiscard]] int Width() const noexcept { return rect_.right - rect_.left; }
  [[nodiscard]] int Height() const noexcept { return rect_.bottom - rect_.top; }
  [[nodiscard]] bool Contains(int x, int y) const noexcept {
    return x >= rect_.left && x < rect_.right && y >= rect_.top && y < rect_.bottom;
  }

  [[nodiscard]] const std::wstring& Tooltip() const noexcept { return tooltip_; }
  void SetTooltip(std::wstring text) { tooltip_ = std::move(text); }

 private:
  int id_;
  uint32_t user_value_ = 0;
  uint32_t flags_ = kVisible | kEnabled;
  RECT rect_{};
  std::wstring tooltip_;
};

using WidgetItemList = std::deque<std::unique_ptr<CWidgetItem>>;

// Positions the items of a widget window; runs on every resize.
class CWidgetLayout {
 public:
  CWidgetLayout() = default;
  virtual ~CWidgetLayout() = default;
  CWidgetLayout(const CWidgetLayout&) = delete;
  CWidgetLayout& operator=(const CWidgetLayout&) = delete;
  virtual void Layout(HWND window, WidgetItemList& items) = 0;
};

class CWidgetWindow : public FCTrackMouseHover {
 public:
  static constexpr int kNoPoint = -65535;

  CWidgetWindow() = default;
  // Destroys the window, then the items from last to first, the layout and the tooltip control.
  ~CWidgetWindow() override;

  // Creates the window as a child of parent over rect (parent client coordinates).
  bool Create(HWND parent, const RECT& rect, int childId,
              DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP);
  void Destroy();
  [[nodiscard]] HWND GetSafeHwnd() const noexcept { return window_; }

  // The widget window of a handle (null for any other window).
  static CWidgetWindow* FromHandle(HWND window) noexcept;
  // Message pre-translation of the program's main loop: relays the message to the tooltip
  // control of the widget window it is addressed to. Never consumes it.
  static void RelayToTooltip(const MSG& message) noexcept;

  // Items in drawing and hit-testing order.
  void AddItem(std::unique_ptr<CWidgetItem> item);
  void RemoveItem(int id);
  [[nodiscard]] CWidgetItem* ItemAt(int x, int y) const noexcept;
  [[nodiscard]] CWidgetItem* ItemById(int id) const noexcept;
  [[nodiscard]] const WidgetItemList& Items() const noexcept { return items_; }
  void UpdateHover(int x, int y);
  void InvalidateItem(const CWidgetItem& item) const;
  void Invalidate() const;

  void SetLayout(std::unique_ptr<CWidgetLayout> layout) { layout_ = std::move(layout); }
  // The window does not own the font; null selects the shared default widget font.
  void SetFont(HFONT font) noexcept { font_ = font; }
  [[nodiscard]] HWND Tooltip() const noexcept { return tooltip_; }

  // The shared default widget font: 9 points in the face of the system's menu font.
  static HFONT DefaultFont();

  virtual void OnSizeLayout();
  virtual void CreateToolTip();
  virtual void DrawBackground(HDC dc, int left, int top, int right, int bottom);
  // A non-zero answer cancels the press.
  virtual int OnItemPress(CWidgetItem* item);
  // Clicks when the button went up over the pressed item.
  virtual void OnItemRelease(CWidgetItem* item, int x, int y, bool released);
  virtual void OnItemClick(CWidgetItem* item);
  // The press loop.
  virtual void OnLButtonDown(int x, int y);
  virtual void OnLButtonDblClk(int x, int y);

  void OnMouseLeave() override;

 protected:
  // Takes the mouse capture and runs the thread's messages while the window holds it. Mouse moves
  // and the button release addressed to the window go to `track` (x, y, released) instead of being
  // dispatched; everything else is dispatched as usual. Answers true when the button went up (the
  // capture is then released), false when the capture was taken away.
  bool TrackCapture(const std::function<void(int x, int y, bool released)>& track);
  // Every message of the window; subclasses handle theirs and pass the rest on.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Hooks for subclasses when the window is made and before it goes.
  virtual void OnCreated() {}
  virtual void OnDestroying() {}

 private:
  // The window class of every widget window (registered once; delivers double clicks).
  static ATOM RegisterWidgetClass();
  static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  void Paint();
  void DestroyTooltip();

  // What the tools were last built from (id, rectangle, text of each visible item with text),
  // so that a layout that changes none of them keeps the tooltip control as it is.
  struct ToolRecord {
    int id;
    RECT rect;
    std::wstring text;
    bool operator==(const ToolRecord& other) const {
      return id == other.id && ::EqualRect(&rect, &other.rect) && text == other.text;
    }
  };
  std::vector<ToolRecord> tools_;

  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  std::unique_ptr<CWidgetLayout> layout_;
  WidgetItemList items_;
  HFONT font_ = nullptr;
};

namespace widget_window {

// An item that stretches its whole picture over its rectangle.
class CWidgetItemImage : public CWidgetItem {
 public:
  CWidgetItemImage(int id, FCObjImagePtr image) : CWidgetItem(id), image_(std::move(image)) {}
  void Draw(HDC dc) override;
  [[nodiscard]] const FCObjImagePtr& Image() const noexcept { return image_; }
  // The picture's size (0 x 0 without one).
  [[nodiscard]] SIZE PictureSize() const noexcept;

 private:
  FCObjImagePtr image_;
};

// Base of the image buttons; subclasses draw.
class CWidgetItemBitmapButton : public CWidgetItem {
 public:
  using CWidgetItem::CWidgetItem;
};

}  // namespace widget_window
