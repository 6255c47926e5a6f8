#pragma once
// What the settings dialog's choices do outside the settings store: the file types through the
// association library and the tray companion, the hotkey through the companion, the hand-over
// receivers of the single-instance option. One object per opened dialog; the real one is made by
// InstallSettingsDialog (install.h).
#include <string>

namespace popup_dialog {

class SettingsEffects {
 public:
  virtual ~SettingsEffects() = default;

  // Whether the type (one of the dialog's fixed names) opens with the viewer for this user.
  virtual bool IsTypeAssociated(const std::wstring& name) = 0;
  // A file-type box changed: the choice is kept for Apply and the companion is told (type 4).
  virtual void RecordTypeChoice(const std::wstring& name, bool associate) = 0;
  // The dialog ends: the kept choices go to the association library.
  virtual void ApplyTypeChoices() = 0;
  // Whether the system has a default-programs page worth offering (Windows 10 and later).
  virtual bool OffersDefaultProgramsPage() = 0;
  virtual void OpenDefaultProgramsPage() = 0;
  // Sends the hotkey value (type 3); false when no companion took it.
  virtual bool SendHotkey(int value) = 0;
  // "only_one_instance" changed and was saved: the hand-over receivers follow it now.
  virtual void RefreshReceivers() = 0;
};

}  // namespace popup_dialog
