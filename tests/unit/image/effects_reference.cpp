#include "effects_reference.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace effects_reference {
namespace {

int PixelBytes(const FCObjImage& image) { return image.BitsPerPixel() / 8; }

int Round(double x) { return static_cast<int>(x + 0.5); }

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

int ClampChannel(int v) { return v > 254 ? 255 : (v <= 0 ? 0 : v); }

double ToRgb(double p, double q, double t) {
  if (t < 0) t += 6;
  if (t > 6) t -= 6;
  if (t < 1) return p + (q - p) * t;
  if (t < 3) return q;
  if (t < 4) return p + (q - p) * (4 - t);
  return p;
}

}  // namespace

void Mirror(FCObjImage& image) {
  const int n = PixelBytes(image);
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width() / 2; ++x) {
      uint8_t* a = image.PixelPointer(x, y);
      uint8_t* b = image.PixelPointer(image.Width() - 1 - x, y);
      for (int i = 0; i < n; ++i) std::swap(a[i], b[i]);
    }
  }
}

void BrightnessContrast(FCObjImage& image, int brightness, int contrast) {
  int table[256];
  for (int v = 0; v < 256; ++v) {
    int e = static_cast<int>((contrast + 100) / 100.0 * (v - 128) + (brightness + 128) + 0.5);
    if (e > 254) e = 255;
    if (e <= 0) e = 0;
    table[v] = e;
  }
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      uint8_t* p = image.PixelPointer(x, y);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(table[p[c]]);
    }
  }
}

void HueSaturation(FCObjImage& image, const Tables& hue, const Tables& saturation) {
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      uint8_t* p = image.PixelPointer(x, y);
      const int R = p[2], G = p[1], B = p[0];
      const int mx = std::max(R, std::max(G, B));
      const int mn = std::min(R, std::min(G, B));
      const double L = (mx + mn) * 0.5 / 255;
      double H = 0, S = 0;
      if (mx != mn) {
        const double M = mx / 255.0, m = mn / 255.0, d = M - m;
        S = L < 0.5 ? d / (M + m) : d / (2 - M - m);
        if (R == mx) {
          H = (G / 255.0 - B / 255.0) / d;
        } else if (G == mx) {
          H = (B / 255.0 - R / 255.0) / d + 2;
        } else {
          H = (R / 255.0 - G / 255.0) / d + 4;
        }
        H = H / 6;
        if (H < 0) H += 1;
      }
      const double h = H * 255;
      int sector = 0;
      if (h < 21) sector = 0;
      else if (h < 64) sector = 1;
      else if (h < 106) sector = 2;
      else if (h < 149) sector = 3;
      else if (h < 192) sector = 4;
      else if (h < 234) sector = 5;
      const double H2 = hue[sector][Round(Clamp(h, 0, 255))] / 255.0;
      const double S2 = saturation[sector][Round(Clamp(S * 255, 0, 255))] / 255.0;
      double rgb[3];
      if (S2 == 0) {
        rgb[0] = rgb[1] = rgb[2] = L;
      } else {
        const double q = L > 0.5 ? L + S2 - L * S2 : L * (1 + S2);
        const double pp = 2 * L - q;
        rgb[0] = ToRgb(pp, q, 6 * H2 + 2);
        rgb[1] = ToRgb(pp, q, 6 * H2);
        rgb[2] = ToRgb(pp, q, 6 * H2 - 2);
      }
      p[2] = static_cast<uint8_t>(static_cast<int>(Clamp(rgb[0] * 255, 0, 255) + 0.5));
      p[1] = static_cast<uint8_t>(static_cast<int>(Clamp(rgb[1] * 255, 0, 255) + 0.5));
      p[0] = static_cast<uint8_t>(static_cast<int>(Clamp(rgb[2] * 255, 0, 255) + 0.5));
    }
  }
}

void Convolute(FCObjImage& image, const std::vector<int32_t>& kernel, int size, int divisor,
               int offset) {
  const FCObjImage copy = image;
  const int w = image.Width(), h = image.Height();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int sum[3] = {0, 0, 0};
      int j = 0;
      for (int wy = y - size / 2; wy < y - size / 2 + size; ++wy) {
        for (int wx = x - size / 2; wx < x - size / 2 + size; ++wx, ++j) {
          const uint8_t* s = copy.PixelPointer(std::clamp(wx, 0, w - 1), std::clamp(wy, 0, h - 1));
          for (int c = 0; c < 3; ++c) sum[c] += kernel[j] * s[c];
        }
      }
      uint8_t* p = image.PixelPointer(x, y);
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(ClampChannel(sum[c] / divisor + offset));
    }
  }
}

void FillAlpha(FCObjImage& image, int percent) {
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      uint8_t* p = image.PixelPointer(x, y);
      const int a = p[3] * percent / 100;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(p[c] * a / 255);
      p[3] = static_cast<uint8_t>(a);
    }
  }
}

FCObjImage RandomImage(int width, int signedHeight, int bitsPerPixel, uint32_t seed, int palette) {
  FCObjImage image;
  if (!image.Create(width, signedHeight, bitsPerPixel)) return image;
  std::mt19937 random(seed);
  std::vector<uint8_t> levels(palette);
  for (auto& level : levels) level = static_cast<uint8_t>(random());
  const size_t size = static_cast<size_t>(image.Stride()) * image.Height();
  for (size_t i = 0; i < size; ++i) image.PixelMemory()[i] = levels[random() % palette];
  return image;
}

std::vector<uint8_t> Bytes(const FCObjImage& image) {
  const size_t size = static_cast<size_t>(image.Stride()) * image.Height();
  return std::vector<uint8_t>(image.PixelMemory(), image.PixelMemory() + size);
}

}  // namespace effects_reference
