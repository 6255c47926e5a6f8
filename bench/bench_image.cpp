// The pixel effects on a camera-sized picture (6000 x 4000, 32 bits, top-down as decoded), each
// as a ratio to memcpy of the same bytes, measured in interleaved rounds in one run.
//   bench_image.exe [width height [rounds [only]]]   (default 6000 x 4000, 7 rounds; medians shown;
//                                                   only: run just the effects whose name has it)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/bench_photo.h"
#include "bench/bench_timing.h"
#include "image/effect/effects.h"
#include "image/obj_image.h"

namespace {

// Smooth colour fields with fine noise shared by the channels; the same fields with a camera
// sensor's noise, as in a real photo; or pure noise, the worst case for effects that reuse
// results per colour.
enum class Picture { kSmooth, kSensor, kNoise };

void Fill(FCObjImage& image, Picture picture) {
  uint32_t seed = 7;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed;
  };
  bench::SensorNoise sensorNoise(11);
  const auto sensor = [&] { return sensorNoise.Next(); };
  const int width = image.Width();
  const int height = image.Height();
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < width; ++x, p += 4) {
      const uint32_t random = next();
      if (picture == Picture::kNoise) {
        std::memcpy(p, &random, 3);
        p[3] = 255;
        continue;
      }
      const int shared = static_cast<int>(random >> 28) - 8;
      const int noise[3] = {picture == Picture::kSensor ? sensor() : shared,
                            picture == Picture::kSensor ? sensor() : shared,
                            picture == Picture::kSensor ? sensor() : shared};
      p[0] = static_cast<uint8_t>(std::clamp(40 + 160 * y / height + noise[0], 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(90 + 100 * ((x / 97 + y / 61) % 2) + noise[1], 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp(200 - 150 * x / width + noise[2], 0, 255));
      p[3] = 255;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int height = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
  const std::string only = argc > 4 ? argv[4] : "";
  FCObjImage photo, sensor, noise, work;
  if (!photo.Create(width, -height, 32) || !sensor.Create(width, -height, 32) ||
      !noise.Create(width, -height, 32) || !work.Create(width, -height, 32)) {
    std::fprintf(stderr, "cannot create %d x %d pictures\n", width, height);
    return 1;
  }
  Fill(photo, Picture::kSmooth);
  Fill(sensor, Picture::kSensor);
  Fill(noise, Picture::kNoise);
  const size_t bytes = static_cast<size_t>(photo.Stride()) * height;
  std::printf("%d x %d x 32 bits (%.1f MB), %d rounds\n", width, height, bytes / 1048576.0, rounds);

  const auto from = [&](const FCObjImage& source) {
    return [&] { std::memcpy(work.PixelMemory(), source.PixelMemory(), bytes); };
  };
  const auto run = [&](auto make) { return [&, make] { ExecuteEffect(work, make(), nullptr); }; };

  bench::Rounds all;
  struct Filtered {
    bench::Rounds& rounds;
    const std::string& only;
    void Add(const std::string& name, bench::Rounds::Step setup, bench::Rounds::Step work, double aim = 0) {
      if (only.empty() || name.find(only) != std::string::npos || name.rfind("memcpy", 0) == 0) {
        rounds.Add(name, std::move(setup), std::move(work), aim);
      }
    }
    void Run(int n) { rounds.Run(n); }
    void Print() const { rounds.Print(); }
  } table{all, only};
  table.Add("memcpy (baseline)", nullptr,
            [&] { std::memcpy(work.PixelMemory(), photo.PixelMemory(), bytes); });
  table.Add("mirror", from(photo), run([] { return std::make_unique<FCEffectMirror>(); }), 3);
  table.Add("brightness +20 (enhancement 1)", from(photo),
            run([] { return std::make_unique<FCEffectBrightnessContrast>(20, 0); }), 3);
  table.Add("brightness +20 contrast +30 (any table)", from(photo),
            run([] { return std::make_unique<FCEffectBrightnessContrast>(20, 30); }));
  table.Add("hue/saturation x1.2 (enhancement 2)", from(photo),
            [&] { ApplyViewEnhancement(work, 2, nullptr); }, 6);
  table.Add("hue/saturation x1.2 on sensor noise", from(sensor),
            [&] { ApplyViewEnhancement(work, 2, nullptr); }, 6);
  table.Add("hue/saturation x1.2 on pure noise", from(noise),
            [&] { ApplyViewEnhancement(work, 2, nullptr); }, 6);
  table.Add("sharpen (enhancement 3)", from(photo), [&] { ApplyViewEnhancement(work, 3, nullptr); },
            10);
  table.Add("fill alpha 50%", from(photo),
            run([] { return std::make_unique<main_view::CEffectFillCurrentAlpha>(50); }));
  table.Run(rounds);
  table.Print();
  return 0;
}
