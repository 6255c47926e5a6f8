// Hue and saturation by sector. The colour model is double-precision arithmetic per pixel, far
// too slow for a 24-megapixel photo if done plainly, and a noisy photo repeats few of its
// colours. So every colour is computed, but cheaply and to the same bytes, four at a time:
//  - every quotient that depends on one or two channel values only (channel / 255, lightness,
//    the saturation's table index from max and min, table entries / 255) is computed once into
//    tables by the very same expressions, so the values are identical;
//  - of the hue, only the table index (its rounding) and the sector (its integer part) are
//    used. Both follow from twice the hue x 255, a fraction of two small integers whose integer
//    part is found exactly. Only when that fraction is a whole number can the rounding of the
//    double arithmetic matter; those colours take the double arithmetic;
//  - on the way back, what depends on the new hue alone (each channel's ramp) is a table of
//    the same expressions, filled when the effect is prepared. The rest runs in single floats,
//    whose error is far below the margin at which a channel's rounding is checked; the colours
//    within that margin take the double arithmetic of the formula;
//  - the rare colours that need the double arithmetic are only listed while a row is walked,
//    and done once it is through, four at a time: the walk itself has no branch on them;
//  - a small cache keeps the results of recent colours, which a smooth photo repeats; rows
//    whose colours it hardly knows (noise) go without it for a while;
//  - on a large picture the bottom half of the rows goes to a second thread.
// All double arithmetic goes through SSE2, so the 32-bit build (whose plain doubles would live in
// the x87 unit, with wider intermediates) rounds exactly like the 64-bit one.
#include <algorithm>
#include <array>
#include <cstring>

#include "image/effect/effects.h"
#include "image/effect/sse2.h"

