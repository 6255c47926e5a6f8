#pragma once
// What a caller of "AssocKit32.dll" sees: the four exports, looked up by their plain names on both
// architectures, each with a function type of its own (a string pointer and a key handle are
// pointer-sized on x64, so one shared integer signature would cut them).
#include <windows.h>

namespace assoc {

inline constexpr wchar_t kLibraryName[] = L"AssocKit32.dll";

// Registers the viewer for every picture type it offers and makes it the per-user default where
// the system lets a program do so. The argument is reserved (0). Non-zero when the viewer is the
// default viewer afterwards.
using SetDefaultImageViewerFn = int(WINAPI*)(int reserved);
inline constexpr char kSetDefaultImageViewer[] = "SetDefaultImageViewer";

// Removes what the library registered under the root (only HKEY_CURRENT_USER is served) and gives
// every type back the default it had before. Non-zero when the root was served.
using UnInstallFn = int(WINAPI*)(HKEY root);
inline constexpr char kUnInstall[] = "UnInstall";

// Applies an association list ("|gif:1||jpg:0|"). The whole list is refused, and nothing changes,
// when one entry is malformed or names a type the viewer does not offer. Non-zero when applied.
using SetAssociationFn = int(WINAPI*)(const wchar_t* list);
inline constexpr char kSetAssociation[] = "SetAssociation";

// Non-zero when the user's choice for the main picture types names the viewer.
using IsAssociationOKFn = int(WINAPI*)();
inline constexpr char kIsAssociationOK[] = "IsAssociationOK";

}  // namespace assoc
