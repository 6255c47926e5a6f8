#include "companions/codechost/decoders.h"

#include <initializer_list>

namespace codechost {

bool SizeAllowed(uint64_t width, uint64_t height, size_t fileSize) {
  if (width == 0 || height == 0 || width > 300000 || height > 300000) return false;
  const uint64_t pixels = width * height;
  if (pixels > (uint64_t{1} << 28)) return false;
  return pixels <= (uint64_t{1} << 26) || pixels / 1024 <= fileSize;
}

DecodeResult Decode(const uint8_t* data, size_t size, Canvas& canvas) {
  for (auto decode : {DecodeWebp, DecodePsd}) {
    const DecodeResult result = decode(data, size, canvas);
    if (result != DecodeResult::kNotMine) return result;
  }
  return DecodeResult::kNotMine;
}

}  // namespace codechost
