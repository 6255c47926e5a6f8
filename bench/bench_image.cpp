// The pixel effects on a camera-sized picture (6000 x 4000, 32 bits, top-down as decoded), each
// as a ratio to memcpy of the same bytes, measured in interleaved rounds in one run.
//   bench_image.exe [width height [rounds]]     (default 6000 x 4000, 7 rounds; medians shown)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench/bench_timing.h"
#include "image/effect/effects.h"
#include "image/obj_image.h"

namespace {

// Smooth colour fields with fine noise, as in a photograph; or pure noise, the worst case for
// effects that reuse results per colour.
void Fill(FCObjImage& image, bool noiseOnly) {
  uint32_t seed = 7;
  const int width = image.Width();
  const int height = image.Height();
  for (int y = 0; y < height; ++y) {
    uint8_t* p = image.RowPointer(y);
    for (int x = 0; x < width; ++x, p += 4) {
      seed = seed * 1664525u + 1013904223u;
      if (noiseOnly) {
        std::memcpy(p, &seed, 3);
        p[3] = 255;
        continue;
      }
      const int noise = static_cast<int>(seed >> 28) - 8;
      p[0] = static_cast<uint8_t>(std::clamp(40 + 160 * y / height + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(90 + 100 * ((x / 97 + y / 61) % 2) + noise, 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp(200 - 150 * x / width + noise, 0, 255));
      p[3] = 255;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int height = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
  FCObjImage photo, noise, work;
  if (!photo.Create(width, -height, 32) || !noise.Create(width, -height, 32) ||
      !work.Create(width, -height, 32)) {
    std::fprintf(stderr, "cannot create %d x %d pictures\n", width, height);
    return 1;
  }
  Fill(photo, false);
  Fill(noise, true);
  const size_t bytes = static_cast<size_t>(photo.Stride()) * height;
  std::printf("%d x %d x 32 bits (%.1f MB), %d rounds\n", width, height, bytes / 1048576.0, rounds);

  const auto from = [&](const FCObjImage& source) {
    return [&] { std::memcpy(work.PixelMemory(), source.PixelMemory(), bytes); };
  };
  const auto run = [&](auto make) { return [&, make] { ExecuteEffect(work, make(), nullptr); }; };

  bench::Rounds table;
  table.Add("memcpy (baseline)", nullptr,
            [&] { std::memcpy(work.PixelMemory(), photo.PixelMemory(), bytes); });
  table.Add("mirror", from(photo), run([] { return std::make_unique<FCEffectMirror>(); }), 3);
  table.Add("brightness +20 (enhancement 1)", from(photo),
            run([] { return std::make_unique<FCEffectBrightnessContrast>(20, 0); }), 3);
  table.Add("brightness +20 contrast +30 (any table)", from(photo),
            run([] { return std::make_unique<FCEffectBrightnessContrast>(20, 30); }));
  table.Add("hue/saturation x1.2 (enhancement 2)", from(photo),
            [&] { ApplyViewEnhancement(work, 2, nullptr); }, 15);
  table.Add("hue/saturation x1.2 on pure noise", from(noise),
            [&] { ApplyViewEnhancement(work, 2, nullptr); });
  table.Add("sharpen (enhancement 3)", from(photo), [&] { ApplyViewEnhancement(work, 3, nullptr); },
            10);
  table.Add("fill alpha 50%", from(photo),
            run([] { return std::make_unique<main_view::CEffectFillCurrentAlpha>(50); }));
  table.Run(rounds);
  table.Print();
  return 0;
}
