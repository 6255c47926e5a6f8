// Square-kernel convolution. Inside the picture a row is done as one run of bytes: the same
// channel of the neighbouring pixels lies a whole pixel (3 or 4 bytes) away, so the kernel can be
// applied to sixteen channels at once. Only the columns whose window leaves the picture take the
// per-pixel path with edge repetition; rows beyond the top and bottom are repeated by choosing
// the row pointers.
//
// Results must not feed into neighbours, so reads come from the picture as it was. Rather than
// a snapshot of a whole photo (a second 96 MB block for 24 megapixels), the row walk keeps the
// original of each row it is about to change in a ring of size / 2 + 1 rows: the rows above
// that are still in reach come from the ring, the rows below are not changed yet.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/effect/effects.h"
#include "image/effect/sse2.h"

namespace {

uint8_t ClampChannel(int value) {
  if (value > 254) return 255;
  if (value <= 0) return 0;
  return static_cast<uint8_t>(value);
}

// One output row: the size source rows of its window (top to bottom, edge rows repeated).
struct RowJob {
  const uint8_t* const* rows;
  const int32_t* kernel;
  int size;
  int width;
  int bytes;  // per pixel
  int divisor;
  int offset;
};

// Pixel x with the window's columns clamped into the row.
void ConvolutePixelClamped(const RowJob& job, int x, uint8_t* out) {
  const int left = x - job.size / 2;
  int sum_b = 0;
  int sum_g = 0;
  int sum_r = 0;
  const int32_t* k = job.kernel;
  for (int j = 0; j < job.size; ++j) {
    for (int i = 0; i < job.size; ++i, ++k) {
      const uint8_t* sample = job.rows[j] + std::clamp(left + i, 0, job.width - 1) * job.bytes;
      sum_b += *k * sample[0];
      sum_g += *k * sample[1];
      sum_r += *k * sample[2];
    }
  }
  out[0] = ClampChannel(sum_b / job.divisor + job.offset);
  out[1] = ClampChannel(sum_g / job.divisor + job.offset);
  out[2] = ClampChannel(sum_r / job.divisor + job.offset);
}

// Byte positions [begin, end) of the output row, all of whose windows lie inside the row.
void ConvoluteRunScalar(const RowJob& job, uint8_t* out, int begin, int end) {
  const int reach = (job.size / 2) * job.bytes;
  for (int i = begin; i < end; ++i) {
    if (job.bytes == 4 && (i & 3) == 3) continue;  // alpha stays
    int sum = 0;
    const int32_t* k = job.kernel;
    for (int j = 0; j < job.size; ++j) {
      const uint8_t* src = job.rows[j] + i - reach;
      for (int t = 0; t < job.size; ++t, ++k) sum += *k * src[t * job.bytes];
    }
    out[i] = ClampChannel(sum / job.divisor + job.offset);
  }
}

// Truncating division of 16-bit sums by the divisor as a multiply-high and shifts, the way a
// compiler divides by a constant. A multiplier is accepted only after it has been checked
// against plain division for every sum the kernel can produce.
struct WideDivision {
  bool usable = false;
  bool identity = false;  // |divisor| = 1
  bool negate = false;    // divisor < 0
  int16_t multiplier = 0;
  int shift = 0;
};

int DivideLikeWide(const WideDivision& w, int n) {
  int q = n;
  if (!w.identity) {
    q = ((n * w.multiplier) >> 16) >> w.shift;  // arithmetic shifts, as the vector unit does
    q -= n >> 31;                               // +1 for negative sums: truncate toward zero
  }
  return w.negate ? -q : q;
}

WideDivision PlanWideDivision(int divisor, int bound) {
  WideDivision w;
  w.negate = divisor < 0;
  const int magnitude = std::abs(divisor);
  const auto exact = [&] {
    for (int n = -bound; n <= bound; ++n) {
      if (DivideLikeWide(w, n) != n / divisor) return false;
    }
    return true;
  };
  if (magnitude == 1) {
    w.identity = true;
    w.usable = exact();
    return w;
  }
  for (int shift = 0; shift < 16; ++shift) {
    const long long multiplier = (1LL << (16 + shift)) / magnitude + 1;
    if (multiplier > 32767) break;
    w.multiplier = static_cast<int16_t>(multiplier);
    w.shift = shift;
    if (exact()) {
      w.usable = true;
      return w;
    }
  }
  return WideDivision{};
}

__m128i Divide(__m128i sums, const WideDivision& w, __m128i multiplier, __m128i shift) {
  __m128i q = sums;
  if (!w.identity) {
    q = _mm_sra_epi16(_mm_mulhi_epi16(sums, multiplier), shift);
    q = _mm_sub_epi16(q, _mm_srai_epi16(sums, 15));
  }
  return w.negate ? _mm_sub_epi16(_mm_setzero_si128(), q) : q;
}

struct WideConstants {
  WideDivision division;
  __m128i multiplier;
  __m128i shift;
  __m128i offset;
  // A kernel that is one value r everywhere but a centre c (sharpen, box blur) is r x the sum of
  // the window plus (c - r) x the centre; window sums come from per-column sums of the rows.
  bool ring_and_centre = false;
  __m128i ring;
  __m128i centre_extra;
  int16_t* column_sums = nullptr;  // one per byte of a row
};

// Sixteen output bytes starting at byte i, with 16-bit sums.
__m128i ConvoluteBlock(const RowJob& job, int i, int reach, const WideConstants& c) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = zero;
  __m128i hi = zero;
  const int32_t* k = job.kernel;
  for (int j = 0; j < job.size; ++j) {
    const uint8_t* src = job.rows[j] + i - reach;
    for (int t = 0; t < job.size; ++t, ++k) {
      if (*k == 0) continue;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + t * job.bytes));
      const __m128i factor = _mm_set1_epi16(static_cast<short>(*k));
      lo = _mm_add_epi16(lo, _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), factor));
      hi = _mm_add_epi16(hi, _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), factor));
    }
  }
  // The offset cannot overflow (checked with the plan); the saturating pack clamps to 0..255,
  // the same as the per-channel clamp.
  lo = _mm_add_epi16(Divide(lo, c.division, c.multiplier, c.shift), c.offset);
  hi = _mm_add_epi16(Divide(hi, c.division, c.multiplier, c.shift), c.offset);
  return _mm_packus_epi16(lo, hi);
}