namespace {

// A small direct-mapped cache of results by colour: a photo repeats many of its colours.
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
    for (int sum = 0; sum < 511; ++sum) {
      lightness[sum] = First(All(sum) * All(0.5) / All(255.0));
    }
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

[[gnu::always_inline]] inline const ModelTables& Model() {
  static const ModelTables tables;
  return tables;
}


// One channel of the way back from the model, as a function of t = 6 x new hue (plus 2 for red,
// minus 2 for blue), wrapped once into 0..6: p + (q - p) x t below 1, q below 3,
// p + (q - p) x (4 - t) below 4, p from there. Stored as the ramp of p + (q - p) x ramp, where p
// itself is the ramp 0 (adding 0.0 changes no value), or kTakeQ for q itself.
constexpr double kTakeQ = 2.0;  // never a ramp, which lies in 0..1

double ChannelRamp(V t) {
  const V zero = All(0.0);
  const V six = All(6.0);
  t = t + Select(t < zero, six, zero);
  t = t - Select(t > six, six, zero);
  const double wrapped = First(t);
  if (wrapped >= 1.0 && wrapped < 3.0) return kTakeQ;
  if (wrapped >= 4.0) return 0.0;
  return First(Select(t < All(1.0), t, All(4.0) - t));
}

// What the rest of the model needs of four pixels: lightness (as max + min), saturation table
// index, and sector and hue table index as one entry.
struct alignas(16) PixelModels {
  int32_t lightness[4];
  int32_t saturation[4];
  int32_t entry[4];  // sector x 256 + hue index: the new hue's entry in per-sector tables
};

// Per twice h (its integer part, 0..511): the entry of sector and hue index, plus kDoubleHue when,
// should twice h be exactly that whole number, the double arithmetic must decide: a half number
// (its rounding), or a sector bound (the sector below it is another).
constexpr int kDoubleHue = 0x8000;
constexpr std::array<uint16_t, 512> kEntryOfTwice = [] {
  std::array<uint16_t, 512> entries{};
  for (int k = 0; k < 512; ++k) {
    const int floor = std::min(k >> 1, 255);
    const int sector = kSectorOfFloor[floor];
    const bool bound = floor != 0 && kSectorOfFloor[floor - 1] != sector;
    entries[k] = static_cast<uint16_t>(sector << 8 | std::min((k + 1) >> 1, 255) | ((k & 1) || bound ? kDoubleHue : 0));
  }
  return entries;
}();

inline __m128i Pick(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// What the hue of four colours is made of: the largest and smallest channel, which channel is
// largest (red first, then green; blue otherwise), and the two channels whose difference the hue
// formula divides (G and B for red, B and R for green, R and G for blue).
struct HueParts {
  __m128i max, min, red, green, from, minus;
};

[[gnu::always_inline]] inline HueParts HuePartsOf(__m128i pixels) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  const __m128i b = _mm_and_si128(pixels, byte);
  const __m128i g = _mm_and_si128(_mm_srli_epi32(pixels, 8), byte);
  const __m128i r = _mm_and_si128(_mm_srli_epi32(pixels, 16), byte);
  HueParts parts;
  // The values fit in the low 16-bit half of each lane, whose high half is 0.
  parts.max = _mm_max_epi16(r, _mm_max_epi16(g, b));
  parts.min = _mm_min_epi16(r, _mm_min_epi16(g, b));
  parts.red = _mm_cmpeq_epi32(r, parts.max);
  parts.green = _mm_andnot_si128(parts.red, _mm_cmpeq_epi32(g, parts.max));
  parts.from = Pick(parts.red, g, Pick(parts.green, b, r));
  parts.minus = Pick(parts.red, b, Pick(parts.green, r, g));
  return parts;
}

// Four colours (blue in the low byte, then green and red) at once. Which channel is largest
// picks the hue formula (red first, then green); twice h is then the fraction
// 255 x (from - minus + sixths x d) / 3d, with sixths 0, 2 or 4, or 6 for a negative red hue
// that wraps, and 0 for grey. Numerator and denominator are whole numbers below 2^24, so single
// floats hold them exactly and their rounded quotient has the exact integer part: a fraction
// with denominator 3d that is not whole falls at least 1/765 short of the next whole number,
// far more than the rounding. Only when the fraction is whole, h a whole or a half number, can
// the rounding of the double arithmetic matter, and then only where it decides something: a
// half number's rounding, or a whole number's integer part when that number is a sector bound
// (below it the sector is another). Returns those colours as a mask (bit i for colour i); they
// take the double arithmetic (HuesByDoubles).
[[gnu::always_inline]] inline int ModelsOf(const ModelTables& model, __m128i pixels, PixelModels& out) {
  const HueParts parts = HuePartsOf(pixels);
  const __m128i max = parts.max;
  const __m128i min = parts.min;
  const __m128i red = parts.red;
  const __m128i green = parts.green;
  const __m128i notBlue = _mm_or_si128(red, green);
  const __m128i x = _mm_sub_epi32(parts.from, parts.minus);
  const __m128i d = _mm_sub_epi32(max, min);
  const __m128i wraps = _mm_and_si128(red, _mm_cmplt_epi32(x, _mm_setzero_si128()));
  const __m128i sixths = _mm_or_si128(_mm_and_si128(wraps, _mm_set1_epi32(6)),
                                      _mm_or_si128(_mm_and_si128(green, _mm_set1_epi32(2)),
                                                   _mm_andnot_si128(notBlue, _mm_set1_epi32(4))));
  const __m128i numerator = _mm_add_epi32(x, _mm_mullo_epi16(sixths, d));
  const __m128 grey = _mm_castsi128_ps(_mm_cmpeq_epi32(d, _mm_setzero_si128()));
  const __m128 twice = _mm_mul_ps(_mm_cvtepi32_ps(numerator), _mm_set1_ps(255.0f));
  const __m128 thirds = _mm_or_ps(_mm_andnot_ps(grey, _mm_cvtepi32_ps(_mm_mullo_epi16(d, _mm_set1_epi32(3)))),
                                  _mm_and_ps(grey, _mm_set1_ps(1.0f)));
  const __m128i k = _mm_cvttps_epi32(_mm_div_ps(twice, thirds));
  const __m128 whole = _mm_andnot_ps(grey, _mm_cmpeq_ps(_mm_mul_ps(_mm_cvtepi32_ps(k), thirds), twice));
  alignas(16) int32_t twices[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(twices), k);
  int32_t entries[4];
  for (int i = 0; i < 4; ++i) entries[i] = kEntryOfTwice[twices[i] & 511];
  // Built from the values, not loaded from the array just written (see AdjustRow).
  const __m128i flags = _mm_slli_epi32(_mm_setr_epi32(entries[0], entries[1], entries[2], entries[3]), 16);
  for (int i = 0; i < 4; ++i) out.entry[i] = entries[i] & ~kDoubleHue;
  _mm_store_si128(reinterpret_cast<__m128i*>(out.lightness), _mm_add_epi32(max, min));
  alignas(16) int32_t pairs[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(pairs), _mm_or_si128(_mm_slli_epi32(max, 8), min));
  const uint8_t* index = &model.saturation_index[0][0];
  for (int i = 0; i < 4; ++i) out.saturation[i] = index[pairs[i]];
  return _mm_movemask_ps(_mm_and_ps(whole, _mm_castsi128_ps(flags)));
}

// Sector and hue index of the colours in mask by the double arithmetic itself, two colours at a
// time and without a branch: hue = ((G - B) / d for red, (B - R) / d + 2 for
// green, (R - G) / d + 4 for blue) / 6, plus 1 when negative, and h = hue x 255. The sector
// follows from the integer part of h, the hue index from its rounding. (A grey colour computes
// nonsense that is not kept: grey is never in mask.)
void HuesByDoubles(const ModelTables& model, __m128i pixels, int mask, PixelModels& out) {
  const HueParts parts = HuePartsOf(pixels);
  const __m128i notBlue = _mm_or_si128(parts.red, parts.green);
  alignas(16) int32_t from[4], minus[4], maxima[4], minima[4], offset[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(from), parts.from);
  _mm_store_si128(reinterpret_cast<__m128i*>(minus), parts.minus);
  _mm_store_si128(reinterpret_cast<__m128i*>(maxima), parts.max);
  _mm_store_si128(reinterpret_cast<__m128i*>(minima), parts.min);
  _mm_store_si128(reinterpret_cast<__m128i*>(offset), _mm_or_si128(_mm_and_si128(parts.green, _mm_set1_epi32(2)),
                                                                    _mm_andnot_si128(notBlue, _mm_set1_epi32(4))));
  const double* f = model.fraction;
  for (int i = 0; i < 4; i += 2) {
    const int j = i + 1;
    V hue = (Pair(f[from[i]], f[from[j]]) - Pair(f[minus[i]], f[minus[j]])) /
                (Pair(f[maxima[i]], f[maxima[j]]) - Pair(f[minima[i]], f[minima[j]])) +
            Pair(offset[i], offset[j]);
    hue = hue / All(6.0);
    hue = hue + Select(hue < All(0.0), All(1.0), All(0.0));
    const V h = hue * All(255.0);
    const IntPair floors = TruncateClamped(h);
    const IntPair rounded = RoundClamped(h);
    // Kept only for the colours in mask (a select, not a branch).
    const auto keep = [&](int lane, int floor, int index) {
      out.entry[lane] = (mask >> lane) & 1 ? kSectorOfFloor[floor] << 8 | index : out.entry[lane];
    };
    keep(i, floors.first, rounded.first);
    keep(j, floors.second, rounded.second);
  }
}

template <typename T>
using SectorTables = std::array<std::array<T, 256>, 6>;

// The way back from the model in doubles, exactly the formula, for pixels i and i + 1 of m.
// When the new saturation is 0 the formula gives q = p = L exactly, so grey needs no case of its
// own.
void ExactBack(const ModelTables& model, const PixelModels& m, int i, const SectorTables<double>& saturationFraction,
               const SectorTables<std::array<double, 4>>& ramps, uint32_t (&out)[4]) {
  const int j = i + 1;
  const V lightness = Pair(model.lightness[m.lightness[i]], model.lightness[m.lightness[j]]);
  const V saturation = Pair(saturationFraction[m.entry[i] >> 8][m.saturation[i]],
                            saturationFraction[m.entry[j] >> 8][m.saturation[j]]);
  const V q = Select(lightness > All(0.5), lightness + saturation - lightness * saturation,
                     lightness * (All(1.0) + saturation));
  const V p = All(2.0) * lightness - q;
  const V rise = q - p;
  const std::array<double, 4>& first = ramps[m.entry[i] >> 8][m.entry[i] & 0xFF];
  const std::array<double, 4>& second = ramps[m.entry[j] >> 8][m.entry[j] & 0xFF];
  uint32_t channels[2] = {0, 0};
  for (int c = 0; c < 3; ++c) {
    const V ramp = Pair(first[c], second[c]);
    const V value = Select(_mm_cmpeq_pd(ramp.v, _mm_set1_pd(kTakeQ)), q, p + rise * ramp);
    const IntPair bytes = RoundClamped(value * All(255.0));
    channels[0] |= static_cast<uint32_t>(bytes.first) << (8 * c);
    channels[1] |= static_cast<uint32_t>(bytes.second) << (8 * c);
  }
  out[i] = channels[0];
  out[j] = channels[1];
}

}  // namespace

