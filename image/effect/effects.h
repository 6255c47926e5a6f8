#pragma once
// Pixel effects over an FCObjImage and the one runner that drives them.
//
// The runner asks an effect whether it takes the image, lets it prepare, then either hands it the
// whole image (ProcessKind 0) or walks the rows top to bottom and the pixels left to right
// (ProcessKind 1), reporting progress per row to an optional observer that can stop the walk.
// The effects that run on full-size photos do their work a row at a time (ProcessKind 0) through
// the same row walk, so progress and stopping behave exactly as in the pixel walk.
#include <windows.h>
#include <emmintrin.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/obj_image.h"

// Progress and cancel callback of a running effect.
class FCProgressObserver {
 public:
  FCProgressObserver() = default;
  virtual ~FCProgressObserver() = default;
  FCProgressObserver(const FCProgressObserver&) = delete;
  FCProgressObserver& operator=(const FCProgressObserver&) = delete;

  // percent 0..100; false asks the runner to stop.
  virtual bool ReportProgress(int percent) = 0;

  // Set by the runner when ReportProgress answered false; a set flag ends a row walk.
  void SetStopFlag() noexcept { stop_ = 1; }
  bool IsStopped() const noexcept { return stop_ != 0; }

 private:
  int32_t stop_ = 0;
};

class FCImageEffect {
 public:
  FCImageEffect() = default;
  virtual ~FCImageEffect() = default;
  FCImageEffect(const FCImageEffect&) = delete;
  FCImageEffect& operator=(const FCImageEffect&) = delete;

  // Base: 24 or 32 bits per pixel.
  virtual bool Accepts(const FCObjImage& image) const;
  // 0 = whole image (ProcessImage), 1 = pixel by pixel (ProcessPixelAt). Base: 1.
  virtual int ProcessKind() const { return 1; }
  virtual void Prepare(FCObjImage& image);
  virtual void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel);
  virtual void ProcessImage(FCObjImage& image, FCProgressObserver* observer);

 protected:
  // Calls processRow(y, row) for y = 0..height-1 and reports 100 * (y + 1) / height after each row.
  // Ends after a row when the observer answers false or its stop flag is set.
  template <typename RowFn>
  static void WalkRows(FCObjImage& image, FCProgressObserver* observer, RowFn&& processRow) {
    const int height = image.Height();
    for (int y = 0; y < height; ++y) {
      processRow(y, image.RowPointer(y));
      if (observer) {
        const int percent = static_cast<int>(100LL * (y + 1) / height);
        if (!observer->ReportProgress(percent)) {
          observer->SetStopFlag();
          return;
        }
        if (observer->IsStopped()) return;
      }
    }
  }

  // As WalkRows, but on a large picture and a machine with a second processor the bottom half of
  // the rows goes to a thread of its own: processRow(y, row, half) with half 0 for the top, 1 for
  // the bottom, so that each half can keep state of its own. Progress counts the rows of both;
  // a stop ends both after their current row.
  static void WalkRowsInHalves(FCObjImage& image, FCProgressObserver* observer,
                               const std::function<void(int, uint8_t*, int)>& processRow);

  friend void ExecuteEffect(FCObjImage&, std::unique_ptr<FCImageEffect>, FCProgressObserver*);
};

// Runs the effect on the image and destroys it.
void ExecuteEffect(FCObjImage& image, std::unique_ptr<FCImageEffect> effect,
                   FCProgressObserver* observer);

// Builds the effect of the process-wide view enhancement mode (AppConfig::view_enhance_mode) and
// runs it; mode 0 or an unknown mode does nothing.
void ApplyViewEnhancement(FCObjImage& image, FCProgressObserver* observer);
// The same for a given mode.
void ApplyViewEnhancement(FCObjImage& image, int mode, FCProgressObserver* observer);

// Horizontal mirror: the pixel at x changes place with the pixel at width - 1 - x.
class FCEffectMirror : public FCImageEffect {
 public:
  int ProcessKind() const override { return 0; }
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override;
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;
};

// Replaces blue, green and red through a 256-entry table filled by ComputeTableEntry.
class FCEffectLUT : public FCImageEffect {
 public:
  int ProcessKind() const override { return 0; }
  void Prepare(FCObjImage& image) override;
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override;
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;
  virtual int ComputeTableEntry(int value) const = 0;

 protected:
  std::array<int32_t, 256> table_{};
};

class FCEffectBrightnessContrast : public FCEffectLUT {
 public:
  // brightness is added to every channel; contrast is a percent change around the middle grey.
  FCEffectBrightnessContrast(int brightness, int contrast)
      : brightness_(brightness), contrast_(contrast) {}
  int ComputeTableEntry(int value) const override;

