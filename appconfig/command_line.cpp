#include "appconfig/command_line.h"

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cwchar>

#include "base/handles.h"

namespace {

std::atomic<CCommandLine*> g_instance{nullptr};
base::CriticalSection g_instance_lock;

std::wstring_view StripSwitchPrefix(std::wstring_view name) {
  if (name.size() >= 2 && name[0] == L'-' && name[1] == L'-') return name.substr(2);
  if (!name.empty() && (name[0] == L'-' || name[0] == L'/')) return name.substr(1);
  return name;
}

}  // namespace

bool CCommandLine::Parse(std::wstring_view text) {
  raw_.assign(text);
  // The quote state and the previous character carry over from one token to the next, so a
  // quote that follows a token ending in a backslash does not open a quoted stretch.
  bool inQuotes = false;
  wchar_t previous = 0;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    while (i < n && text[i] == L' ') ++i;
    if (i >= n) break;
    const size_t start = i;
    size_t equalsPos = std::wstring_view::npos;
    while (i < n) {
      const wchar_t c = text[i];
      if (c == L' ' && !inQuotes) break;
      if (c == L'"' && previous != L'\\') {
        inQuotes = !inQuotes;
      } else if (c == L'=' && equalsPos == std::wstring_view::npos) {
        equalsPos = i - start;
      }
      previous = c;
      ++i;
    }
    AddToken(text.substr(start, i - start), equalsPos);
  }
  return true;
}

void CCommandLine::AddToken(std::wstring_view token, size_t equalsPos) {
  const bool isSwitch = token.size() >= 2 && (token[0] == L'-' || token[0] == L'/');
  if (!isSwitch) {
    arguments_.emplace_back(token);
    return;
  }
  const size_t nameStart = token[1] == L'-' ? 2 : 1;
  std::wstring_view name;
  std::wstring_view value;
  if (equalsPos == std::wstring_view::npos) {
    name = token.substr(nameStart);
  } else {
    name = token.substr(nameStart, equalsPos - nameStart);
    value = token.substr(equalsPos + 1);
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
      value = value.substr(1, value.size() - 2);
    } else if (value == L"\"") {
      value = {};
    }
  }
  // A bare prefix ("--", or "--=x") names nothing and is dropped.
  if (name.empty()) return;
  switches_.insert_or_assign(std::wstring(name), std::wstring(value));
}

const std::wstring* CCommandLine::FindSwitch(std::wstring_view name) const {
  auto it = switches_.find(name);
  if (it == switches_.end()) it = switches_.find(StripSwitchPrefix(name));
  return it == switches_.end() ? nullptr : &it->second;
}

bool CCommandLine::HasSwitch(std::wstring_view name) const { return FindSwitch(name) != nullptr; }

bool CCommandLine::GetSwitchValue(std::wstring_view name, std::wstring& value) const {
  const std::wstring* found = FindSwitch(name);
  value = found ? *found : std::wstring();
  return found != nullptr;
}

std::wstring CCommandLine::GetFileArgument() const {
  for (const std::wstring& argument : arguments_) {
    std::wstring path = argument;
    ::PathUnquoteSpacesW(path.data());
    path.resize(std::wcslen(path.c_str()));
    if (path.empty() || !::PathFileExistsW(path.c_str())) continue;
    if (std::wcscmp(::PathFindExtensionW(path.c_str()), L".exe") == 0) continue;
    return path;
  }
  return {};
}

CCommandLine* CCommandLine::Instance() {
  CCommandLine* instance = g_instance.load(std::memory_order_acquire);
  if (instance) return instance;
  base::CriticalSectionLock lock(g_instance_lock);
  instance = g_instance.load(std::memory_order_relaxed);
  if (!instance) {
    instance = new CCommandLine();
    g_instance.store(instance, std::memory_order_release);
  }
  return instance;
}

void CCommandLine::DestroyInstance() {
  base::CriticalSectionLock lock(g_instance_lock);
  delete g_instance.exchange(nullptr, std::memory_order_acq_rel);
}
