#pragma once
// Localised texts: one INI file per language in the folder "language\" beside the executable.
// Every lookup reads the file; a missing key gives the empty string.
#include <string>

std::wstring GetLanguageFolder();
// The current language file name (initially "en.ini"); set once while the settings load.
std::wstring GetCurrentLanguageName();
void SetCurrentLanguageName(const std::wstring& name);

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