// Sums of the window's rows for every byte of the row (the row is at least 16 bytes long).
void SumColumns(const RowJob& job, int16_t* sums) {
  const int count = job.width * job.bytes;
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0;; i += 16) {
    if (i + 16 > count) i = count - 16;
    __m128i lo = zero;
    __m128i hi = zero;
    for (int j = 0; j < job.size; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.rows[j] + i));
      lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
      hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 8), hi);
    if (i + 16 >= count) break;
  }
}

// Sixteen output bytes starting at byte i of a ring-and-centre kernel. Products and sums may
// wrap in 16 bits on the way; the final sum fits, so it comes out exact.
__m128i RingAndCentreBlock(const RowJob& job, int i, int reach, const WideConstants& c) {
  const __m128i zero = _mm_setzero_si128();
  __m128i lo = zero;
  __m128i hi = zero;
  const int16_t* sums = c.column_sums + i - reach;
  for (int t = 0; t < job.size; ++t, sums += job.bytes) {
    lo = _mm_add_epi16(lo, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums)));
    hi = _mm_add_epi16(hi, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 8)));
  }
  const __m128i centre =
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(job.rows[job.size / 2] + i));
  lo = _mm_add_epi16(_mm_mullo_epi16(lo, c.ring),
                     _mm_mullo_epi16(_mm_unpacklo_epi8(centre, zero), c.centre_extra));
  hi = _mm_add_epi16(_mm_mullo_epi16(hi, c.ring),
                     _mm_mullo_epi16(_mm_unpackhi_epi8(centre, zero), c.centre_extra));
  lo = _mm_add_epi16(Divide(lo, c.division, c.multiplier, c.shift), c.offset);
  hi = _mm_add_epi16(Divide(hi, c.division, c.multiplier, c.shift), c.offset);
  return _mm_packus_epi16(lo, hi);
}

void ConvoluteRunWide(const RowJob& job, const WideConstants& c, uint8_t* out, int begin, int end) {
  if (end - begin < 16) {
    ConvoluteRunScalar(job, out, begin, end);
    return;
  }
  const int reach = (job.size / 2) * job.bytes;
  if (c.ring_and_centre) SumColumns(job, c.column_sums);
  // begin and end lie on pixel boundaries, so 32-bit blocks keep alpha in every fourth byte.
  const __m128i alpha = job.bytes == 4 ? _mm_set1_epi32(static_cast<int>(0xFF000000u))
                                       : _mm_setzero_si128();
  for (int i = begin;; i += 16) {
    if (i + 16 > end) i = end - 16;  // the last block overlaps the one before; same results
    __m128i* p = reinterpret_cast<__m128i*>(out + i);
    const __m128i result = c.ring_and_centre ? RingAndCentreBlock(job, i, reach, c)
                                             : ConvoluteBlock(job, i, reach, c);
    const __m128i kept = _mm_and_si128(_mm_loadu_si128(p), alpha);
    _mm_storeu_si128(p, _mm_or_si128(_mm_andnot_si128(alpha, result), kept));
    if (i + 16 >= end) break;
  }
}

