#pragma once
// The effects' formulas written out literally, one pixel at a time, for checking the production
// effects (which work a row or sixteen channels at a time) byte for byte.
#include <array>
#include <cstdint>
#include <vector>

#include "image/obj_image.h"

namespace effects_reference {

using Tables = std::array<std::array<int32_t, 256>, 6>;

void Mirror(FCObjImage& image);
void BrightnessContrast(FCObjImage& image, int brightness, int contrast);
void HueSaturation(FCObjImage& image, const Tables& hue, const Tables& saturation);
void Convolute(FCObjImage& image, const std::vector<int32_t>& kernel, int size, int divisor,
               int offset);
void FillAlpha(FCObjImage& image, int percent);

// A picture of random bytes (padding included) from a fixed seed. With a small palette the
// channels take only that many values, so colours repeat as they do in photos.
FCObjImage RandomImage(int width, int signedHeight, int bitsPerPixel, uint32_t seed,
                       int palette = 256);
// The whole stored block, padding included.
std::vector<uint8_t> Bytes(const FCObjImage& image);

}  // namespace effects_reference
