#pragma once
// The settings dialog's two number fields (highest zoom, JPEG quality): what a typed text means.
#include <optional>
#include <string_view>

namespace settings_dialog {

struct NumberRule {
  int empty_value;  // what an emptied field stands for
  int low;
  int high;
};

inline constexpr NumberRule kZoomRatioRule{8, 4, 32};
inline constexpr NumberRule kJpegQualityRule{80, 0, 100};

// The value a field's text sets: an empty text gives the rule's value for it; a decimal integer
// (after optional white space and one sign; whatever follows the digits is ignored) is clamped to
// the rule's range. Text that does not begin with a number, or a number beyond 32 bits, gives
// nothing: the setting keeps its value.
std::optional<int> ReadNumberField(std::wstring_view text, const NumberRule& rule);

}  // namespace settings_dialog