FCEffectHueSaturation::FCEffectHueSaturation(const Tables& hue, const Tables& saturation)
    : hue_(hue), saturation_(saturation) {
  // Entries are divided by 255 and used as fractions; outside 0..255 they would mean nothing.
  for (auto* tables : {&hue_, &saturation_}) {
    for (auto& sector : *tables) {
      for (auto& entry : sector) entry = std::clamp(entry, 0, 255);
    }
  }
}

struct FCEffectHueSaturation::CacheSlot {
  uint32_t key;
  uint32_t value;
};

// Where a walk without the cache lists what it must do again exactly: the blocks in doubt, then
// their colours in doubt one by one.
struct FCEffectHueSaturation::RowScratch {
  struct Block {
    uint32_t colours[4];
    int x;     // of its first pixel
    int mask;  // bit i: colour i is in doubt
  };
  struct Pixel {
    uint32_t colour;
    int x;
  };
  explicit RowScratch(int width)
      : blocks(std::make_unique<Block[]>((width + 3) / 4)), pixels(std::make_unique<Pixel[]>(width + 4)) {}
  std::unique_ptr<Block[]> blocks;
  std::unique_ptr<Pixel[]> pixels;
};

FCEffectHueSaturation::~FCEffectHueSaturation() = default;

void FCEffectHueSaturation::Prepare(FCObjImage&) {
  for (int sector = 0; sector < 6; ++sector) {
    for (int v = 0; v < 256; ++v) {
      const double hue = First(All(hue_[sector][v]) / All(255.0));
      saturation_fraction_[sector][v] = First(All(saturation_[sector][v]) / All(255.0));
      const V t = All(6.0) * All(hue);
      ramps_[sector][v] = {ChannelRamp(t - All(2.0)), ChannelRamp(t), ChannelRamp(t + All(2.0)), 0.0};
      saturation_single_[sector][v] = static_cast<float>(saturation_fraction_[sector][v]);
      // In single floats q is p + (q - p) x 1, within the error the way back allows for.
      for (int c = 0; c < 4; ++c) {
        ramps_single_[sector][v][c] = ramps_[sector][v][c] == kTakeQ ? 1.0f : static_cast<float>(ramps_[sector][v][c]);
      }
    }
  }
}

