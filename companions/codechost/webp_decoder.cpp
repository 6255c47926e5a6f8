// WebP: lossy, lossless, with alpha, and animated (the first frame, composed on its canvas) through
// libwebp.
#include <cstring>

#include "companions/codechost/decoders.h"
#include "webp/decode.h"
#include "webp/demux.h"

namespace codechost {

namespace {

bool IsWebp(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

DecodeResult FirstFrame(const uint8_t* data, size_t size, Canvas& canvas) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return DecodeResult::kUnsupported;
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  // The canvas size is checked before the decoder allocates its own canvas for it.
  WebPData whole{data, size};
  WebPDemuxState state = WEBP_DEMUX_PARSING_HEADER;
  WebPDemuxer* demux = WebPDemuxPartial(&whole, &state);
  if (!demux) return DecodeResult::kDamaged;
  const uint32_t width = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
  const uint32_t height = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
  WebPDemuxDelete(demux);
  if (state != WEBP_DEMUX_DONE) return DecodeResult::kDamaged;
  if (!SizeAllowed(width, height, size)) return DecodeResult::kTooLarge;

  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&whole, &options);
  if (!decoder) return DecodeResult::kDamaged;
  DecodeResult result = DecodeResult::kDamaged;
  WebPAnimInfo info{};
  uint8_t* frame = nullptr;
  int timestamp = 0;
  if (WebPAnimDecoderGetInfo(decoder, &info) && info.canvas_width == width && info.canvas_height == height &&
      WebPAnimDecoderGetNext(decoder, &frame, &timestamp) && frame) {
    uint32_t stride = 0;
    uint8_t* out = canvas.Begin(width, height, &stride);
    if (!out) {
      result = DecodeResult::kNoMemory;
    } else {
      const size_t row = static_cast<size_t>(width) * 4;
      for (uint32_t y = 0; y < height; ++y) std::memcpy(out + static_cast<size_t>(y) * stride, frame + y * row, row);
      result = DecodeResult::kOk;
    }
  }
  WebPAnimDecoderDelete(decoder);
  return result;
}

}  // namespace

DecodeResult DecodeWebp(const uint8_t* data, size_t size, Canvas& canvas) {
  if (!IsWebp(data, size)) return DecodeResult::kNotMine;
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(data, size, &features);
  if (status == VP8_STATUS_UNSUPPORTED_FEATURE) return DecodeResult::kUnsupported;
  if (status != VP8_STATUS_OK) return DecodeResult::kDamaged;
  if (features.has_animation) return FirstFrame(data, size, canvas);
  if (features.width <= 0 || features.height <= 0) return DecodeResult::kDamaged;
  if (!SizeAllowed(static_cast<uint64_t>(features.width), static_cast<uint64_t>(features.height), size)) {
    return DecodeResult::kTooLarge;
  }
  const auto width = static_cast<uint32_t>(features.width);
  const auto height = static_cast<uint32_t>(features.height);
  uint32_t stride = 0;
  uint8_t* out = canvas.Begin(width, height, &stride);
  if (!out) return DecodeResult::kNoMemory;
  // Decoded straight into the canvas: no second copy of the pixels.
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return DecodeResult::kUnsupported;
  config.options.use_threads = 0;
  config.output.colorspace = MODE_BGRA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = out;
  config.output.u.RGBA.stride = static_cast<int>(stride);
  config.output.u.RGBA.size = static_cast<size_t>(stride) * height;
  const VP8StatusCode decoded = WebPDecode(data, size, &config);
  WebPFreeDecBuffer(&config.output);
  if (decoded == VP8_STATUS_OUT_OF_MEMORY) return DecodeResult::kNoMemory;
  return decoded == VP8_STATUS_OK ? DecodeResult::kOk : DecodeResult::kDamaged;
}

}  // namespace codechost
