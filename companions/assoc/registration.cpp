#include "companions/assoc/registration.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "companions/assoc/registry_value.h"

namespace assoc {

namespace {

constexpr wchar_t kClasses[] = L"Software\\Classes\\";
constexpr wchar_t kApplicationKey[] = L"Software\\Classes\\Applications\\QuellinImg.exe";
constexpr wchar_t kProductKey[] = L"Software\\Quellin";
constexpr wchar_t kCapabilitiesKey[] = L"Software\\Quellin\\Capabilities";
constexpr wchar_t kFileAssociationsKey[] = L"Software\\Quellin\\Capabilities\\FileAssociations";
constexpr wchar_t kLibraryKey[] = L"Software\\Quellin\\AssocKit";
constexpr wchar_t kPreviousKey[] = L"Software\\Quellin\\AssocKit\\Previous";
constexpr wchar_t kRegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr wchar_t kApplicationName[] = L"Quellin";

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

}  // namespace

std::wstring ProgIdOf(const std::wstring& extension) { return kProgIdPrefix + extension; }

std::wstring UserChoiceKey(const std::wstring& extension) {
  return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension + L"\\UserChoice";
}

std::wstring ClassesKey(const std::wstring& extension) { return kClasses + (L"." + extension); }

Registrar::Registrar(HKEY userRoot, std::wstring viewerPath) : root_(userRoot), viewer_path_(std::move(viewerPath)) {}

bool Registrar::RegisterProgram() {
  const std::wstring command = L"\"" + viewer_path_ + L"\" \"%1\"";
  bool ok = WriteRegistryString(root_, std::wstring(kApplicationKey) + L"\\shell\\open\\command", nullptr, command);
  ok &= WriteRegistryString(root_, kApplicationKey, L"FriendlyAppName", kApplicationName);
  ok &= WriteRegistryString(root_, kCapabilitiesKey, L"ApplicationName", kApplicationName);
  ok &= WriteRegistryString(root_, kCapabilitiesKey, L"ApplicationDescription", L"Quellin picture viewer");
  ok &= WriteRegistryString(root_, kRegisteredApplications, kApplicationName, kCapabilitiesKey);
  return ok;
}

bool Registrar::RegisterType(const std::wstring& extension) {
  const std::wstring progId = ProgIdOf(extension);
  const std::wstring progIdKey = kClasses + progId;
  bool ok = WriteRegistryString(root_, progIdKey, nullptr, Upper(extension) + L" picture");
  ok &= WriteRegistryString(root_, progIdKey + L"\\DefaultIcon", nullptr, L"\"" + viewer_path_ + L"\",0");
  ok &= WriteRegistryString(root_, progIdKey + L"\\shell\\open\\command", nullptr,
                            L"\"" + viewer_path_ + L"\" \"%1\"");
  ok &= WriteRegistryEmpty(root_, ClassesKey(extension) + L"\\OpenWithProgids", progId.c_str());
  ok &= WriteRegistryEmpty(root_, std::wstring(kApplicationKey) + L"\\SupportedTypes", (L"." + extension).c_str());
  ok &= WriteRegistryString(root_, kFileAssociationsKey, (L"." + extension).c_str(), progId);
  return ok;
}

bool Registrar::TakeDefault(const std::wstring& extension) {
  const std::wstring key = ClassesKey(extension);
  std::wstring current;
  const bool hasCurrent = ReadRegistryString(root_, key, nullptr, current);
  if (hasCurrent && EqualsNoCase(current, ProgIdOf(extension))) return true;
  // The first default the viewer replaced is the one given back; later takes keep it.
  if (!HasRegistryValue(root_, kPreviousKey, extension.c_str()) &&
      !WriteRegistryString(root_, kPreviousKey, extension.c_str(), hasCurrent ? current : L"")) {
    return false;
  }
  return WriteRegistryString(root_, key, nullptr, ProgIdOf(extension));
}

void Registrar::GiveBackDefault(const std::wstring& extension) {
  const std::wstring key = ClassesKey(extension);
  std::wstring current;
  const bool ours = ReadRegistryString(root_, key, nullptr, current) && EqualsNoCase(current, ProgIdOf(extension));
  std::wstring previous;
  const bool saved = ReadRegistryString(root_, kPreviousKey, extension.c_str(), previous);
  // A default the user chose since is left alone.
  if (ours) {
    if (saved && !previous.empty()) {
      WriteRegistryString(root_, key, nullptr, previous);
    } else {
      DeleteRegistryValue(root_, key, nullptr);
    }
  }
  DeleteRegistryValue(root_, kPreviousKey, extension.c_str());
}

bool Registrar::RegisterAll() {
  bool ok = RegisterProgram();
  for (const std::wstring& extension : AssociableTypes()) {
    ok &= RegisterType(extension);
    ok &= TakeDefault(extension);
  }
  return ok;
}

bool Registrar::Apply(const std::vector<Choice>& choices) {
  bool ok = RegisterProgram();
  for (const Choice& choice : choices) {
    if (!IsAssociableType(choice.extension)) continue;
    if (choice.associate) {
      ok &= RegisterType(choice.extension);
      ok &= TakeDefault(choice.extension);
    } else {
      GiveBackDefault(choice.extension);
    }
  }
  return ok;
}

bool Registrar::UnregisterAll() {
  bool ok = true;
  for (const std::wstring& extension : AssociableTypes()) {
    GiveBackDefault(extension);
    const std::wstring key = ClassesKey(extension);
    ok &= DeleteRegistryValue(root_, key + L"\\OpenWithProgids", ProgIdOf(extension).c_str());
    DeleteRegistryKeyIfEmpty(root_, key + L"\\OpenWithProgids");
    DeleteRegistryKeyIfEmpty(root_, key);
    ok &= DeleteRegistryTree(root_, kClasses + ProgIdOf(extension));
  }
  ok &= DeleteRegistryTree(root_, kApplicationKey);
  ok &= DeleteRegistryValue(root_, kRegisteredApplications, kApplicationName);
  ok &= DeleteRegistryTree(root_, kCapabilitiesKey);
  ok &= DeleteRegistryTree(root_, kLibraryKey);
  DeleteRegistryKeyIfEmpty(root_, kProductKey);
  return ok;
}

bool Registrar::OpensWithViewer(const std::wstring& extension) const {
  // A user choice that is present decides, also when it cannot be read as a ProgId.
  if (HasRegistryValue(root_, UserChoiceKey(extension), L"ProgId")) {
    std::wstring choice;
    return ReadRegistryString(root_, UserChoiceKey(extension), L"ProgId", choice) &&
           EqualsNoCase(choice, ProgIdOf(extension));
  }
  std::wstring current;
  return ReadRegistryString(root_, ClassesKey(extension), nullptr, current) &&
         EqualsNoCase(current, ProgIdOf(extension));
}

bool Registrar::IsDefaultViewer() const {
  for (const wchar_t* extension : kDefaultViewerTypes) {
    if (!OpensWithViewer(extension)) return false;
  }
  return true;
}

void NotifyShellOfAssociationChange() { ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace assoc
