#include "appconfig/language.h"

#include <windows.h>

#include <cwchar>

#include "appconfig/folders.h"
#include "base/paths.h"
#include "base/profile.h"
#include "base/strings.h"

namespace {

constexpr size_t kNameCapacity = 32;  // characters of the current-name buffer, terminator included

// Everything here is constant-initialised: the settings store may load (and so set the language)
// during static construction of the application object, before dynamic initialisers have run.
SRWLOCK g_lock = SRWLOCK_INIT;
wchar_t g_currentName[kNameCapacity] = L"en.ini";

class SharedLock {
 public:
  SharedLock() noexcept { ::AcquireSRWLockShared(&g_lock); }
  ~SharedLock() { ::ReleaseSRWLockShared(&g_lock); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;
};

class ExclusiveLock {
 public:
  ExclusiveLock() noexcept { ::AcquireSRWLockExclusive(&g_lock); }
  ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&g_lock); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

// Guarded by g_lock.
std::wstring& FolderOverride() {
  static std::wstring folder;
  return folder;
}

std::wstring ProgramLanguageFolder() {
  const std::wstring program = GetModuleFolder();
  if (program.empty()) return {};
  const std::wstring joined = base::JoinPath(program, L"language");
  return joined.empty() ? std::wstring() : base::WithTrailingBackslash(joined);
}

std::wstring CurrentLanguagePath() {
  const std::wstring folder = GetLanguageFolder();
  if (folder.empty()) return {};
  return base::JoinPath(folder, GetCurrentLanguageName());
}

enum class Match { kPrefix, kEqual };

struct LocaleRule {
  Match match;
  const wchar_t* text;
  const wchar_t* file;
};

// Tested in order; the hyphen in "fr-", "de-", "es-" and "pt-" is part of the test.
constexpr LocaleRule kLocaleRules[] = {
    {Match::kPrefix, L"zh-CN", L"cn_simp.ini"}, {Match::kPrefix, L"zh-SG", L"cn_simp.ini"},
    {Match::kEqual, L"zh-Hans", L"cn_simp.ini"}, {Match::kEqual, L"zh", L"cn_simp.ini"},
    {Match::kPrefix, L"zh", L"cn_trad.ini"},     {Match::kPrefix, L"fr-", L"fr.ini"},
    {Match::kPrefix, L"de-", L"de.ini"},         {Match::kPrefix, L"es-", L"es.ini"},
    {Match::kPrefix, L"pt-", L"pt.ini"},         {Match::kPrefix, L"ru", L"ru.ini"},
    {Match::kPrefix, L"ar", L"ar.ini"},          {Match::kPrefix, L"it", L"it.ini"},
    {Match::kPrefix, L"ja", L"ja.ini"},          {Match::kPrefix, L"ko", L"ko.ini"},
};

}  // namespace

std::wstring GetLanguageFolder() {
  {
    SharedLock lock;
    if (!FolderOverride().empty()) return FolderOverride();
  }
  static const std::wstring folder = ProgramLanguageFolder();
  return folder;
}

void SetLanguageFolderForTesting(const std::wstring& folder) {
  const std::wstring value = folder.empty() ? std::wstring() : base::WithTrailingBackslash(folder);
  ExclusiveLock lock;
  FolderOverride() = value;
}

std::wstring GetCurrentLanguageName() {
  SharedLock lock;
  return g_currentName;
}

bool SetCurrentLanguageName(const std::wstring& name) {
  // A cut name would name another file; keep the previous one instead.
  if (name.empty() || name.size() >= kNameCapacity || name.find(L'\0') != std::wstring::npos) return false;
  ExclusiveLock lock;
  wcsncpy(g_currentName, name.c_str(), kNameCapacity - 1);
  g_currentName[name.size()] = L'\0';
  return true;
}

bool LanguageFileExists(const std::wstring& name) {
  if (name.empty() || name.size() >= kNameCapacity || !base::ContainsNoCase(name, L".ini")) return false;
  // A plain file name only: the setting must not reach outside the language folder.
  if (name.find_first_of(L"\\/:") != std::wstring::npos || name.find(L'\0') != std::wstring::npos) return false;
  const std::wstring folder = GetLanguageFolder();
  if (folder.empty()) return false;
  const std::wstring path = base::JoinPath(folder, name);
  return !path.empty() && base::FileExists(path) && !base::IsDirectory(path);
}

std::wstring GetLanguageString(const wchar_t* section, const wchar_t* key) {
  if (section == nullptr || key == nullptr || *section == L'\0' || *key == L'\0') return {};
  const std::wstring path = CurrentLanguagePath();
  if (path.empty()) return {};
  std::wstring text;
  if (!base::ReadProfileString(path, section, key, text)) return {};
  return text;
}

std::wstring GetLanguageStringById(const wchar_t* section, int number) {
  const std::wstring key = base::FormatW(L"%d", number);
  return GetLanguageString(section, key.c_str());
}

std::wstring ChooseLanguageFile() {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  if (::GetSystemDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) == 0) locale[0] = L'\0';
  return LanguageFileForLocale(locale);
}

std::wstring LanguageFileForLocale(const std::wstring& localeName) {
  for (const LocaleRule& rule : kLocaleRules) {
    const bool hit = rule.match == Match::kPrefix ? base::StartsWithNoCase(localeName, rule.text)
                                                  : base::EqualsNoCase(localeName, rule.text);
    if (hit) return rule.file;
  }
  return L"en.ini";
}
