#include "tests/e2e/driver/input.h"

#include <vector>

#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  // The arrows and the editing keys sit on the extended part of the keyboard.
  switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DELETE: case VK_INSERT:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT: case VK_DIVIDE:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  return input;
}

INPUT MouseInput(DWORD flags, DWORD data = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = data;
  return input;
}

void Send(std::vector<INPUT> inputs) {
  if (!inputs.empty()) ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool AllDown(std::initializer_list<WORD> keys) {
  for (WORD key : keys) {
    if (::GetAsyncKeyState(key) >= 0) return false;
  }
  return true;
}

// Sends inputs with modifier keys held. The modifiers go first and the inputs only once the
// system's key state shows them down: Wine brings its key state in line with the X server's
// keyboard when a window gains the X focus, and a modifier injected just before that is
// released again.
void SendWithModifiers(std::initializer_list<WORD> modifiers, const std::vector<INPUT>& inner) {
  std::vector<INPUT> downs, ups;
  for (WORD m : modifiers) downs.push_back(KeyInput(m, false));
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) ups.push_back(KeyInput(*it, true));
  for (int attempt = 0; attempt < 3 && !downs.empty(); ++attempt) {
    Send(downs);
    if (WaitUntil([&] { return AllDown(modifiers); }, 500)) break;
  }
  Send(inner);
  Send(ups);
}

}  // namespace

bool BringToForeground(HWND window) {
  if (::GetForegroundWindow() == window) return true;
  ::SetForegroundWindow(window);
  if (::GetForegroundWindow() == window) return true;
  // The system lets only the foreground thread pass the foreground on: join its input state.
  const DWORD own = ::GetCurrentThreadId();
  HWND current = ::GetForegroundWindow();
  const DWORD foregroundThread = current ? ::GetWindowThreadProcessId(current, nullptr) : 0;
  const bool attached = foregroundThread != 0 && foregroundThread != own && ::AttachThreadInput(own, foregroundThread, TRUE);
  ::BringWindowToTop(window);
  ::SetForegroundWindow(window);
  if (attached) ::AttachThreadInput(own, foregroundThread, FALSE);
  return WaitUntil([&] { return ::GetForegroundWindow() == window; }, 2000);
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
  SendWithModifiers(modifiers, {KeyInput(vk, false), KeyInput(vk, true)});
}

void KeyDown(WORD vk) { Send({KeyInput(vk, false)}); }

void KeyUp(WORD vk) { Send({KeyInput(vk, true)}); }

bool TypeCharacter(wchar_t character) {
  const SHORT scan = ::VkKeyScanW(character);
  if (scan == -1) return false;
  const WORD vk = LOBYTE(scan);
  const BYTE shifts = HIBYTE(scan);
  if (shifts & ~1) return false;  // Ctrl or Alt combinations are not typing
  if (shifts & 1) {
    PressKey(vk, {VK_SHIFT});
  } else {
    PressKey(vk);
  }
  return true;
}

bool MoveMouse(POINT screen) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  if (width <= 1 || height <= 1) return false;
  // Absolute positions are in 1/65536 of the screen; aim at the middle of the pixel.
  INPUT move = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
  move.mi.dx = static_cast<LONG>((static_cast<LONGLONG>(screen.x) * 65536 + 32768) / width);
  move.mi.dy = static_cast<LONG>((static_cast<LONGLONG>(screen.y) * 65536 + 32768) / height);
  Send({move});
  return WaitUntil(
      [&] {
        POINT now{};
        return ::GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
      },
      2000);
}

void Click(POINT screen, int count) {
  MoveMouse(screen);
  std::vector<INPUT> clicks;
  for (int i = 0; i < count; ++i) {
    clicks.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
    clicks.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
  }
  Send(clicks);
}

void Wheel(POINT screen, int notches, std::initializer_list<WORD> modifiers) {
  MoveMouse(screen);
  SendWithModifiers(modifiers, {MouseInput(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches * WHEEL_DELTA))});
}

}  // namespace e2e
