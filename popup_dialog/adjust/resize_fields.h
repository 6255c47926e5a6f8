#pragma once
// The arithmetic of the resize dialog, without a window: the source size, the four presets, the
// width, height and their percentages, how typing into one field changes the others (with and
// without the proportions kept), and whether a size can be saved at all. Every product is
// computed in 64 bits, so that no typed number can wrap around.
#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace resize_fields {

enum Field : int { kWidth = 0, kHeight, kWidthPercent, kHeightPercent, kFieldCount };

// The texts the fields must show after a change; fields without a text keep theirs.
using FieldTexts = std::array<std::optional<std::wstring>, kFieldCount>;

// Whether a size can be written.
enum class Verdict {
  kOk,
  kEmpty,          // a side of 0 pixels
  kSideTooLong,    // a side beyond what JPEG and GIF files hold
  kTooManyPixels,  // more pixels than the resized picture's buffer can hold
};

// The longest side JPEG and GIF files can hold (the dialog does not know the format yet).
inline constexpr int64_t kMaxSide = 65535;
// The most pixels a resized picture may have: its 32-bit pixels must fit in a buffer whose size
// is a signed 32-bit number, as the imaging code's buffers are.
inline constexpr int64_t kMaxPixels = 0x7FFFFFFF / 4;
// The presets, in percent of the source size.
inline constexpr std::array<int, 4> kPresetPercents = {10, 25, 50, 75};

class ResizeFields {
 public:
  // The size of the picture on screen; width and height start there, the percentages at 100.
  explicit ResizeFields(SIZE source);

  // The user changed a field's text; locked keeps the proportions. Answers what the fields show
  // now: an emptied field shows "0", the others what follows from the change.
  FieldTexts Typed(Field field, const std::wstring& text, bool locked);
  // A preset chosen by its index (0..3; any other index sets everything to 0).
  FieldTexts ChoosePreset(int index);
  // "%dX%d" of the start size times the preset's factor.
  [[nodiscard]] std::wstring PresetText(int index) const;
  // Every field as it stands.
  [[nodiscard]] FieldTexts All() const;

  [[nodiscard]] int Width() const { return static_cast<int>(width_); }
  [[nodiscard]] int Height() const { return static_cast<int>(height_); }
  [[nodiscard]] int WidthPercent() const { return static_cast<int>(width_percent_); }
  [[nodiscard]] int HeightPercent() const { return static_cast<int>(height_percent_); }
  [[nodiscard]] Verdict Check() const;

  // The number a field's text holds: its leading digits after blanks, 0 without any; negative
  // numbers count as 0 and huge ones stop at a billion.
  static int64_t ReadNumber(const std::wstring& text);

 private:
  // Every value stays within 0..INT_MAX, so that the accessors never cut one short.
  int64_t source_width_;
  int64_t source_height_;
  int64_t width_;
  int64_t height_;
  int64_t width_percent_ = 100;
  int64_t height_percent_ = 100;
};

}  // namespace resize_fields