// wide: the kernel's sums fit 16 bits and c holds a usable division.
void ConvoluteRow(const RowJob& job, const WideConstants* wide, uint8_t* out) {
  const int half = job.size / 2;
  const int first = half;                        // first column whose window is inside
  const int last = job.width - job.size + half;  // last such column
  if (first > last) {
    for (int x = 0; x < job.width; ++x) ConvolutePixelClamped(job, x, out + x * job.bytes);
    return;
  }
  for (int x = 0; x < first; ++x) ConvolutePixelClamped(job, x, out + x * job.bytes);
  for (int x = last + 1; x < job.width; ++x) ConvolutePixelClamped(job, x, out + x * job.bytes);
  if (wide) {
    ConvoluteRunWide(job, *wide, out, first * job.bytes, (last + 1) * job.bytes);
  } else {
    ConvoluteRunScalar(job, out, first * job.bytes, (last + 1) * job.bytes);
  }
}

// Sixteen-bit arithmetic is exact when every product fits (|k| <= 128), the sums fit
// (255 x the kernel's magnitudes) and adding the offset to a quotient cannot overflow.
bool PlanWide(const std::vector<int32_t>& kernel, int divisor, int offset, WideConstants& plan) {
  int magnitude = 0;
  for (int32_t k : kernel) {
    if (k > 128 || k < -128) return false;
    magnitude += std::abs(k);
  }
  const int bound = magnitude * 255;
  if (bound > 32767 || bound + std::abs(static_cast<long long>(offset)) > 32767) return false;
  const WideDivision division = PlanWideDivision(divisor, bound);
  if (!division.usable) return false;
  plan.division = division;
  plan.multiplier = _mm_set1_epi16(division.multiplier);
  plan.shift = _mm_cvtsi32_si128(division.shift);
  plan.offset = _mm_set1_epi16(static_cast<short>(offset));
  return true;
}

// Whether every entry but the centre of the window equals the first non-centre one.
bool IsRingAndCentre(const std::vector<int32_t>& kernel, int size, int32_t& ring, int32_t& centre) {
  if (size < 2) return false;
  const size_t centre_index = static_cast<size_t>(size / 2) * size + size / 2;
  centre = kernel[centre_index];
  ring = kernel[centre_index == 0 ? 1 : 0];
  for (size_t j = 0; j < kernel.size(); ++j) {
    if (j != centre_index && kernel[j] != ring) return false;
  }
  return true;
}

}  // namespace

FCEffectConvolute::FCEffectConvolute(std::vector<int32_t> kernel, int size, int divisor, int offset)
    : kernel_(std::move(kernel)), size_(size), divisor_(divisor), offset_(offset) {}

bool FCEffectConvolute::Accepts(const FCObjImage& image) const {
  return FCImageEffect::Accepts(image) && size_ > 0 && divisor_ != 0 &&
         kernel_.size() == static_cast<size_t>(size_) * static_cast<size_t>(size_);
}

void FCEffectConvolute::ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) {
  if (!snapshot_.IsValid()) snapshot_ = image;
  if (!snapshot_.IsValid()) return;
  std::vector<const uint8_t*> rows(size_);
  for (int j = 0; j < size_; ++j) {
    rows[j] = snapshot_.RowPointer(std::clamp(y - size_ / 2 + j, 0, snapshot_.Height() - 1));
  }
  const RowJob job{rows.data(), kernel_.data(), size_, snapshot_.Width(),
                   snapshot_.BitsPerPixel() / 8, divisor_, offset_};
  ConvolutePixelClamped(job, x, pixel);
}

void FCEffectConvolute::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  const int width = image.Width();
  const int height = image.Height();
  const int bytes = image.BitsPerPixel() / 8;
  const int half = size_ / 2;
  const int keep = half + 1;
  const size_t row_bytes = static_cast<size_t>(width) * bytes;
  std::vector<uint8_t> ring(row_bytes * keep);
  std::vector<const uint8_t*> rows(size_);
  const RowJob job{rows.data(), kernel_.data(), size_, width, bytes, divisor_, offset_};
  WideConstants plan;
  const WideConstants* wide = PlanWide(kernel_, divisor_, offset_, plan) ? &plan : nullptr;
  std::vector<int16_t> column_sums;
  int32_t ring_value = 0;
  int32_t centre_value = 0;
  if (wide && size_ <= 128 && IsRingAndCentre(kernel_, size_, ring_value, centre_value)) {
    column_sums.resize(row_bytes);
    plan.ring_and_centre = true;
    plan.ring = _mm_set1_epi16(static_cast<short>(ring_value));
    plan.centre_extra = _mm_set1_epi16(static_cast<short>(centre_value - ring_value));
    plan.column_sums = column_sums.data();
  }
  WalkRows(image, observer, [&](int y, uint8_t* row) {
    std::memcpy(ring.data() + (y % keep) * row_bytes, row, row_bytes);
    for (int j = 0; j < size_; ++j) {
      const int r = std::clamp(y - half + j, 0, height - 1);
      rows[j] = r <= y ? ring.data() + (r % keep) * row_bytes : image.RowPointer(r);
    }
    ConvoluteRow(job, wide, row);
  });
}
