#pragma once
// The update hand-off: a viewer that finds an update waiting starts the companion with its own
// command line followed by " --need-upgrade-privilege-now --entry=main" (and " --from=main") and
// ends. The companion cannot elevate, so it gives the user back what they asked for: it clears
// the waiting state and starts the viewer again with the original command line. While it does so
// it holds the updater's mutex, so that the new viewer never hands off again, even when the
// state could not be cleared (a program folder the user may not write to).
#include <string>

namespace tray {

inline constexpr wchar_t kUpgradeSwitch[] = L"--need-upgrade-privilege-now";

// The viewer's command line inside the companion's parameters: the text before the upgrade
// switch, without the spaces that joined them. Empty when the switch is absent.
std::wstring OriginalViewerCommandLine(const std::wstring& companionParameters);

// Removes [update] state from the program folder's "config.ini". True when no state is left.
bool ClearUpdateState(const std::wstring& programConfigPath);

// The parameters of a process's command line: the text after the program name.
std::wstring ParametersOf(const wchar_t* commandLine);

}  // namespace tray