namespace {

// The way back from the model for four colours, packed like them. It runs in single floats,
// four pixels per register. Their error, from the rounding of the inputs and of about ten
// operations on values of at most 2, stays below 0.001 of a channel step; so wherever the value
// before truncation lies farther than 1/256 from a whole number it truncates to the same byte
// as the doubles would. The pixels closer than that are returned in close (bit i for pixel i)
// and must take the doubles (ExactBack).
// The values lie within 0..1 (q at most 1, p at least 0), so the bytes need no clamping.
template <typename Saturations, typename Ramps>
[[gnu::always_inline]] inline __m128i WayBack(const PixelModels& m, const Saturations& saturations, const Ramps& ramps,
                                              int& close) {
  const __m128 lightness = _mm_mul_ps(_mm_cvtepi32_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(m.lightness))),
                                      _mm_set1_ps(1.0f / 510));
  const float* s = saturations[0].data();
  const __m128 saturation =
      _mm_setr_ps(s[(m.entry[0] & ~0xFF) + m.saturation[0]], s[(m.entry[1] & ~0xFF) + m.saturation[1]],
                  s[(m.entry[2] & ~0xFF) + m.saturation[2]], s[(m.entry[3] & ~0xFF) + m.saturation[3]]);
  const __m128 bright = _mm_cmpgt_ps(lightness, _mm_set1_ps(0.5f));
  const __m128 above = _mm_sub_ps(_mm_add_ps(lightness, saturation), _mm_mul_ps(lightness, saturation));
  const __m128 below = _mm_mul_ps(lightness, _mm_add_ps(_mm_set1_ps(1.0f), saturation));
  const __m128 q = _mm_or_ps(_mm_and_ps(bright, above), _mm_andnot_ps(bright, below));
  const __m128 p = _mm_sub_ps(_mm_add_ps(lightness, lightness), q);
  const __m128 rise = _mm_sub_ps(q, p);
  const auto* entries = ramps[0].data();
  __m128 blue = _mm_load_ps(entries[m.entry[0]].data());
  __m128 green = _mm_load_ps(entries[m.entry[1]].data());
  __m128 red = _mm_load_ps(entries[m.entry[2]].data());
  __m128 unused = _mm_load_ps(entries[m.entry[3]].data());
  _MM_TRANSPOSE4_PS(blue, green, red, unused);
  // Adding 65536.5 (2^16 + 0.5) leaves the sum with steps of 1/128: its low 7 bits hold the
  // fraction of value x 255 + 0.5 rounded to those steps, the 8 above them its integer part, the
  // byte. A fraction that rounds to 0 lies within 1/256 of a whole number (and may have carried
  // into the byte): such a colour is in doubt.
  __m128i doubtful = _mm_setzero_si128();
  const __m128i byte = _mm_set1_epi32(0xFF);
  const __m128i steps = _mm_set1_epi32(0x7F);
  __m128i channels[3];
  int c = 0;
  for (const __m128 ramp : {blue, green, red}) {
    const __m128 value = _mm_add_ps(p, _mm_mul_ps(rise, ramp));
    const __m128i bits =
        _mm_castps_si128(_mm_add_ps(_mm_mul_ps(value, _mm_set1_ps(255.0f)), _mm_set1_ps(65536.5f)));
    doubtful = _mm_or_si128(doubtful, _mm_cmpeq_epi32(_mm_and_si128(bits, steps), _mm_setzero_si128()));
    channels[c++] = bits;
  }
  const __m128i packed = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(channels[0], 7), byte),
                                      _mm_or_si128(_mm_and_si128(_mm_slli_epi32(channels[1], 1), _mm_slli_epi32(byte, 8)),
                                                   _mm_and_si128(_mm_slli_epi32(channels[2], 9), _mm_slli_epi32(byte, 16))));
  close = _mm_movemask_ps(_mm_castsi128_ps(doubtful));
  return packed;
}

}  // namespace

