#include "image/effect/effects.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "appconfig/app_config.h"

#include "image/effect/sse2.h"

bool FCImageEffect::Accepts(const FCObjImage& image) const { return image.BitsPerPixel() >= 24; }
void FCImageEffect::Prepare(FCObjImage&) {}
void FCImageEffect::ProcessPixelAt(FCObjImage&, int, int, uint8_t*) {}
void FCImageEffect::ProcessImage(FCObjImage&, FCProgressObserver*) {}

namespace {

// The bottom half of the rows, walked by a thread of its own.
struct LowerHalf {
  FCObjImage* image;
  const std::function<void(int, uint8_t*, int)>* processRow;
  int first;
  int last;
  std::atomic<int> done{0};
  std::atomic<int> stop{0};
};

unsigned __stdcall WalkLowerHalf(void* param) noexcept {
  auto& half = *static_cast<LowerHalf*>(param);
  for (int y = half.first; y < half.last && half.stop.load(std::memory_order_relaxed) == 0; ++y) {
    (*half.processRow)(y, half.image->RowPointer(y), 1);
    half.done.fetch_add(1, std::memory_order_relaxed);
  }
  return 0;
}

bool HasSecondProcessor() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 1;
}

}  // namespace

void FCImageEffect::WalkRowsInHalves(FCObjImage& image, FCProgressObserver* observer,
                                     const std::function<void(int, uint8_t*, int)>& processRow) {
  const int height = image.Height();
  constexpr int64_t kSplitPixels = 1 << 18;
  LowerHalf lower{&image, &processRow, height, height};
  HANDLE thread = nullptr;
  if (height >= 2 && int64_t{image.Width()} * height >= kSplitPixels && HasSecondProcessor()) {
    lower.first = height / 2;
    thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &WalkLowerHalf, &lower, 0, nullptr));
    // Without a thread this one walks every row.
    if (!thread) lower.first = height;
  }
  bool stopped = false;
  for (int y = 0; y < lower.first; ++y) {
    processRow(y, image.RowPointer(y), 0);
    if (observer) {
      const int done = y + 1 + lower.done.load(std::memory_order_relaxed);
      if (!observer->ReportProgress(static_cast<int>(100LL * done / height))) {
        observer->SetStopFlag();
        stopped = true;
        break;
      }
      if ((stopped = observer->IsStopped())) break;
    }
  }
  if (!thread) return;
  if (stopped) lower.stop.store(1, std::memory_order_relaxed);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  if (!stopped && observer && !observer->ReportProgress(100)) observer->SetStopFlag();
}

void ExecuteEffect(FCObjImage& image, std::unique_ptr<FCImageEffect> effect,
                   FCProgressObserver* observer) {
  if (!effect || !effect->Accepts(image)) return;
  effect->Prepare(image);
  if (observer && !observer->ReportProgress(0)) observer->SetStopFlag();
  switch (effect->ProcessKind()) {
    case 0:
      effect->ProcessImage(image, observer);
      break;
    case 1: {
      const int width = image.Width();
      const int bytes = image.BitsPerPixel() / 8;
      FCImageEffect::WalkRows(image, observer, [&](int y, uint8_t* row) {
        for (int x = 0; x < width; ++x) effect->ProcessPixelAt(image, x, y, row + x * bytes);
      });
      break;
    }
    default:
      break;
  }
}

namespace view_effect {
bool CEffectProgress::ReportProgress(int) {
  return keep_going_ == nullptr || keep_going_->load(std::memory_order_relaxed) != 0;
}
}  // namespace view_effect

// ---- mirror ----

