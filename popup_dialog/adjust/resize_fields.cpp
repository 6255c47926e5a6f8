#include "popup_dialog/adjust/resize_fields.h"

#include <algorithm>
#include <climits>

#include "base/strings.h"

namespace resize_fields {
namespace {

constexpr int64_t kLargestNumber = 1000000000;

std::wstring Number(int64_t value) { return base::FormatW(L"%I64d", value); }

int64_t Capped(int64_t value) { return std::clamp<int64_t>(value, 0, INT_MAX); }

int PresetPercent(int index) {
  return index >= 0 && index < static_cast<int>(kPresetPercents.size()) ? kPresetPercents[static_cast<size_t>(index)]
                                                                         : 0;
}

// The length of a side at a percentage of its source, truncated.
int64_t LengthAt(int64_t source, int64_t percent) { return Capped(source * percent / 100); }

// The percentage a length is of its source, rounded to the nearest whole percent (halves up).
int64_t PercentOf(int64_t length, int64_t source) {
  return source > 0 ? Capped((200 * length + source) / (2 * source)) : 0;
}

// The other side that keeps the proportions: truncated as the exact product would be, so that
// 333 of 1000 gives 999 of 3000.
int64_t Proportional(int64_t length, int64_t source, int64_t otherSource) {
  return source > 0 ? Capped(length * otherSource / source) : 0;
}

}  // namespace

ResizeFields::ResizeFields(SIZE source)
    : source_width_(Capped(source.cx)),
      source_height_(Capped(source.cy)),
      width_(source_width_),
      height_(source_height_) {}

int64_t ResizeFields::ReadNumber(const std::wstring& text) {
  return std::clamp<int64_t>(base::ParseInt64(text), 0, kLargestNumber);
}

FieldTexts ResizeFields::Typed(Field field, const std::wstring& text, bool locked) {
  FieldTexts shown;
  if (field < kWidth || field >= kFieldCount) return shown;
  if (text.empty()) shown[field] = L"0";
  const int64_t value = ReadNumber(text);
  // The side typed into and the other one.
  const bool onWidth = field == kWidth || field == kWidthPercent;
  int64_t& length = onWidth ? width_ : height_;
  int64_t& percent = onWidth ? width_percent_ : height_percent_;
  int64_t& otherLength = onWidth ? height_ : width_;
  int64_t& otherPercent = onWidth ? height_percent_ : width_percent_;
  const int64_t source = onWidth ? source_width_ : source_height_;
  const int64_t otherSource = onWidth ? source_height_ : source_width_;

  if (field == kWidth || field == kHeight) {
    length = value;
    percent = PercentOf(length, source);
    shown[onWidth ? kWidthPercent : kHeightPercent] = Number(percent);
    if (locked) otherLength = Proportional(length, source, otherSource);
  } else {
    percent = value;
    length = LengthAt(source, percent);
    shown[onWidth ? kWidth : kHeight] = Number(length);
    if (locked) otherLength = LengthAt(otherSource, percent);
  }
  if (locked) {
    otherPercent = percent;
    shown[onWidth ? kHeightPercent : kWidthPercent] = Number(otherPercent);
    shown[onWidth ? kHeight : kWidth] = Number(otherLength);
  }
  return shown;
}

FieldTexts ResizeFields::ChoosePreset(int index) {
  const int percent = PresetPercent(index);
  width_percent_ = height_percent_ = percent;
  width_ = LengthAt(source_width_, percent);
  height_ = LengthAt(source_height_, percent);
  return All();
}

std::wstring ResizeFields::PresetText(int index) const {
  const int percent = PresetPercent(index);
  return Number(LengthAt(source_width_, percent)) + L"X" + Number(LengthAt(source_height_, percent));
}

FieldTexts ResizeFields::All() const {
  return FieldTexts{Number(width_), Number(height_), Number(width_percent_), Number(height_percent_)};
}

Verdict ResizeFields::Check() const {
  if (width_ <= 0 || height_ <= 0) return Verdict::kEmpty;
  if (width_ > kMaxSide || height_ > kMaxSide) return Verdict::kSideTooLong;
  if (width_ * height_ > kMaxPixels) return Verdict::kTooManyPixels;
  return Verdict::kOk;
}

}  // namespace resize_fields
