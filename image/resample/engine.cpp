#include "image/resample/engine.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <cstring>
#include <vector>

#include "image/wic/source_base.h"

// Last: it compiles the rest of this file for SSE2 on the 32-bit build too.
#include "image/effect/sse2.h"

namespace image {

namespace {

// Filtered rows carry 8 fraction bits; the vertical pass adds kResampleBits more. With weights
// summing to 1.0 (1.25 in absolute value at most, for the cubic) every sum fits in 31 bits.
constexpr int kHorizontalShift = kResampleBits - 8;
constexpr int kFinalShift = kResampleBits + 8;
constexpr int32_t kFinalHalf = int32_t{1} << (kFinalShift - 1);
// Largest row (in bytes, or in values) worked on at once; beyond it CopyPixels strides overflow.
constexpr uint64_t kMaxRowBytes = 0x7FFFFFFF / 4;

template <UINT C>
void FilterRow(const BYTE* source, const ResampleAxis& axis, UINT x0, UINT x1, UINT sourceX0, int32_t* to) {
  for (UINT x = x0; x < x1; ++x, to += C) {
    const BYTE* p = source + size_t{axis.First(x) - sourceX0} * C;
    const int32_t* w = axis.Weights(x);
    const UINT n = axis.Count(x);
    int32_t sum[C] = {};
    for (UINT k = 0; k < n; ++k, p += C) {
      for (UINT c = 0; c < C; ++c) sum[c] += w[k] * p[c];
    }
    for (UINT c = 0; c < C; ++c) to[c] = (sum[c] + (1 << (kHorizontalShift - 1))) >> kHorizontalShift;
  }
}

// The same sums as FilterRow<4>, two taps at a time: the channels of two neighbouring pixels are
// paired as 16-bit values and multiplied by their two weights in one step (every weight fits 16
// bits, every product and sum 32), so the result is identical to the plain loop.
void FilterRowQuads(const BYTE* source, const ResampleAxis& axis, UINT x0, UINT x1, UINT sourceX0, int32_t* to) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi32(1 << (kHorizontalShift - 1));
  for (UINT x = x0; x < x1; ++x, to += 4) {
    const BYTE* p = source + size_t{axis.First(x) - sourceX0} * 4;
    const int32_t* w = axis.Weights(x);
    const UINT n = axis.Count(x);
    __m128i sum = zero;
    UINT k = 0;
    for (; k + 1 < n; k += 2, p += 8) {
      const __m128i two = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
      const __m128i pairs = _mm_unpacklo_epi16(two, _mm_unpackhi_epi64(two, two));
      const __m128i weights = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(w[k]) & 0xFFFFu) |
                                                                  (static_cast<uint32_t>(w[k + 1]) << 16)));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(pairs, weights));
    }
    if (k < n) {
      int32_t last = 0;
      std::memcpy(&last, p, 4);
      const __m128i one = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(last), zero), zero);
      const __m128i weight = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(w[k]) & 0xFFFFu));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(one, weight));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_srai_epi32(_mm_add_epi32(sum, half), kHorizontalShift));
  }
}

void PremultiplyRow(BYTE* row, UINT pixels) {
  for (UINT i = 0; i < pixels; ++i, row += 4) {
    const UINT a = row[3];
    if (a == 255) continue;
    for (int c = 0; c < 3; ++c) row[c] = static_cast<BYTE>((row[c] * a + 127) / 255);
  }
}

void AddWeighted(int32_t* acc, const int32_t* row, int32_t weight, size_t count) {
  for (size_t k = 0; k < count; ++k) acc[k] += weight * row[k];
}

class Resampler {
 public:
  Resampler(const ResampleJob& job, const WICRect& rc, BYTE* out, size_t stride)
      : job_(job), out_(out), stride_(stride) {
    x0_ = static_cast<UINT>(rc.X);
    x1_ = x0_ + static_cast<UINT>(rc.Width);
    y0_ = static_cast<UINT>(rc.Y);
    y1_ = y0_ + static_cast<UINT>(rc.Height);
    sx0_ = job.xAxis->First(x0_);
    sx1_ = job.xAxis->Last(x1_ - 1) + 1;
    sy0_ = job.yAxis->First(y0_);
    sy1_ = job.yAxis->Last(y1_ - 1) + 1;
    values_ = static_cast<size_t>(std::min<uint64_t>(uint64_t{x1_ - x0_} * job.channels, kMaxRowBytes + 1));
  }

  HRESULT Run() {
    ChooseStrategy();
    // Sizes in 64 bits first: a source or target wide enough to wrap 32-bit arithmetic is refused.
    const uint64_t sourceRowBytes = uint64_t{sx1_ - sx0_} * job_.channels;
    if (sourceRowBytes > kMaxRowBytes || uint64_t{values_} * rows_ > kMaxRowBytes) return E_OUTOFMEMORY;
    filtered_.assign(values_ * (push_ ? 1 : rows_), 0);
    if (push_) acc_.assign(values_ * rows_, 0);
    else acc_.assign(values_, 0);
    const UINT rowBytes = static_cast<UINT>(sourceRowBytes);
    const UINT stripRows = std::min(StripRows(rowBytes), sy1_ - sy0_);
    strip_.resize(size_t{rowBytes} * stripRows);
    next_open_ = lowest_open_ = y0_;
    for (UINT sy = sy0_; sy < sy1_;) {
      const UINT rows = std::min(stripRows, sy1_ - sy);
      const WICRect part{static_cast<INT>(sx0_), static_cast<INT>(sy), static_cast<INT>(sx1_ - sx0_),
                         static_cast<INT>(rows)};
      HRESULT hr = job_.source->CopyPixels(&part, rowBytes, static_cast<UINT>(strip_.size()), strip_.data());
      if (FAILED(hr)) return hr;
      for (UINT r = 0; r < rows; ++r) ConsumeRow(sy + r, strip_.data() + size_t{rowBytes} * r);
      sy += rows;
    }
    return S_OK;
  }

