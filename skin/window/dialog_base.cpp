#include "skin/window/dialog_base.h"

#include <functional>
#include <vector>

#include "skin/controls/button.h"
#include "skin/controls/container.h"
#include "skin/controls/edit.h"

namespace {

void VisitControls(skin::Control* control, const std::function<void(skin::Control*)>& visit) {
  if (!control) return;
  visit(control);
  if (auto* container = dynamic_cast<skin::Container*>(control)) {
    for (size_t i = 0; i < container->Count(); ++i) VisitControls(container->ChildAt(i), visit);
  }
}

bool IsUsable(const skin::Control* control) { return control->IsEnabled() && control->IsEffectivelyVisible(); }

}  // namespace

INT_PTR CDlgBase::DoModal(HWND owner) {
  if (running_ || GetHWND()) return -1;
  HWND root = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
  result_ = kCancel;
  ended_ = false;
  if (!Create(root, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0)) return -1;
  HWND window = GetHWND();
  CenterWindow(root);
  const bool disableOwner = root && ::IsWindowEnabled(root);
  if (disableOwner) ::EnableWindow(root, FALSE);
  running_ = true;
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::UpdateWindow(window);

  MSG message{};
  while (!ended_ && ::IsWindow(window)) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: the loop above ours must see the quit too.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  running_ = false;
  // The owner comes back before the dialog goes, so that it is the window activated next.
  if (disableOwner && ::IsWindow(root)) ::EnableWindow(root, TRUE);
  if (::IsWindow(window)) ::DestroyWindow(window);
  return result_;
}

void CDlgBase::EndDialog(INT_PTR result) {
  if (ended_) return;
  result_ = result;
  ended_ = true;
  // Wakes the loop should it be waiting.
  if (GetHWND()) ::PostMessageW(GetHWND(), WM_NULL, 0, 0);
}

void CDlgBase::OnClose(WPARAM) {
  // WM_CLOSE means "close", whoever sent it and whatever its wParam: a cancel, never a yes.
  EndDialog(kCancel);
}

void CDlgBase::OnFinalMessage() {
  // Destroyed from outside (its owner went away): the loop ends with what was decided so far.
  ended_ = true;
}

bool CDlgBase::PreTranslate(const MSG& message) {
  HWND window = GetHWND();
  if (message.message != WM_KEYDOWN || !window) return false;
  if (message.hwnd != window && !::IsChild(window, message.hwnd)) return false;
  skin::Edit* field = skin::Edit::FromNative(message.hwnd);
  switch (message.wParam) {
    case VK_ESCAPE:
      OnCancelKey();
      return true;
    case VK_RETURN: {
      if (field && field->IsMultiline()) return false;
      skin::Button* pressed = nullptr;
      VisitControls(Root(), [&](skin::Control* control) {
        auto* button = dynamic_cast<skin::Button*>(control);
        if (!pressed && button && button->IsDefault() && IsUsable(button)) pressed = button;
      });
      if (pressed) pressed->Activate();
      return pressed != nullptr;
    }
    case VK_TAB:
      MoveFocus(::GetKeyState(VK_SHIFT) < 0);
      return true;
    default:
      return false;
  }
}

void CDlgBase::MoveFocus(bool backwards) {
  std::vector<skin::Edit*> fields;
  VisitControls(Root(), [&](skin::Control* control) {
    auto* edit = dynamic_cast<skin::Edit*>(control);
    if (edit && edit->NativeWindow() && IsUsable(edit)) fields.push_back(edit);
  });
  if (fields.empty()) return;
  const HWND focus = ::GetFocus();
  int at = -1;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i]->NativeWindow() == focus) at = static_cast<int>(i);
  }
  const int count = static_cast<int>(fields.size());
  const int next = at < 0 ? (backwards ? count - 1 : 0) : (at + (backwards ? count - 1 : 1)) % count;
  fields[static_cast<size_t>(next)]->Focus();
  ::SendMessageW(fields[static_cast<size_t>(next)]->NativeWindow(), EM_SETSEL, 0, -1);
}
