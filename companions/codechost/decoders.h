// The decoders of CodecHost.dll: the formats the platform's own decoders do not open. Each reads a
// whole file held in memory and writes 32-bit BGRA pixels (straight alpha) into a canvas that the
// caller provides, so the pixels can land directly in the bitmap that outlives the library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace codechost {

enum class DecodeResult {
  kOk,
  kNotMine,      // not this format: another decoder may try
  kDamaged,      // this format, but broken or truncated
  kUnsupported,  // this format, in a variant the library does not decode
  kTooLarge,     // sizes beyond the limits, or more than the file can hold
  kNoMemory,     // the canvas could not be had
};

// Where the pixels go: Begin gets the size once and answers a buffer of stride x height bytes (or
// null); the decoder writes every row.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual uint8_t* Begin(uint32_t width, uint32_t height, uint32_t* stride) = 0;
};

// Limits on every picture: a side of at most 300,000 pixels and 2^28 pixels in all (1 GiB of
// pixels); past 2^26 pixels the file must hold at least one byte for every 1024 pixels, so that a few
// damaged header bytes cannot ask for a huge canvas.
bool SizeAllowed(uint64_t width, uint64_t height, size_t fileSize);

DecodeResult DecodeWebp(const uint8_t* data, size_t size, Canvas& canvas);
DecodeResult DecodePsd(const uint8_t* data, size_t size, Canvas& canvas);

// Tries each decoder in turn; the first that does not answer kNotMine decides.
DecodeResult Decode(const uint8_t* data, size_t size, Canvas& canvas);

}  // namespace codechost
