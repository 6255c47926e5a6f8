// Hue and saturation by sector. The colour model is double-precision arithmetic per pixel, far
// too slow for a 24-megapixel photo if done plainly, so:
//  - every quotient that depends on one or two channel values only (channel / 255, lightness,
//    the saturation's table index from max and min, table entries / 255) is computed once into
//    tables by the very same expressions, so the values are identical;
//  - a photo repeats its colours, so results are kept in a small direct-mapped cache keyed by
//    blue, green and red; a cached result is exactly what the arithmetic gives;
//  - the colours the cache lacks are computed two at a time, one per lane of the SSE2 double
//    registers, without branches on their values (each selection picks between values the plain
//    formula computes; adding 0.0 instead of skipping an addition changes no value).
// All arithmetic goes through SSE2 doubles, so the 32-bit build (whose plain doubles would live
// in the x87 unit, with wider intermediates) rounds exactly like the 64-bit one.
#include <algorithm>
#include <array>
#include <cstring>

#include "image/effect/effects.h"
#include "image/effect/sse2.h"

namespace {

constexpr int kCacheBits = 14;
constexpr uint32_t kEmptyKey = 0xFFFFFFFFu;

// Cache slot of a colour: the top bits of a 64-bit multiplicative hash. (A 32-bit product lets
// colours that differ only in red collide far too often.)
inline uint32_t SlotOf(uint32_t key) {
  return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - kCacheBits));
}

// Two IEEE doubles, one per pixel.
struct V {
  __m128d v;
};
using Mask = __m128d;
inline V Pair(double first, double second) { return {_mm_set_pd(second, first)}; }
inline V All(double x) { return {_mm_set1_pd(x)}; }
inline V operator+(V a, V b) { return {_mm_add_pd(a.v, b.v)}; }
inline V operator-(V a, V b) { return {_mm_sub_pd(a.v, b.v)}; }
inline V operator*(V a, V b) { return {_mm_mul_pd(a.v, b.v)}; }
inline V operator/(V a, V b) { return {_mm_div_pd(a.v, b.v)}; }
inline Mask operator<(V a, V b) { return _mm_cmplt_pd(a.v, b.v); }
inline Mask operator>(V a, V b) { return _mm_cmplt_pd(b.v, a.v); }
inline Mask operator>=(V a, V b) { return _mm_cmple_pd(b.v, a.v); }
inline Mask Both(Mask a, Mask b) { return _mm_and_pd(a, b); }
inline Mask Masks(bool first, bool second) {
  return _mm_castsi128_pd(_mm_set_epi32(-static_cast<int>(second), -static_cast<int>(second),
                                        -static_cast<int>(first), -static_cast<int>(first)));
}
inline V Select(Mask mask, V yes, V no) {
  return {_mm_or_pd(_mm_and_pd(mask, yes.v), _mm_andnot_pd(mask, no.v))};
}
inline double First(V a) { return _mm_cvtsd_f64(a.v); }

struct IntPair {
  int first;
  int second;
};
inline IntPair Ints(__m128i r) { return {_mm_cvtsi128_si32(r), _mm_cvtsi128_si32(_mm_srli_si128(r, 4))}; }
inline __m128d Clamp255(V a) {
  return _mm_min_pd(_mm_max_pd(a.v, _mm_setzero_pd()), _mm_set1_pd(255.0));
}
// Integer part of clamp(a, 0, 255) + 0.5: the rounding of table indexes and channel bytes.
inline IntPair RoundClamped(V a) {
  return Ints(_mm_cvttpd_epi32(_mm_add_pd(Clamp255(a), _mm_set1_pd(0.5))));
}
inline IntPair TruncateClamped(V a) { return Ints(_mm_cvttpd_epi32(Clamp255(a))); }

// The sector of h = hue x 255 (0..255): below 21, 64, 106, 149, 192, 234, and from 234 on the
// first again. The bounds are whole numbers, so the integer part of h decides.
constexpr std::array<uint8_t, 256> kSectorOfFloor = [] {
  constexpr int kBounds[] = {21, 64, 106, 149, 192, 234};
  std::array<uint8_t, 256> sectors{};
  for (int f = 0; f < 256; ++f) {
    int sector = 0;
    while (sector < 6 && f >= kBounds[sector]) ++sector;
    sectors[f] = static_cast<uint8_t>(sector == 6 ? 0 : sector);
  }
  return sectors;
}();

// Quotients that depend on at most two channel values.
struct ModelTables {
  double fraction[256];                // v / 255
  double lightness[511];               // (max + min) x 0.5 / 255
  uint8_t saturation_index[256][256];  // [max][min], max >= min

