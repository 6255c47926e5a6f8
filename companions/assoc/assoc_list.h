#pragma once
// The association list that the viewer and the tray companion hand to "AssocKit32.dll", and the
// picture types that may appear in it. Text format: for each type "|<ext>:<0 or 1>|", all
// concatenated, extensions in lower case without the dot, in ascending order when built here.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace assoc {

// The types the settings dialog offers (also its check-box names), in its order.
inline constexpr const wchar_t* kOfferedTypes[] = {
    L"jpg", L"gif", L"png", L"bmp", L"tiff", L"ico", L"webp", L"tga", L"psd", L"jp2", L"pcx", L"raw",
    L"g3",  L"dds", L"cut", L"xbm", L"xpm",  L"wmf", L"pfm",  L"pcd", L"j2k", L"hdr", L"sgi", L"exr"};
// The JPEG family that the "jpg" choice stands for.
inline constexpr const wchar_t* kJpegFamily[] = {L"jpg", L"jpeg", L"jfif", L"jpe"};
// The types whose user choice decides whether the viewer is the default viewer.
inline constexpr const wchar_t* kDefaultViewerTypes[] = {L"jpg", L"jpeg", L"png", L"gif", L"bmp"};

// A list longer than this is refused unread.
inline constexpr size_t kMaxListChars = 4096;

struct Choice {
  std::wstring extension;
  bool associate = false;
  bool operator==(const Choice&) const = default;
};

// Every type the library may register: the offered types and the rest of the JPEG family.
const std::vector<std::wstring>& AssociableTypes();
// Exact (lower-case) member of AssociableTypes.
bool IsAssociableType(std::wstring_view extension);
// The extensions one check-box choice stands for: the JPEG family for any of its members, else the
// name itself. Lower-cased; empty for a name that is not associable.
std::vector<std::wstring> ExpandChoice(std::wstring_view name);

// "|ext:state|" for every entry, in the map's (ascending ordinal) order.
std::wstring BuildList(const std::map<std::wstring, int>& choices);
// Reads a list of at most kMaxListChars characters (the terminator is looked for no further).
// All or nothing: false, and `out` empty, for a null or over-long text, an empty list, a
// malformed entry or a type that is not associable. A type named twice takes its last state.
bool ParseList(const wchar_t* text, std::vector<Choice>& out);

}  // namespace assoc
