#pragma once
// The tray companion at run time: a hidden window that owns the notification-area icon and its
// menu ("open viewer", "quit") and the screen-capture hotkey, and the server end of the message
// channel to the viewers. What the viewers tell it (quick-index option, hotkey) is kept in
// "tray.ini" at once, so that a companion ended at any moment starts again as it was.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "companions/tray/hotkey.h"
#include "companions/tray/tray_settings.h"
#include "companions/tray/viewer_messages.h"
#include "ipc/channel.h"

namespace tray {

class CTrayCompanion : public IChannelListener {
 public:
  // programFolder: where the viewer and the association library lie; dataFolder: the viewer's
  // data folder (its "config.ini" and the companion's "tray.ini"). Both with a trailing backslash.
  CTrayCompanion(HINSTANCE instance, std::wstring programFolder, std::wstring dataFolder);
  ~CTrayCompanion() override;
  CTrayCompanion(const CTrayCompanion&) = delete;
  CTrayCompanion& operator=(const CTrayCompanion&) = delete;

  // Window, icon, channel and the stored hotkey. False when the window could not be made.
  bool Start();
  // The message loop; answers the exit code.
  int Run();

  void OnMessageReceived(const IPC::Message& message) override;
  [[nodiscard]] int32_t GetRoutingID() const override { return 1; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnIconEvent(UINT mouseMessage);
  void OnCommand(UINT command);
  void OnCaptureHotkey();

  void AddIcon();
  void RemoveIcon();
  void ShowMenu();
  void OpenViewer(const std::wstring& parameters) const;
  // The user chose "quit": every viewer is asked to quit, then the companion ends.
  void QuitWithViewers();

  void ApplyQuickIndex(int state);
  void ApplyHotkey(int32_t value);
  void ApplyAssociation(const std::wstring& extension, bool associate) const;
  void Persist() const;

  HINSTANCE instance_;
  std::wstring program_folder_;
  std::wstring data_folder_;
  HWND window_ = nullptr;
  UINT taskbar_created_ = 0;
  bool icon_added_ = false;
  base::IconHandle icon_;
  std::unique_ptr<GlobalHotkey> hotkey_;
  TraySettings settings_;
  CChannel channel_;
};

}  // namespace tray