  ModelTables() {
    for (int v = 0; v < 256; ++v) fraction[v] = First(All(v) / All(255.0));
    for (int sum = 0; sum < 511; ++sum) lightness[sum] = First(All(sum) * All(0.5) / All(255.0));
    for (int max = 0; max < 256; ++max) {
      for (int min = 0; min <= max; ++min) {
        V saturation = All(0.0);
        if (max != min) {
          const V hi = All(fraction[max]);
          const V lo = All(fraction[min]);
          const V d = hi - lo;
          saturation = Select(All(lightness[max + min]) < All(0.5), d / (hi + lo),
                              d / (All(2.0) - hi - lo));
        }
        saturation_index[max][min] =
            static_cast<uint8_t>(RoundClamped(saturation * All(255.0)).first);
      }
    }
  }
};

const ModelTables& Model() {
  static const ModelTables tables;
  return tables;
}

// One channel of the way back from the model; t is in sixths of the hue circle, wrapped once
// into 0..6: p + (q - p) x t below 1, q below 3, p + (q - p) x (4 - t) below 4, p from there.
V HueToChannel(V p, V q, V t) {
  const V zero = All(0.0);
  const V six = All(6.0);
  t = t + Select(t < zero, six, zero);
  t = t - Select(t > six, six, zero);
  const V ramp = Select(t < All(1.0), t, All(4.0) - t);
  const V value = Select(t >= All(4.0), p, p + (q - p) * ramp);
  return Select(Both(t >= All(1.0), t < All(3.0)), q, value);
}

// The integer side of one pixel: which channel is largest picks the hue formula,
// (G - B) / d for red, (B - R) / d + 2 for green, (R - G) / d + 4 for blue.
struct Channels {
  int max;
  int min;
  int from;
  int minus;
  double add;

  explicit Channels(uint32_t bgr) {
    const int b = bgr & 0xFF;
    const int g = (bgr >> 8) & 0xFF;
    const int r = (bgr >> 16) & 0xFF;
    max = std::max({r, g, b});
    min = std::min({r, g, b});
    const bool red = r == max;
    const bool green = !red && g == max;
    from = red ? g : (green ? b : r);
    minus = red ? b : (green ? r : g);
    add = red ? 0.0 : (green ? 2.0 : 4.0);
  }
};

}  // namespace

struct FCEffectHueSaturation::CacheSlot {
  uint32_t key;
  uint32_t value;
};

FCEffectHueSaturation::FCEffectHueSaturation(const Tables& hue, const Tables& saturation)
    : hue_(hue), saturation_(saturation) {
  // Entries are divided by 255 and used as fractions; outside 0..255 they would mean nothing.
  for (auto* tables : {&hue_, &saturation_}) {
    for (auto& sector : *tables) {
      for (auto& entry : sector) entry = std::clamp(entry, 0, 255);
    }
  }
}

FCEffectHueSaturation::~FCEffectHueSaturation() = default;

void FCEffectHueSaturation::Prepare(FCObjImage&) {
  for (int sector = 0; sector < 6; ++sector) {
    for (int v = 0; v < 256; ++v) {
      hue_fraction_[sector][v] = First(All(hue_[sector][v]) / All(255.0));
      saturation_fraction_[sector][v] = First(All(saturation_[sector][v]) / All(255.0));
    }
  }
}

// Two colours (blue in the low byte, then green, red) at once; results packed the same way.
// A grey pixel (max = min) has hue and saturation 0. When the new saturation is 0 the general
// formula gives q = p = L exactly, so no separate grey case is needed on the way back.
void FCEffectHueSaturation::Adjust(const uint32_t (&bgr)[2], uint32_t (&out)[2]) const {
  const ModelTables& model = Model();
  const Channels a(bgr[0]);
  const Channels b(bgr[1]);
  const double* f = model.fraction;
  const V lightness = Pair(model.lightness[a.max + a.min], model.lightness[b.max + b.min]);
  const Mask grey = Masks(a.max == a.min, b.max == b.min);
  const V d = Pair(f[a.max], f[b.max]) - Pair(f[a.min], f[b.min]);
  V hue = (Pair(f[a.from], f[b.from]) - Pair(f[a.minus], f[b.minus])) / Select(grey, All(1.0), d) +
          Pair(a.add, b.add);
  hue = hue / All(6.0);
  hue = hue + Select(hue < All(0.0), All(1.0), All(0.0));
  hue = Select(grey, All(0.0), hue);
  const V h = hue * All(255.0);
  const IntPair floor = TruncateClamped(h);
  const IntPair index = RoundClamped(h);
  const int sector_a = kSectorOfFloor[floor.first];
  const int sector_b = kSectorOfFloor[floor.second];
  const V new_hue = Pair(hue_fraction_[sector_a][index.first], hue_fraction_[sector_b][index.second]);
  const V new_saturation =
      Pair(saturation_fraction_[sector_a][model.saturation_index[a.max][a.min]],
           saturation_fraction_[sector_b][model.saturation_index[b.max][b.min]]);
  const V q = Select(lightness > All(0.5), lightness + new_saturation - lightness * new_saturation,
                     lightness * (All(1.0) + new_saturation));
  const V p = All(2.0) * lightness - q;
  const V t = All(6.0) * new_hue;
  const IntPair blue = RoundClamped(HueToChannel(p, q, t - All(2.0)) * All(255.0));
  const IntPair green = RoundClamped(HueToChannel(p, q, t) * All(255.0));
  const IntPair red = RoundClamped(HueToChannel(p, q, t + All(2.0)) * All(255.0));
  out[0] = static_cast<uint32_t>(blue.first | green.first << 8 | red.first << 16);
  out[1] = static_cast<uint32_t>(blue.second | green.second << 8 | red.second << 16);
}

