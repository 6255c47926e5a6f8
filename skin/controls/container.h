#pragma once
// Containers and their layouts. A container keeps an inner inset and a gap between children;
// each child has a fixed size along an axis or shares the room left over (size 0 = fill), keeps
// its margin, takes no room while hidden, and may float at a position of its own.
#include <memory>
#include <vector>

#include "skin/controls/control.h"

namespace skin {

class Container : public Control {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"Container"; }

  virtual void Add(std::unique_ptr<Control> child);
  [[nodiscard]] size_t Count() const { return children_.size(); }
  [[nodiscard]] Control* ChildAt(size_t index) const { return index < children_.size() ? children_[index].get() : nullptr; }
  // The index of a child, or -1.
  [[nodiscard]] int IndexOf(const Control* child) const;
  // Whether a child is shown by this container (a tab layout shows one page).
  [[nodiscard]] virtual bool ShowsChild(const Control& child) const;

  [[nodiscard]] const RECT& Inset() const { return inset_; }
  [[nodiscard]] int ChildGap() const { return child_gap_; }

  Control* FindControl(std::wstring_view name) override;
  Control* ControlAt(POINT point) override;
  void Attach(ControlHost* host, SkinResources* resources) override;
  void OnVisibilityChanged() override;
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;
  void SetPos(const RECT& rect) override;
  void Paint(HDC dc, const RECT& clip) override;

 protected:
  // Places the children inside the inner rectangle; the plain container stacks them all over it.
  virtual void LayoutChildren(const RECT& inner);
  void PlaceFloating(Control& child) const;
  [[nodiscard]] bool TakesPart(const Control& child) const { return child.IsVisible() && !child.IsFloat(); }

  std::vector<std::unique_ptr<Control>> children_;

 private:
  RECT inset_{};
  int child_gap_ = 0;
};

class VerticalLayout : public Container {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"VerticalLayout"; }

 protected:
  void LayoutChildren(const RECT& inner) override;
};

class HorizontalLayout : public Container {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"HorizontalLayout"; }

 protected:
  void LayoutChildren(const RECT& inner) override;
};

// Pages over one another, one shown at a time; "tabselect" reports a change of page
// (wParam the new index, lParam the previous one).
class TabLayout : public Container {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"TabLayout"; }
  [[nodiscard]] int Selected() const { return selected_; }
  // False for an index that names no page.
  bool SelectItem(int index);
  [[nodiscard]] bool ShowsChild(const Control& child) const override;
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;

 private:
  int selected_ = 0;
};

}  // namespace skin