// Exactly the formula's bytes, for four colours at once.
// Inlined into the row loops: a call per four pixels would save and restore the callee-saved SSE
// registers each time.
[[gnu::always_inline]] inline __m128i FCEffectHueSaturation::Adjust(__m128i bgr) const {
  const ModelTables& model = Model();
  alignas(16) PixelModels m;
  if (const int onBound = ModelsOf(model, bgr, m)) HuesByDoubles(model, bgr, onBound, m);
  int close;
  const __m128i packed = WayBack(m, saturation_single_, ramps_single_, close);
  if (close) {
    alignas(16) uint32_t out[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(out), packed);
    if (close & 3) ExactBack(model, m, 0, saturation_fraction_, ramps_, out);
    if (close & 12) ExactBack(model, m, 2, saturation_fraction_, ramps_, out);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
  }
  return packed;
}

// The same for colours that are all expected to need the double arithmetic: both parts of it run
// for all four without a branch.
[[gnu::always_inline]] inline __m128i FCEffectHueSaturation::AdjustExactly(__m128i bgr) const {
  const ModelTables& model = Model();
  alignas(16) PixelModels m;
  HuesByDoubles(model, bgr, ModelsOf(model, bgr, m), m);
  alignas(16) uint32_t out[4];
  ExactBack(model, m, 0, saturation_fraction_, ramps_, out);
  ExactBack(model, m, 2, saturation_fraction_, ramps_, out);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
}

