#include "popup_dialog/settings/number_field.h"

#include <algorithm>
#include <cstdint>

namespace settings_dialog {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r'; }

}  // namespace

std::optional<int> ReadNumberField(std::wstring_view text, const NumberRule& rule) {
  if (text.empty()) return rule.empty_value;
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
  const size_t digits = at;
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{1} << 31;  // one past INT32_MAX, the magnitude of INT32_MIN
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    value = value * 10 + (text[at] - L'0');
    if (value > kLimit) return std::nullopt;
  }
  if (at == digits) return std::nullopt;
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int>(std::clamp<int64_t>(value, rule.low, rule.high));
}

}  // namespace settings_dialog
