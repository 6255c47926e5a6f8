#include "companions/assoc/assoc_list.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace assoc {

namespace {

std::wstring Lower(std::wstring_view text) {
  std::wstring lowered(text);
  for (wchar_t& c : lowered) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lowered;
}

bool InList(std::wstring_view extension, const auto& list) {
  return std::any_of(std::begin(list), std::end(list), [&](const wchar_t* item) { return extension == item; });
}

}  // namespace

const std::vector<std::wstring>& AssociableTypes() {
  static const std::vector<std::wstring> types = [] {
    std::vector<std::wstring> all(std::begin(kOfferedTypes), std::end(kOfferedTypes));
    for (const wchar_t* member : kJpegFamily) {
      if (std::find(all.begin(), all.end(), member) == all.end()) all.emplace_back(member);
    }
    return all;
  }();
  return types;
}

bool IsAssociableType(std::wstring_view extension) {
  const auto& types = AssociableTypes();
  return std::find(types.begin(), types.end(), extension) != types.end();
}

std::vector<std::wstring> ExpandChoice(std::wstring_view name) {
  const std::wstring lowered = Lower(name);
  if (InList(lowered, kJpegFamily)) return {std::begin(kJpegFamily), std::end(kJpegFamily)};
  if (!IsAssociableType(lowered)) return {};
  return {lowered};
}

std::wstring BuildList(const std::map<std::wstring, int>& choices) {
  std::wstring text;
  for (const auto& [extension, state] : choices) {
    text += L"|" + extension + L":" + (state != 0 ? L"1" : L"0") + L"|";
  }
  return text;
}

bool ParseList(const wchar_t* text, std::vector<Choice>& out) {
  out.clear();
  if (!text) return false;
  const size_t length = ::wcsnlen(text, kMaxListChars + 1);
  if (length == 0 || length > kMaxListChars) return false;
  const std::wstring_view list(text, length);
  std::vector<Choice> choices;
  size_t at = 0;
  while (at < list.size()) {
    // One entry: '|', the extension, ':', one state digit, '|'.
    if (list[at] != L'|') return false;
    const size_t colon = list.find(L':', at + 1);
    if (colon == std::wstring_view::npos || colon + 2 >= list.size() || list[colon + 2] != L'|') return false;
    const std::wstring_view extension = list.substr(at + 1, colon - at - 1);
    const wchar_t state = list[colon + 1];
    if (state != L'0' && state != L'1') return false;
    if (!IsAssociableType(extension)) return false;
    auto same = std::find_if(choices.begin(), choices.end(), [&](const Choice& c) { return c.extension == extension; });
    if (same != choices.end()) {
      same->associate = state == L'1';
    } else {
      choices.push_back(Choice{std::wstring(extension), state == L'1'});
    }
    at = colon + 3;
  }
  out = std::move(choices);
  return true;
}

}  // namespace assoc