// The same without the double arithmetic: doubts is nonzero when a colour of the four needs it,
// and then Adjust must give the result instead. Without branches on the rare colours, the
// processor can work on several blocks at once.
[[gnu::always_inline]] inline __m128i FCEffectHueSaturation::AdjustQuickly(__m128i bgr, int& doubts) const {
  alignas(16) PixelModels m;
  const int onBound = ModelsOf(Model(), bgr, m);
  int close;
  const __m128i packed = WayBack(m, saturation_single_, ramps_single_, close);
  doubts = onBound | close;
  return packed;
}

void FCEffectHueSaturation::ProcessPixelAt(FCObjImage&, int, int, uint8_t* pixel) {
  const uint32_t result = static_cast<uint32_t>(
      _mm_cvtsi128_si32(Adjust(_mm_set1_epi32(static_cast<int>(pixel[0] | pixel[1] << 8 | pixel[2] << 16)))));
  pixel[0] = static_cast<uint8_t>(result);
  pixel[1] = static_cast<uint8_t>(result >> 8);
  pixel[2] = static_cast<uint8_t>(result >> 16);
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

// Writes the first count of four results to the pixels at at.
template <int kBytes>
inline void WriteBlock(uint8_t* at, int count, __m128i results) {
  if (kBytes == 4 && count == 4) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_or_si128(_mm_and_si128(old, alpha), results));
    return;
  }
  alignas(16) uint32_t values[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(values), results);
  for (int i = 0; i < count; ++i) PixelAccess<kBytes>::Write(at + i * kBytes, values[i]);
}

}  // namespace

