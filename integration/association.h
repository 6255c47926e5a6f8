#pragma once
// The viewer's side of file association: the default-viewer service the main window uses, the
// file-type choices of the settings dialog, and the system's default-programs page. The registry
// work is done by "AssocKit32.dll" beside the executable, loaded for each operation; without it
// every operation is skipped (and the viewer counts as the default viewer, so nobody is asked).
#include <map>
#include <string>

#include "services/association.h"

namespace integration {

class CAssociationService : public services::IAssociation {
 public:
  explicit CAssociationService(std::wstring programFolder);

  // Any thread: only calls the library.
  bool IsDefaultViewer() override;
  // User-interface thread: stores user_set_default_viewer, registers or unregisters the viewer
  // and tells the companion (type 4, "open"). Where the system keeps the user's choice to itself
  // (Windows 8 and later) and it still names another program, the default-programs page opens
  // so that the user can confirm the choice there.
  void SetDefaultViewerEnabled(bool enabled) override;

 private:
  std::wstring program_folder_;
};

// The settings dialog's file-type choices, applied when the dialog ends.
class AssociationChoices {
 public:
  // userChoicesIni: "user_assoc.ini" in the data folder, the record of the user's choices.
  AssociationChoices(std::wstring programFolder, std::wstring userChoicesIni);

  // A file-type check box changed: every extension it stands for (the JPEG family for "jpg") is
  // pending with the state and recorded as "1" or "x" in [app] of the record, and the companion
  // is told (type 4 with the box's name). A name that is not an offered type is ignored.
  void Record(const std::wstring& checkBoxName, bool associate);
  // "|ext:state|..." of the pending choices in ascending order; empty when none.
  [[nodiscard]] std::wstring PendingList() const;
  // Hands the pending choices to the library (nothing when none are pending). False when the
  // library is missing or refused them.
  bool Apply() const;

 private:
  std::wstring program_folder_;
  std::wstring record_path_;
  std::map<std::wstring, int> pending_;
};

// The type opens with the viewer for this user (the user's choice names "Quellin.<ext>", in any
// letter case; without a user choice, the per-user default does). The settings dialog ticks the
// type's box when it does.
bool IsExtensionAssociated(const std::wstring& extension);

// Opens the system's default-programs page. False where the system has none (Wine).
bool OpenDefaultProgramsPage();

// Windows 8 or later: the user's choice of program per type is protected and only the system's
// own pages may change it.
bool IsUserChoiceProtected();

}  // namespace integration