void FCEffectHueSaturation::ProcessPixelAt(FCObjImage&, int, int, uint8_t* pixel) {
  const uint32_t key = pixel[0] | pixel[1] << 8 | pixel[2] << 16;
  uint32_t result[2];
  Adjust({key, key}, result);
  pixel[0] = static_cast<uint8_t>(result[0]);
  pixel[1] = static_cast<uint8_t>(result[0] >> 8);
  pixel[2] = static_cast<uint8_t>(result[0] >> 16);
}

namespace {

// Reads and writes blue, green and red of a pixel as one packed value (blue in the low byte);
// 32-bit pixels keep their alpha.
template <int kBytes>
struct PixelAccess {
  static uint32_t Read(const uint8_t* pixel) {
    if constexpr (kBytes == 4) {
      uint32_t value;
      std::memcpy(&value, pixel, 4);
      return value & 0xFFFFFFu;
    } else {
      return pixel[0] | pixel[1] << 8 | pixel[2] << 16;
    }
  }
  static void Write(uint8_t* pixel, uint32_t bgr) {
    if constexpr (kBytes == 4) {
      uint32_t value;
      std::memcpy(&value, pixel, 4);
      value = (value & 0xFF000000u) | bgr;
      std::memcpy(pixel, &value, 4);
    } else {
      pixel[0] = static_cast<uint8_t>(bgr);
      pixel[1] = static_cast<uint8_t>(bgr >> 8);
      pixel[2] = static_cast<uint8_t>(bgr >> 16);
    }
  }
};

}  // namespace

// Misses are computed in pairs: the first one waits (its pixel unwritten, the cache untouched)
// until a second one comes, or the row ends. A later pixel of the waiting colour simply misses
// as well and makes the pair.
template <int kBytes>
void FCEffectHueSaturation::AdjustRow(uint8_t* row, int width) {
  using Access = PixelAccess<kBytes>;
  CacheSlot* const cache = cache_.get();
  uint8_t* waiting = nullptr;
  uint32_t keys[2] = {0, 0};
  uint32_t slots[2] = {0, 0};
  for (int x = 0; x < width; ++x, row += kBytes) {
    const uint32_t key = Access::Read(row);
    const uint32_t index = SlotOf(key);
    if (cache[index].key == key) {
      Access::Write(row, cache[index].value);
      continue;
    }
    if (!waiting) {
      waiting = row;
      keys[0] = key;
      slots[0] = index;
      continue;
    }
    keys[1] = key;
    slots[1] = index;
    uint32_t results[2];
    Adjust(keys, results);
    cache[slots[0]] = {keys[0], results[0]};
    cache[slots[1]] = {keys[1], results[1]};
    Access::Write(waiting, results[0]);
    Access::Write(row, results[1]);
    waiting = nullptr;
  }
  if (waiting) {
    uint32_t results[2];
    Adjust({keys[0], keys[0]}, results);
    cache[slots[0]] = {keys[0], results[0]};
    Access::Write(waiting, results[0]);
  }
}

void FCEffectHueSaturation::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  constexpr size_t kSlots = size_t{1} << kCacheBits;
  if (!cache_) cache_ = std::make_unique<CacheSlot[]>(kSlots);
  std::fill_n(cache_.get(), kSlots, CacheSlot{kEmptyKey, 0});
  const int width = image.Width();
  if (image.BitsPerPixel() == 32) {
    WalkRows(image, observer, [&](int, uint8_t* row) { AdjustRow<4>(row, width); });
  } else {
    WalkRows(image, observer, [&](int, uint8_t* row) { AdjustRow<3>(row, width); });
  }
}
