#pragma once
// Localised texts: one INI file per language in the folder "language\" beside the executable.
// Every lookup reads the file; a missing key gives the empty string. The files are UTF-16 LE with
// a byte-order mark, the form in which the profile functions read any script.
#include <string>
#include <utility>

// The program folder + "language\"; empty when that path does not fit MAX_PATH.
std::wstring GetLanguageFolder();
// Test seam: lookups and the settings' language rule use this folder instead of the program's
// language folder. An empty folder returns to the program's own.
void SetLanguageFolderForTesting(const std::wstring& folder);

// The current language file name (initially "en.ini"); set once while the settings load.
std::wstring GetCurrentLanguageName();
// Refuses (and answers false for) a name that does not fit the 32-character name buffer.
bool SetCurrentLanguageName(const std::wstring& name);
// True when the name is a usable language file: it contains ".ini" (any case), is a plain file
// name short enough for the name buffer, and that file exists in the language folder.
bool LanguageFileExists(const std::wstring& name);

std::wstring GetLanguageString(const wchar_t* section, const wchar_t* key);
std::wstring GetLanguageStringById(const wchar_t* section, int number);
// The language file name for the system locale.
std::wstring ChooseLanguageFile();
// The rule behind ChooseLanguageFile, for a given locale name.
std::wstring LanguageFileForLocale(const std::wstring& localeName);

// Binds one section for a dialog that needs many numbered strings.
class CMultiLanguageLoader {
 public:
  explicit CMultiLanguageLoader(std::wstring section) : section_(std::move(section)) {}
  virtual ~CMultiLanguageLoader() = default;
  std::wstring GetString(int number) const { return GetLanguageStringById(section_.c_str(), number); }

 private:
  std::wstring section_;
};