 private:
  // Push adds each filtered source row into the output rows it feeds (at most two for an area
  // reduction); pull keeps the last few filtered rows and builds each output row from them (at
  // most four for an enlargement). Whichever holds fewer rows at once wins.
  void ChooseStrategy() {
    const ResampleAxis& ay = *job_.yAxis;
    UINT pushRows = 1, pullRows = 1;
    for (UINT i = y0_, k = y0_; i < y1_; ++i) {
      k = std::max(k, i);
      while (k < y1_ && ay.First(k) <= ay.Last(i)) ++k;
      pushRows = std::max(pushRows, k - i);
      pullRows = std::max(pullRows, ay.Count(i));
    }
    push_ = pushRows <= pullRows;
    rows_ = push_ ? pushRows : pullRows;
  }

  void Filter(BYTE* row, int32_t* to) {
    if (job_.straightAlpha) PremultiplyRow(row, sx1_ - sx0_);
    if (job_.channels == 3) FilterRow<3>(row, *job_.xAxis, x0_, x1_, sx0_, to);
    else FilterRowQuads(row, *job_.xAxis, x0_, x1_, sx0_, to);
  }

  int32_t* AccFor(UINT outputRow) { return acc_.data() + values_ * (outputRow % rows_); }

  void ConsumeRow(UINT sy, BYTE* row) {
    const ResampleAxis& ay = *job_.yAxis;
    if (!push_) {
      Filter(row, filtered_.data() + values_ * (sy % rows_));
      for (; next_open_ < y1_ && ay.Last(next_open_) == sy; ++next_open_) {
        std::fill(acc_.begin(), acc_.end(), 0);
        const int32_t* w = ay.Weights(next_open_);
        for (UINT k = 0; k < ay.Count(next_open_); ++k) {
          const UINT from = ay.First(next_open_) + k;
          AddWeighted(acc_.data(), filtered_.data() + values_ * (from % rows_), w[k], values_);
        }
        Store(acc_.data(), next_open_);
      }
      return;
    }
    for (; next_open_ < y1_ && ay.First(next_open_) <= sy; ++next_open_) {
      std::fill_n(AccFor(next_open_), values_, 0);
    }
    bool needed = false;
    for (UINT i = lowest_open_; i < next_open_ && !needed; ++i) needed = ay.WeightOf(i, sy) != 0;
    if (needed) {
      Filter(row, filtered_.data());
      for (UINT i = lowest_open_; i < next_open_; ++i) {
        const int32_t w = ay.WeightOf(i, sy);
        if (w != 0) AddWeighted(AccFor(i), filtered_.data(), w, values_);
      }
    }
    for (; lowest_open_ < next_open_ && ay.Last(lowest_open_) == sy; ++lowest_open_) {
      Store(AccFor(lowest_open_), lowest_open_);
    }
  }

  void Store(const int32_t* acc, UINT outputRow) {
    BYTE* to = out_ + stride_ * (outputRow - y0_);
    for (size_t k = 0; k < values_; ++k) {
      to[k] = static_cast<BYTE>(std::clamp((acc[k] + kFinalHalf) >> kFinalShift, 0, 255));
    }
    if (job_.channels != 4 || !(job_.premultiplied || job_.straightAlpha)) return;
    for (size_t p = 0; p < values_; p += 4) {
      BYTE* px = to + p;
      const UINT a = px[3];
      for (int c = 0; c < 3; ++c) {
        UINT v = std::min<UINT>(px[c], a);
        if (job_.straightAlpha) v = a == 0 ? 0 : (v * 255 + a / 2) / a;
        px[c] = static_cast<BYTE>(v);
      }
    }
  }

  const ResampleJob& job_;
  BYTE* out_;
  size_t stride_;
  UINT x0_, x1_, y0_, y1_;      // output rectangle
  UINT sx0_, sx1_, sy0_, sy1_;  // source rectangle behind it
  size_t values_ = 0;           // int32 values per filtered or accumulated row
  bool push_ = true;
  UINT rows_ = 1;
  UINT next_open_ = 0;    // push: first output row not yet started; pull: next row to build
  UINT lowest_open_ = 0;  // push: first output row not yet stored
  std::vector<BYTE> strip_;
  std::vector<int32_t> filtered_;
  std::vector<int32_t> acc_;
};

}  // namespace

HRESULT ResampleRect(const ResampleJob& job, const WICRect& rc, BYTE* out, size_t stride) noexcept {
  if (!job.source || !job.xAxis || !job.yAxis || (job.channels != 3 && job.channels != 4)) return E_INVALIDARG;
  if (rc.Width <= 0 || rc.Height <= 0) return S_OK;
  try {
    Resampler resampler(job, rc, out, stride);
    return resampler.Run();
  } catch (const std::exception&) {  // allocation of the working rows
    return E_OUTOFMEMORY;
  }
}

}  // namespace image