namespace {

void MirrorRow32(uint8_t* row, int width) {
  int left = 0;
  int right = width - 1;
  // Four pixels from each end at a time, reversed within the block and swapped.
  for (; right - left + 1 >= 8; left += 4, right -= 4) {
    uint8_t* a = row + left * 4;
    uint8_t* b = row + (right - 3) * 4;
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a), _mm_shuffle_epi32(vb, _MM_SHUFFLE(0, 1, 2, 3)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b), _mm_shuffle_epi32(va, _MM_SHUFFLE(0, 1, 2, 3)));
  }
  for (; left < right; ++left, --right) {
    uint32_t a;
    uint32_t b;
    std::memcpy(&a, row + left * 4, 4);
    std::memcpy(&b, row + right * 4, 4);
    std::memcpy(row + left * 4, &b, 4);
    std::memcpy(row + right * 4, &a, 4);
  }
}

void MirrorRow24(uint8_t* row, int width) {
  for (int left = 0, right = width - 1; left < right; ++left, --right) {
    uint8_t* a = row + left * 3;
    uint8_t* b = row + right * 3;
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
    std::swap(a[2], b[2]);
  }
}

}  // namespace

void FCEffectMirror::ProcessPixelAt(FCObjImage& image, int x, int, uint8_t* pixel) {
  const int width = image.Width();
  if (x >= width / 2) return;
  const int bytes = image.BitsPerPixel() / 8;
  std::swap_ranges(pixel, pixel + bytes, pixel + (width - 1 - 2 * x) * bytes);
}

void FCEffectMirror::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  const int width = image.Width();
  const bool wide = image.BitsPerPixel() == 32;
  WalkRows(image, observer, [&](int, uint8_t* row) {
    if (wide) {
      MirrorRow32(row, width);
    } else {
      MirrorRow24(row, width);
    }
  });
}

// ---- lookup table ----

namespace {

// The table's step when it is "value + step, clamped to 0..255", which a saturating byte add
// does sixteen channels at a time; 0 when the table has any other shape (or is the identity).
int SaturatingStep(const std::array<uint8_t, 256>& table) {
  const int step = std::clamp(static_cast<int>(table[128]) - 128, -255, 255);
  for (int v = 0; v < 256; ++v) {
    if (table[v] != std::clamp(v + step, 0, 255)) return 0;
  }
  return step;
}

void LookUpRow(uint8_t* row, int width, int bytes, const std::array<uint8_t, 256>& table) {
  for (int x = 0; x < width; ++x, row += bytes) {
    row[0] = table[row[0]];
    row[1] = table[row[1]];
    row[2] = table[row[2]];
  }
}

// Adds step (saturating) to the colour bytes of a row; 32-bit alpha bytes get 0 added.
void StepRow(uint8_t* row, int width, int bytes, int step, const std::array<uint8_t, 256>& table) {
  const int magnitude = step < 0 ? -step : step;
  const char m = static_cast<char>(magnitude);
  const __m128i add = bytes == 4 ? _mm_setr_epi8(m, m, m, 0, m, m, m, 0, m, m, m, 0, m, m, m, 0)
                                 : _mm_set1_epi8(m);
  // A 24-bit row's channels are one run of bytes, so every byte of it gets the step.
  const int count = width * bytes;
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i* p = reinterpret_cast<__m128i*>(row + i);
    const __m128i v = _mm_loadu_si128(p);
    _mm_storeu_si128(p, step > 0 ? _mm_adds_epu8(v, add) : _mm_subs_epu8(v, add));
  }
  if (bytes == 4) {
    LookUpRow(row + i, (count - i) / 4, 4, table);
  } else {
    for (; i < count; ++i) row[i] = table[row[i]];
  }
}

}  // namespace

void FCEffectLUT::Prepare(FCObjImage&) {
  for (int v = 0; v < 256; ++v) table_[v] = ComputeTableEntry(v);
}

void FCEffectLUT::ProcessPixelAt(FCObjImage&, int, int, uint8_t* pixel) {
  pixel[0] = static_cast<uint8_t>(table_[pixel[0]]);
  pixel[1] = static_cast<uint8_t>(table_[pixel[1]]);
  pixel[2] = static_cast<uint8_t>(table_[pixel[2]]);
}

