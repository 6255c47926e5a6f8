#pragma once
// The per-user registration of the viewer as a picture program, under one root key (the user's
// hive for the library's exports; a scratch key in tests). Everything lives below
// "Software\Classes", "Software\Quellin" and one value of "Software\RegisteredApplications":
//
//   Software\Classes\Quellin.<ext>                      the viewer's ProgId for a type (icon, open command)
//   Software\Classes\.<ext>\OpenWithProgids             value "Quellin.<ext>": the viewer in "Open with"
//   Software\Classes\.<ext> (default)                   "Quellin.<ext>" while the viewer is the type's default
//   Software\Classes\Applications\QuellinImg.exe        the program's own open command and supported types
//   Software\Quellin\Capabilities                       name, description, file associations
//   Software\RegisteredApplications  "Quellin"          points at the capabilities
//   Software\Quellin\AssocKit\Previous  "<ext>"         the type's default before the viewer took it ("" = none)
//
// The user choice that the shell keeps per type (Explorer\FileExts\.<ext>\UserChoice) is read,
// never written: since Windows 8 it carries a hash that only the system may make.
#include <windows.h>

#include <string>

#include "companions/assoc/assoc_list.h"

namespace assoc {

inline constexpr wchar_t kProgIdPrefix[] = L"Quellin.";

std::wstring ProgIdOf(const std::wstring& extension);
// Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.<ext>\UserChoice
std::wstring UserChoiceKey(const std::wstring& extension);
std::wstring ClassesKey(const std::wstring& extension);  // Software\Classes\.<ext>

class Registrar {
 public:
  // viewerPath: the full path of "QuellinImg.exe" that the open commands start.
  Registrar(HKEY userRoot, std::wstring viewerPath);

  // ProgId, open-with entry and capability of every associable type, and the type's default.
  bool RegisterAll();
  // Applies a parsed list: 1 takes the type (as RegisterAll does for it), 0 gives it back.
  bool Apply(const std::vector<Choice>& choices);
  // Removes every key and value the viewer owns and gives every type back its previous default.
  bool UnregisterAll();

  // The type opens with the viewer: the user choice names the viewer's ProgId (any letter case), or,
  // without a user choice, the per-user default does.
  bool OpensWithViewer(const std::wstring& extension) const;
  // Every type of kDefaultViewerTypes opens with the viewer.
  bool IsDefaultViewer() const;

 private:
  bool RegisterProgram();
  bool RegisterType(const std::wstring& extension);
  bool TakeDefault(const std::wstring& extension);
  void GiveBackDefault(const std::wstring& extension);

  HKEY root_;
  std::wstring viewer_path_;
};

// Tells the shell that associations changed.
void NotifyShellOfAssociationChange();

}  // namespace assoc