 private:
  int brightness_;
  int contrast_;
};

// Per-sector hue and saturation tables over a hue/lightness/saturation model. Sectors split the
// hue circle at 21, 64, 106, 149, 192 and 234 (of 255); table values are 0..255.
class FCEffectHueSaturation : public FCImageEffect {
 public:
  using Tables = std::array<std::array<int32_t, 256>, 6>;
  FCEffectHueSaturation(const Tables& hue, const Tables& saturation);
  ~FCEffectHueSaturation() override;

  int ProcessKind() const override { return 0; }
  void Prepare(FCObjImage& image) override;
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override;
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;

 private:
  // Per new-hue entry: the ramps of blue, green and red (see the source), padded to 32 bytes.
  using Ramps = std::array<double, 4>;
  struct CacheSlot;
  struct RowScratch;
  // Four colours (blue in the low byte, then green and red; the top byte 0) in, their results out.
  __m128i Adjust(__m128i bgr) const;
  __m128i AdjustExactly(__m128i bgr) const;
  __m128i AdjustQuickly(__m128i bgr, int& doubts) const;
  template <int kBytes>
  int AdjustRow(uint8_t* row, int width, CacheSlot* cache, RowScratch& scratch) const;

  Tables hue_;
  Tables saturation_;
  // Filled by Prepare.
  std::array<std::array<double, 256>, 6> saturation_fraction_{};
  std::array<std::array<Ramps, 256>, 6> ramps_{};
  // The same in single floats, for the fast way back.
  std::array<std::array<float, 256>, 6> saturation_single_{};
  struct alignas(16) SingleRamps : std::array<float, 4> {};
  std::array<std::array<SingleRamps, 256>, 6> ramps_single_{};
  std::unique_ptr<CacheSlot[]> cache_;
};

// A square convolution kernel over blue, green and red; samples beyond the borders repeat the
// edge pixels. Every sample is read as the picture was before the effect, so results do not feed
// into neighbours.
class FCEffectConvolute : public FCImageEffect {
 public:
  // kernel holds size x size integers, row-major. A divisor of 0 makes the effect refuse images.
  FCEffectConvolute(std::vector<int32_t> kernel, int size, int divisor, int offset);

  bool Accepts(const FCObjImage& image) const override;
  int ProcessKind() const override { return 0; }
  // The pixel-by-pixel form reads from a snapshot of the whole picture taken at its first pixel.
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override;
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;

 private:
  std::vector<int32_t> kernel_;
  int size_;
  int divisor_;
  int offset_;
  FCObjImage snapshot_;
};

// Sharpen: -1 around, 18 in the middle, divided by 10.
class FCEffectSharp : public FCEffectConvolute {
 public:
  FCEffectSharp();
};

// Turns straight alpha into premultiplied colour (32-bit images only).
class FCEffectPremultipleAlpha : public FCImageEffect {
 public:
  FCEffectPremultipleAlpha() : FCEffectPremultipleAlpha(100) {}

  bool Accepts(const FCObjImage& image) const override;
  int ProcessKind() const override { return 0; }
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override;
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;

 protected:
  // The alpha is first scaled by percent / 100 (clamped to 0..100).
  explicit FCEffectPremultipleAlpha(int percent);

 private:
  int percent_;
};

namespace main_view {
// Fades a picture: alpha scaled by the opacity percent, colour premultiplied by the new alpha.
class CEffectFillCurrentAlpha : public FCEffectPremultipleAlpha {
 public:
  explicit CEffectFillCurrentAlpha(int percent) : FCEffectPremultipleAlpha(percent) {}
};
}  // namespace main_view

// Puts the picture on the clipboard as a device-independent bitmap and, when the path names an
// existing file, the file itself as a drop list with the "copy" drop effect.
class FCEffectCopyToClipboard : public FCImageEffect {
 public:
  explicit FCEffectCopyToClipboard(std::wstring path) : path_(std::move(path)) {}
  int ProcessKind() const override { return 0; }
  void ProcessImage(FCObjImage& image, FCProgressObserver* observer) override;

 private:
  std::wstring path_;
};

namespace view_effect {
// Keeps an effect going while its owner's keep-going flag (a background task's alive flag) is set.
class CEffectProgress : public FCProgressObserver {
 public:
  explicit CEffectProgress(const std::atomic<LONG>* keepGoing) : keep_going_(keepGoing) {}
  bool ReportProgress(int percent) override;

 private:
  const std::atomic<LONG>* keep_going_;
};
}  // namespace view_effect