// Four pixels at a time; the last few pixels of a row are padded with a copy of the first of
// them. With a cache: when it holds all four colours their results come from it, otherwise all
// four are computed and kept. Without: the blocks that need the double arithmetic are listed in
// doubts; once the row is through, their colours in doubt are gathered four at a time and done
// again exactly. Returns the number of blocks the cache served.
template <int kBytes>
int FCEffectHueSaturation::AdjustRow(uint8_t* row, int width, CacheSlot* cache, RowScratch& scratch) const {
  using Access = PixelAccess<kBytes>;
  int served = 0;
  int doubted = 0;
  RowScratch::Block* doubts = scratch.blocks.get();
  for (int x = 0; x < width; x += 4) {
    uint8_t* at = row + x * kBytes;
    const int count = std::min(4, width - x);
    __m128i colours;
    uint32_t keys[4];
    if (kBytes == 4 && count == 4) {
      colours = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi32(0xFFFFFF));
      for (int i = 0; i < 4; ++i) keys[i] = Access::Read(at + i * kBytes);
    } else {
      for (int i = 0; i < 4; ++i) keys[i] = Access::Read(at + (i < count ? i : 0) * kBytes);
      // Built from the values, not loaded from the array just written: a wide load of narrow
      // stores would wait for them to reach the cache.
      colours = _mm_setr_epi32(static_cast<int>(keys[0]), static_cast<int>(keys[1]), static_cast<int>(keys[2]),
                               static_cast<int>(keys[3]));
    }
    __m128i results;
    if (cache) {
      uint32_t slots[4];
      bool cached = true;
      for (int i = 0; i < 4; ++i) {
        slots[i] = SlotOf(keys[i]);
        cached = cached && cache[slots[i]].key == keys[i];
      }
      if (cached) {
        ++served;
        results = _mm_setr_epi32(static_cast<int>(cache[slots[0]].value), static_cast<int>(cache[slots[1]].value),
                                 static_cast<int>(cache[slots[2]].value), static_cast<int>(cache[slots[3]].value));
      } else {
        results = Adjust(colours);
        alignas(16) uint32_t values[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(values), results);
        for (int i = 0; i < 4; ++i) cache[slots[i]] = {keys[i], values[i]};
      }
    } else {
      int doubt;
      results = AdjustQuickly(colours, doubt);
      // Listed without a branch: the entry is kept only when the block is in doubt.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(doubts[doubted].colours), colours);
      doubts[doubted].x = x;
      doubts[doubted].mask = doubt;
      doubted += doubt != 0;
    }
    WriteBlock<kBytes>(at, count, results);
  }
  // The colours in doubt, one after the other (without a branch again), then four at a time.
  RowScratch::Pixel* pixels = scratch.pixels.get();
  int listed = 0;
  for (int i = 0; i < doubted; ++i) {
    for (int j = 0; j < 4; ++j) {
      pixels[listed] = {doubts[i].colours[j], doubts[i].x + j};
      // A padded copy past the row's end is never in doubt on its own: its first colour is.
      listed += ((doubts[i].mask >> j) & 1) & (doubts[i].x + j < width);
    }
  }
  for (int i = 0; i < listed; i += 4) {
    const int count = std::min(4, listed - i);
    alignas(16) uint32_t results[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(results),
                    AdjustExactly(_mm_setr_epi32(static_cast<int>(pixels[i].colour),
                                                 static_cast<int>(pixels[i + (1 % count)].colour),
                                                 static_cast<int>(pixels[i + (2 % count)].colour),
                                                 static_cast<int>(pixels[i + (3 % count)].colour))));
    for (int k = 0; k < count; ++k) Access::Write(row + pixels[i + k].x * kBytes, results[k]);
  }
  return served;
}

void FCEffectHueSaturation::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  constexpr size_t kSlots = size_t{1} << kCacheBits;
  // One cache for each half of the rows.
  if (!cache_) cache_ = std::make_unique<CacheSlot[]>(2 * kSlots);
  std::fill_n(cache_.get(), 2 * kSlots, CacheSlot{kEmptyKey, 0});
  (void)Model();
  const int width = image.Width();
  const int blocks = (width + 3) / 4;
  // A row whose colours the cache hardly knew (noise, fine texture) makes the next rows of its
  // half go without it: looking up and keeping colours that never come back costs more than it
  // saves. Every so often a row tries the cache again.
  constexpr int kRowsWithout = 15;
  struct Half {
    CacheSlot* cache;
    RowScratch scratch;
    int rows_without;
  };
  Half halves[2] = {{cache_.get(), RowScratch(width), 0}, {cache_.get() + kSlots, RowScratch(width), 0}};
  auto walk = [&](auto adjustRow) {
    WalkRowsInHalves(image, observer, [&](int, uint8_t* row, int index) {
      Half& half = halves[index];
      if (half.rows_without > 0) {
        --half.rows_without;
        adjustRow(row, nullptr, half.scratch);
      } else if (adjustRow(row, half.cache, half.scratch) * 8 < blocks) {
        half.rows_without = kRowsWithout;
      }
    });
  };
  if (image.BitsPerPixel() == 32) {
    walk([&](uint8_t* row, CacheSlot* cache, RowScratch& scratch) { return AdjustRow<4>(row, width, cache, scratch); });
  } else {
    walk([&](uint8_t* row, CacheSlot* cache, RowScratch& scratch) { return AdjustRow<3>(row, width, cache, scratch); });
  }
}
