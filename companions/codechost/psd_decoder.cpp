// Photoshop documents (PSD, and the large-document variant PSB): the merged picture that the file
// keeps after its layers, in bitmap, grey, indexed, duotone, RGB and CMYK modes, 1, 8 and 16 bits per
// channel, raw or run-length coded. Layers themselves are not read.
#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/codechost/decoders.h"

namespace codechost {

namespace {

enum ColorMode : uint16_t { kBitmap = 0, kGray = 1, kIndexed = 2, kRgb = 3, kCmyk = 4, kDuotone = 8 };

// A bounds-checked big-endian reader over the file.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Skip(uint64_t n) {
    if (n > size_ - at_) return false;
    at_ += static_cast<size_t>(n);
    return true;
  }
  bool U16(uint32_t* v) { return Big(2, v); }
  bool U32(uint32_t* v) { return Big(4, v); }
  bool U64(uint64_t* v) {
    uint32_t hi = 0, lo = 0;
    if (!U32(&hi) || !U32(&lo)) return false;
    *v = (static_cast<uint64_t>(hi) << 32) | lo;
    return true;
  }
  const uint8_t* Here() const { return data_ + at_; }
  size_t Left() const { return size_ - at_; }

 private:
  bool Big(int bytes, uint32_t* v) {
    if (static_cast<size_t>(bytes) > size_ - at_) return false;
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | data_[at_ + i];
    at_ += bytes;
    *v = value;
    return true;
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// One row of PackBits: false when the codes run past their bytes or past the row.
bool UnpackRow(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
  size_t i = 0, o = 0;
  while (o < outSize) {
    if (i >= inSize) return false;
    const int code = static_cast<int8_t>(in[i++]);
    if (code >= 0) {
      const size_t n = static_cast<size_t>(code) + 1;
      if (n > inSize - i || n > outSize - o) return false;
      std::memcpy(out + o, in + i, n);
      i += n;
      o += n;
    } else if (code != -128) {
      const size_t n = static_cast<size_t>(1 - code);
      if (i >= inSize || n > outSize - o) return false;
      std::memset(out + o, in[i++], n);
      o += n;
    }
  }
  return true;
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

DecodeResult DecodePsd(const uint8_t* data, size_t size, Canvas& canvas) {
  if (size < 4 || std::memcmp(data, "8BPS", 4) != 0) return DecodeResult::kNotMine;
  Reader r(data, size);
  uint32_t version = 0, channels = 0, height = 0, width = 0, depth = 0, mode = 0;
  if (!r.Skip(4) || !r.U16(&version) || !r.Skip(6) || !r.U16(&channels) || !r.U32(&height) || !r.U32(&width) ||
      !r.U16(&depth) || !r.U16(&mode)) {
    return DecodeResult::kDamaged;
  }
  if (version != 1 && version != 2) return DecodeResult::kUnsupported;
  const bool large = version == 2;
  if (channels < 1 || channels > 56 || width == 0 || height == 0) return DecodeResult::kDamaged;
  if (width > (large ? 300000u : 30000u) || height > (large ? 300000u : 30000u)) return DecodeResult::kDamaged;
  if (!SizeAllowed(width, height, size)) return DecodeResult::kTooLarge;

  // Which channels make the picture, and how many of them the mode needs.
  uint32_t colourChannels = 0;
  switch (mode) {
    case kBitmap: colourChannels = depth == 1 ? 1 : 0; break;
    case kGray: case kDuotone: case kIndexed: colourChannels = 1; break;
    case kRgb: colourChannels = 3; break;
    case kCmyk: colourChannels = 4; break;
    default: return DecodeResult::kUnsupported;
  }
  if (colourChannels == 0 || (mode != kBitmap && depth != 8 && depth != 16)) return DecodeResult::kUnsupported;
  if (channels < colourChannels) return DecodeResult::kDamaged;

  // Colour mode data: the palette of an indexed picture.
  uint32_t modeDataLength = 0;
  if (!r.U32(&modeDataLength)) return DecodeResult::kDamaged;
  const uint8_t* palette = r.Here();
  if (mode == kIndexed && modeDataLength < 768) return DecodeResult::kDamaged;
  if (!r.Skip(modeDataLength)) return DecodeResult::kDamaged;
  // Image resources: not needed.
  uint32_t resourcesLength = 0;
  if (!r.U32(&resourcesLength) || !r.Skip(resourcesLength)) return DecodeResult::kDamaged;
  // Layers: only whether the merged picture carries its transparency in the first extra channel,
  // which a negative layer count says.
  uint64_t layersLength = 0;
  if (large) {
    if (!r.U64(&layersLength)) return DecodeResult::kDamaged;
  } else {
    uint32_t length32 = 0;
    if (!r.U32(&length32)) return DecodeResult::kDamaged;
    layersLength = length32;
  }
  if (layersLength > r.Left()) return DecodeResult::kDamaged;
  bool mergedAlpha = false;
  {
    Reader layers(r.Here(), static_cast<size_t>(layersLength));
    uint64_t layerInfoLength = 0;
    uint32_t count = 0, length32 = 0;
    bool haveLength = false;
    if (large) {
      haveLength = layers.U64(&layerInfoLength);
    } else {
      haveLength = layers.U32(&length32);
      layerInfoLength = length32;
    }
    if (haveLength && layerInfoLength >= 2 && layers.U16(&count)) mergedAlpha = static_cast<int16_t>(count) < 0;
  }
  r.Skip(layersLength);
  const bool alpha = mergedAlpha && channels > colourChannels && mode != kBitmap && mode != kIndexed;
  const uint32_t used = colourChannels + (alpha ? 1 : 0);

  uint32_t compression = 0;
  if (!r.U16(&compression)) return DecodeResult::kDamaged;
  if (compression > 1) return DecodeResult::kUnsupported;
  const uint64_t rowBytes = mode == kBitmap ? (static_cast<uint64_t>(width) + 7) / 8 : static_cast<uint64_t>(width) * (depth / 8);
  const uint64_t rows = static_cast<uint64_t>(channels) * height;

  // The planes of the channels used, each height rows of rowBytes; checked against the file first.
  std::vector<const uint8_t*> rawRows;
  std::vector<std::pair<const uint8_t*, size_t>> packedRows;
  if (compression == 0) {
    if (rowBytes * used * height > r.Left()) return DecodeResult::kDamaged;
  } else {
    const uint64_t countBytes = rows * (large ? 4 : 2);
    if (countBytes > r.Left()) return DecodeResult::kDamaged;
    Reader counts(r.Here(), static_cast<size_t>(countBytes));
    r.Skip(countBytes);
    packedRows.reserve(static_cast<size_t>(used) * height);
    const uint8_t* at = r.Here();
    size_t left = r.Left();
    for (uint64_t i = 0; i < static_cast<uint64_t>(used) * height; ++i) {
      uint32_t n = 0;
      if (!(large ? counts.U32(&n) : counts.U16(&n)) || n > left) return DecodeResult::kDamaged;
      // A run of two bytes gives at most 128: a row that cannot fill itself is damaged, and so no
      // short file can ask for a large canvas.
      if (rowBytes > 64 * (static_cast<uint64_t>(n) + 1)) return DecodeResult::kDamaged;
      packedRows.emplace_back(at, n);
      at += n;
      left -= n;
    }
  }

  uint32_t stride = 0;
  uint8_t* out = canvas.Begin(width, height, &stride);
  if (!out) return DecodeResult::kNoMemory;
  std::vector<uint8_t> plane(static_cast<size_t>(rowBytes) * used);
  const uint8_t* raw = r.Here();
  bool matted = alpha;
  const size_t step = depth == 16 ? 2 : 1;
  for (uint32_t y = 0; y < height; ++y) {
    // The row of every used channel, unpacked.
    for (uint32_t c = 0; c < used; ++c) {
      uint8_t* dst = plane.data() + static_cast<size_t>(c) * rowBytes;
      const size_t index = static_cast<size_t>(c) * height + y;
      if (compression == 0) {
        std::memcpy(dst, raw + index * rowBytes, static_cast<size_t>(rowBytes));
      } else if (!UnpackRow(packedRows[index].first, packedRows[index].second, dst, static_cast<size_t>(rowBytes))) {
        return DecodeResult::kDamaged;
      }
    }
    uint8_t* px = out + static_cast<size_t>(y) * stride;
    // Sixteen-bit samples are big-endian: their high byte comes first.
    auto sample = [&](uint32_t c, uint32_t x) { return plane[static_cast<size_t>(c) * rowBytes + x * step]; };
    for (uint32_t x = 0; x < width; ++x, px += 4) {
      uint8_t red = 0, green = 0, blue = 0, a = 255;
      switch (mode) {
        case kBitmap: {
          const bool black = (plane[x / 8] >> (7 - x % 8)) & 1;
          red = green = blue = black ? 0 : 255;
          break;
        }
        case kGray: case kDuotone: red = green = blue = sample(0, x); break;
        case kIndexed: {
          const uint8_t i = sample(0, x);
          red = palette[i];
          green = palette[256 + i];
          blue = palette[512 + i];
          break;
        }
        case kRgb: red = sample(0, x); green = sample(1, x); blue = sample(2, x); break;
        case kCmyk: {
          // Stored inverted: 255 is no ink.
          const int k = sample(3, x);
          red = Clamp(sample(0, x) * k / 255);
          green = Clamp(sample(1, x) * k / 255);
          blue = Clamp(sample(2, x) * k / 255);
          break;
        }
        default: break;
      }
      if (alpha) {
        a = sample(colourChannels, x);
        // A merged picture matted against white can have no channel darker than its transparency
        // lets through; one such pixel shows that this writer stored straight colours.
        const int floor = 255 - a;
        if (red < floor || green < floor || blue < floor) matted = false;
      }
      px[0] = blue;
      px[1] = green;
      px[2] = red;
      px[3] = a;
    }
  }
  // Photoshop mattes the merged picture against white where it is transparent: take the white out
  // again, unless the pixels show that the file was written with straight colours.
  if (matted) {
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* px = out + static_cast<size_t>(y) * stride;
      for (uint32_t x = 0; x < width; ++x, px += 4) {
        const int a = px[3];
        if (a == 255) continue;
        for (int k = 0; k < 3; ++k) px[k] = a == 0 ? 0 : Clamp((px[k] - (255 - a)) * 255 / a);
      }
    }
  }
  return DecodeResult::kOk;
}

}  // namespace codechost
