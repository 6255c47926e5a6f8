#include "skin/markup/values.h"

#include <cwctype>
#include <vector>

#include "base/strings.h"

namespace skin {
namespace {

std::wstring_view Trim(std::wstring_view text) {
  while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
  while (!text.empty() && std::iswspace(text.back())) text.remove_suffix(1);
  return text;
}

// Splits "a,b,c" into exactly count integers.
bool ParseInts(std::wstring_view text, int* out, size_t count) {
  size_t index = 0;
  bool more = true;
  std::wstring_view rest = text;
  while (more) {
    const std::wstring_view part = base::SplitNext(rest, L',', more);
    if (index >= count || !ParseInt(part, out[index])) return false;
    ++index;
  }
  return index == count;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

bool ParseInt(std::wstring_view text, int& out) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
    negative = text.front() == L'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 7) return false;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
  }
  if (value > kMaxSkinNumber) return false;
  out = negative ? -value : value;
  return true;
}

bool ParseBool(std::wstring_view text, bool& out) {
  text = Trim(text);
  if (base::EqualsNoCase(text, L"true") || text == L"1") {
    out = true;
    return true;
  }
  if (base::EqualsNoCase(text, L"false") || text == L"0") {
    out = false;
    return true;
  }
  return false;
}

bool ParseRect(std::wstring_view text, RECT& out) {
  int v[4] = {};
  if (!ParseInts(text, v, 4)) return false;
  out = RECT{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(std::wstring_view text, SIZE& out) {
  int v[2] = {};
  if (!ParseInts(text, v, 2)) return false;
  out = SIZE{v[0], v[1]};
  return true;
}

bool ParseColor(std::wstring_view text, Argb& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == L'#') {
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    text.remove_prefix(2);
  } else {
    return false;
  }
  if (text.size() != 6 && text.size() != 8) return false;
  uint32_t value = 0;
  for (wchar_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  out = text.size() == 6 ? (0xFF000000u | value) : value;
  return true;
}

bool ParseImageDescription(std::wstring_view text, ImageDescription& out) {
  out = ImageDescription{};
  text = Trim(text);
  if (text.empty()) return true;
  if (text.find(L'=') == std::wstring_view::npos) {
    out.file = std::wstring(text);
    return true;
  }
  // key='value' pairs separated by blanks.
  while (true) {
    text = Trim(text);
    if (text.empty()) break;
    const size_t equals = text.find(L'=');
    if (equals == std::wstring_view::npos || equals + 1 >= text.size()) return false;
    const std::wstring_view key = Trim(text.substr(0, equals));
    const wchar_t quote = text[equals + 1];
    if (quote != L'\'' && quote != L'"') return false;
    const size_t close = text.find(quote, equals + 2);
    if (close == std::wstring_view::npos) return false;
    const std::wstring_view value = text.substr(equals + 2, close - equals - 2);
    text.remove_prefix(close + 1);
    if (!text.empty() && !std::iswspace(text.front())) return false;

    if (base::EqualsNoCase(key, L"file")) {
      out.file = std::wstring(Trim(value));
    } else if (base::EqualsNoCase(key, L"source")) {
      if (!ParseRect(value, out.source)) return false;
      out.has_source = true;
    } else if (base::EqualsNoCase(key, L"dest")) {
      if (!ParseRect(value, out.dest)) return false;
      out.has_dest = true;
    } else if (base::EqualsNoCase(key, L"corner")) {
      if (!ParseRect(value, out.corner)) return false;
    } else if (base::EqualsNoCase(key, L"hole")) {
      if (!ParseBool(value, out.hole)) return false;
    } else if (base::EqualsNoCase(key, L"fade")) {
      int fade = 0;
      if (!ParseInt(value, fade) || fade < 0 || fade > 255) return false;
      out.fade = static_cast<BYTE>(fade);
    } else {
      return false;
    }
  }
  return !out.file.empty();
}

bool ParseAlign(std::wstring_view text, UINT& horizontal, UINT& vertical) {
  bool more = true;
  std::wstring copy(text);
  for (wchar_t& c : copy) {
    if (c == L',') c = L' ';
  }
  std::wstring_view rest = copy;
  while (more) {
    const std::wstring_view word = Trim(base::SplitNext(rest, L' ', more));
    if (word.empty()) continue;
    if (base::EqualsNoCase(word, L"left")) {
      horizontal = DT_LEFT;
    } else if (base::EqualsNoCase(word, L"center")) {
      horizontal = DT_CENTER;
    } else if (base::EqualsNoCase(word, L"right")) {
      horizontal = DT_RIGHT;
    } else if (base::EqualsNoCase(word, L"top")) {
      vertical = DT_TOP;
    } else if (base::EqualsNoCase(word, L"vcenter")) {
      vertical = DT_VCENTER;
    } else if (base::EqualsNoCase(word, L"bottom")) {
      vertical = DT_BOTTOM;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace skin