void FCEffectLUT::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  std::array<uint8_t, 256> bytes_table;
  for (int v = 0; v < 256; ++v) bytes_table[v] = static_cast<uint8_t>(table_[v]);
  const int width = image.Width();
  const int bytes = image.BitsPerPixel() / 8;
  const int step = SaturatingStep(bytes_table);
  if (step != 0) {
    WalkRows(image, observer,
             [&](int, uint8_t* row) { StepRow(row, width, bytes, step, bytes_table); });
    return;
  }
  WalkRows(image, observer, [&](int, uint8_t* row) { LookUpRow(row, width, bytes, bytes_table); });
}

int FCEffectBrightnessContrast::ComputeTableEntry(int value) const {
  const double scaled =
      (contrast_ + 100) / 100.0 * (value - 128) + (brightness_ + 128) + 0.5;
  // Clamped before the integer conversion as well, so extreme parameters cannot overflow it.
  const int entry = static_cast<int>(std::clamp(scaled, -1.0, 256.0));
  if (entry > 254) return 255;
  if (entry <= 0) return 0;
  return entry;
}

// ---- premultiplied alpha ----

FCEffectPremultipleAlpha::FCEffectPremultipleAlpha(int percent)
    : percent_(std::clamp(percent, 0, 100)) {}

bool FCEffectPremultipleAlpha::Accepts(const FCObjImage& image) const {
  return image.BitsPerPixel() == 32;
}

void FCEffectPremultipleAlpha::ProcessPixelAt(FCObjImage&, int, int, uint8_t* pixel) {
  const int alpha = pixel[3] * percent_ / 100;
  pixel[0] = static_cast<uint8_t>(pixel[0] * alpha / 255);
  pixel[1] = static_cast<uint8_t>(pixel[1] * alpha / 255);
  pixel[2] = static_cast<uint8_t>(pixel[2] * alpha / 255);
  pixel[3] = static_cast<uint8_t>(alpha);
}

void FCEffectPremultipleAlpha::ProcessImage(FCObjImage& image, FCProgressObserver* observer) {
  std::array<uint8_t, 256> new_alpha;
  for (int a = 0; a < 256; ++a) new_alpha[a] = static_cast<uint8_t>(a * percent_ / 100);
  const int width = image.Width();
  WalkRows(image, observer, [&](int, uint8_t* row) {
    for (int x = 0; x < width; ++x, row += 4) {
      const unsigned alpha = new_alpha[row[3]];
      row[0] = static_cast<uint8_t>(row[0] * alpha / 255u);
      row[1] = static_cast<uint8_t>(row[1] * alpha / 255u);
      row[2] = static_cast<uint8_t>(row[2] * alpha / 255u);
      row[3] = static_cast<uint8_t>(alpha);
    }
  });
}

// ---- view enhancement ----

FCEffectSharp::FCEffectSharp()
    : FCEffectConvolute({-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0) {}

void ApplyViewEnhancement(FCObjImage& image, int mode, FCProgressObserver* observer) {
  std::unique_ptr<FCImageEffect> effect;
  switch (mode) {
    case 1:
      effect = std::make_unique<FCEffectBrightnessContrast>(20, 0);
      break;
    case 2: {
      FCEffectHueSaturation::Tables hue;
      FCEffectHueSaturation::Tables saturation;
      for (int sector = 0; sector < 6; ++sector) {
        for (int v = 0; v < 256; ++v) {
          hue[sector][v] = v;
          saturation[sector][v] = std::min(255, v * 306 / 255);
        }
      }
      effect = std::make_unique<FCEffectHueSaturation>(hue, saturation);
      break;
    }
    case 3:
      effect = std::make_unique<FCEffectSharp>();
      break;
    default:
      return;
  }
  ExecuteEffect(image, std::move(effect), observer);
}

void ApplyViewEnhancement(FCObjImage& image, FCProgressObserver* observer) {
  ApplyViewEnhancement(image, AppConfig::Get().view_enhance_mode, observer);
}
