#pragma once
// The parsed command line of the viewer: switches ("-name", "--name", "/name", each with an
// optional "=value") and plain arguments, the first existing non-program path of which is the
// picture to open. One process-wide instance holds this start's command line; the main window
// parses hand-over texts from other starts with instances of its own.
#include <map>
#include <string>
#include <string_view>
#include <vector>

class CCommandLine {
 public:
  CCommandLine() = default;
  virtual ~CCommandLine() = default;
  CCommandLine(const CCommandLine&) = delete;
  CCommandLine& operator=(const CCommandLine&) = delete;

  // Stores the text as the raw command line and adds its tokens to what was parsed before.
  bool Parse(std::wstring_view text);

  // True when the switch was given; the name may carry its own "--", "-" or "/" prefix.
  bool HasSwitch(std::wstring_view name) const;
  // The switch's value (empty when given without one). False and empty when absent.
  bool GetSwitchValue(std::wstring_view name, std::wstring& value) const;
  void GetArguments(std::vector<std::wstring>& arguments) const { arguments = arguments_; }
  const std::wstring& GetRawCommandLine() const { return raw_; }
  // The first plain argument (quotes removed) that names an existing path whose extension is
  // not exactly ".exe"; empty when none does.
  std::wstring GetFileArgument() const;

  // This process's command line, created on first use.
  static CCommandLine* Instance();
  // Deletes the process-wide instance (at exit).
  static void DestroyInstance();

 private:
  void AddToken(std::wstring_view token, size_t equalsPos);
  // The name found directly, or after removing one leading "--", "-" or "/".
  const std::wstring* FindSwitch(std::wstring_view name) const;

  std::map<std::wstring, std::wstring, std::less<>> switches_;
  std::vector<std::wstring> arguments_;
  std::wstring raw_;
};
