#pragma once
// What QuellinBase.dll does, apart from its exports: reading its settings, the quick-index state
// file, the report's form and its sending through NetKit.dll.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace qlbase {

struct StatSettings {
  bool enabled = false;
  std::wstring url;
};
// [app] usage_stats (1 = on) and usage_stats_url of the given settings file.
StatSettings ReadStatSettings(const std::wstring& configPath);

// The form of one report: event, detail, version, system. Refused (empty) when a text is empty,
// longer than 64 characters or not a plain word (letters, digits, '_', '-', '.'): a report
// carries names of events, never paths or what the user wrote.
std::vector<std::pair<std::string, std::string>> ReportForm(const std::wstring& event, const std::wstring& detail,
                                                            const std::wstring& version, const std::wstring& system);

// The system's version, "major.minor.build".
std::wstring OsVersionText();

// The quick-index state file ("base.ini" in the data folder), written whole and moved into place.
int ReadQuickIndexState(const std::wstring& stateFile);
bool WriteQuickIndexState(const std::wstring& stateFile, int state);

}  // namespace qlbase
