#include "image/jpeg_fast.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include "image/obj_image.h"

// The library's Windows configuration declares `boolean` as unsigned char, as <rpcndr.h> does,
// and the library was built that way: the structures below have the library's layout.
#include <jpeglib.h>
#include <jerror.h>

static_assert(sizeof(boolean) == 1, "libjpeg's boolean must match the library's Windows build");

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return. We jump back to the
// guarded call. Only the guard and the libjpeg frames are skipped: the functions between them hold
// no C++ objects, and the decompressor (with its cleanup) lives in the caller of the guard.
struct JpegError {
  jpeg_error_mgr pub;  // first, so that the library's pointer to it is a pointer to this
  std::jmp_buf jump;
  bool damaged;
};

[[noreturn]] void OnFatal(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Level -1 is a warning: damaged data that the library papers over (a truncated stream ends in grey,
// a broken scan is skipped). Such a picture is not what its maker saved; we refuse it and the caller
// asks the platform decoder. Stray bytes between segments are the exception: some tools write them
// and nothing decoded changes. Levels 0 and up are trace messages.
void OnMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  if (info->err->msg_code != JWRN_EXTRANEOUS_DATA) reinterpret_cast<JpegError*>(info->err)->damaged = true;
}

void OnOutput(j_common_ptr) {}  // never print to the console

class Decompressor {
 public:
  Decompressor() {
    info_.err = jpeg_std_error(&error_.pub);
    error_.pub.error_exit = OnFatal;
    error_.pub.emit_message = OnMessage;
    error_.pub.output_message = OnOutput;
  }
  // Safe on a struct that was never created or half created: it is zeroed first and the library
  // frees only what its memory manager holds.
  ~Decompressor() { jpeg_destroy_decompress(&info_); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct& Info() { return info_; }
  JpegError& Error() { return error_; }

 private:
  jpeg_decompress_struct info_{};
  JpegError error_{};
};

// Rows decoded per call of the library when the caller takes rows one by one.
constexpr int kRowBatch = 16;

struct Source {
  const uint8_t* data;
  unsigned long size;
};

void ReadHeader(jpeg_decompress_struct& info, const Source& source) {
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, source.data, source.size);
  jpeg_read_header(&info, TRUE);  // TRUE: a stream of tables only is an error
}

void HeaderSteps(Decompressor& jpeg, const Source& source, int* width, int* height) {
  ReadHeader(jpeg.Info(), source);
  *width = static_cast<int>(jpeg.Info().image_width);
  *height = static_cast<int>(jpeg.Info().image_height);
}

void HeaderInfoSteps(Decompressor& jpeg, const Source& source, FastJpegHeader* header) {
  jpeg_decompress_struct& info = jpeg.Info();
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, source.data, source.size);
  jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  header->width = static_cast<int>(info.image_width);
  header->height = static_cast<int>(info.image_height);
  header->components = info.num_components;
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 2 && m->data_length >= 12 && std::equal(m->data, m->data + 12, "ICC_PROFILE")) {
      header->has_icc = true;
    }
  }
  if (info.saw_JFIF_marker && info.X_density > 0 && info.Y_density > 0 && info.density_unit != 0) {
    const double scale = info.density_unit == 2 ? 2.54 : 1.0;  // 2: dots per centimetre
    header->dpi_x = info.X_density * scale;
    header->dpi_y = info.Y_density * scale;
  }
}

bool DecodeSteps(Decompressor& jpeg, const Source& source, int maxWidth, int maxHeight, FCObjImage* out) {
  jpeg_decompress_struct& info = jpeg.Info();
  ReadHeader(info, source);
  const int reduction = FastJpegReduction(static_cast<int>(info.image_width), static_cast<int>(info.image_height),
                                          maxWidth, maxHeight);
  if (reduction == 0) return false;
  info.scale_num = 1;
  info.scale_denom = static_cast<unsigned int>(reduction);
  info.out_color_space = JCS_EXT_BGRA;  // the library fills the fourth byte with 255
  jpeg_start_decompress(&info);
  if (!out->Create(static_cast<int>(info.output_width), -static_cast<int>(info.output_height), 32)) return false;

  constexpr int kBatch = 8;
  JSAMPROW rows[kBatch];
  while (info.output_scanline < info.output_height) {
    const int first = static_cast<int>(info.output_scanline);
    const int count = std::min(kBatch, static_cast<int>(info.output_height) - first);
    for (int i = 0; i < count; ++i) rows[i] = out->RowPointer(first + i);
    if (jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)) == 0) return false;
  }
  jpeg_finish_decompress(&info);
  return true;
}

// The rows go through a small batch buffer made by the caller (a std::vector, which must not live
// in a frame that a jump skips).
bool RowSteps(Decompressor& jpeg, const Source& source, int width, int height, uint8_t* batch,
              const std::function<void(int, const uint8_t*)>* takeRow) {
  jpeg_decompress_struct& info = jpeg.Info();
  ReadHeader(info, source);
  if (static_cast<int>(info.image_width) != width || static_cast<int>(info.image_height) != height) return false;
  info.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&info);
  if (static_cast<int>(info.output_width) != width || static_cast<int>(info.output_height) != height) return false;
  const size_t stride = static_cast<size_t>(width) * 4;
  JSAMPROW rows[kRowBatch];
  while (info.output_scanline < info.output_height) {
    const int first = static_cast<int>(info.output_scanline);
    const int count = std::min(kRowBatch, height - first);
    for (int i = 0; i < count; ++i) rows[i] = batch + stride * static_cast<size_t>(i);
    const int read = static_cast<int>(jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count)));
    if (read == 0) return false;
    for (int i = 0; i < read; ++i) (*takeRow)(first + i, rows[i]);
  }
  jpeg_finish_decompress(&info);
  return true;
}

// The guards: setjmp here, every libjpeg call below. Nothing of this frame is used after a jump
// but the return value.
bool GuardedHeader(Decompressor& jpeg, const Source& source, int* width, int* height) {
  if (setjmp(jpeg.Error().jump)) return false;
  HeaderSteps(jpeg, source, width, height);
  return true;
}

bool GuardedHeaderInfo(Decompressor& jpeg, const Source& source, FastJpegHeader* header) {
  if (setjmp(jpeg.Error().jump)) return false;
  HeaderInfoSteps(jpeg, source, header);
  return true;
}

bool GuardedDecode(Decompressor& jpeg, const Source& source, int maxWidth, int maxHeight, FCObjImage* out) {
  if (setjmp(jpeg.Error().jump)) return false;
  return DecodeSteps(jpeg, source, maxWidth, maxHeight, out);
}

bool GuardedRows(Decompressor& jpeg, const Source& source, int width, int height, uint8_t* batch,
                 const std::function<void(int, const uint8_t*)>* takeRow) {
  if (setjmp(jpeg.Error().jump)) return false;
  return RowSteps(jpeg, source, width, height, batch, takeRow);
}

bool MakeSource(const uint8_t* data, size_t size, Source& source) {
  // The memory source takes an unsigned long, 32 bits on Windows.
  if (!data || size == 0 || size > ULONG_MAX) return false;
  source = {data, static_cast<unsigned long>(size)};
  return true;
}

}  // namespace

bool FastJpegDimensions(const uint8_t* data, size_t size, int& width, int& height) {
  Source source{};
  if (!MakeSource(data, size, source)) return false;
  Decompressor jpeg;
  int w = 0;
  int h = 0;
  if (!GuardedHeader(jpeg, source, &w, &h) || w <= 0 || h <= 0) return false;
  width = w;
  height = h;
  return true;
}

bool FastJpegReadHeader(const uint8_t* data, size_t size, FastJpegHeader& header) {
  Source source{};
  if (!MakeSource(data, size, source)) return false;
  Decompressor jpeg;
  FastJpegHeader read;
  if (!GuardedHeaderInfo(jpeg, source, &read) || read.width <= 0 || read.height <= 0) return false;
  header = read;
  return true;
}

int FastJpegReduction(int width, int height, int maxWidth, int maxHeight) {
  if (width <= 0 || height <= 0 || maxWidth <= 0 || maxHeight <= 0) return 0;
  // 1/d >= min(maxWidth / width, maxHeight / height), kept in integers:
  // d * maxWidth <= width or d * maxHeight <= height.
  for (int d : {8, 4, 2}) {
    if (int64_t{d} * maxWidth <= width || int64_t{d} * maxHeight <= height) return d;
  }
  return 1;
}

bool FastJpegDecodeScaled(const uint8_t* data, size_t size, int maxWidth, int maxHeight, FCObjImage& out) {
  out.Destroy();
  Source source{};
  if (!MakeSource(data, size, source)) return false;
  bool ok = false;
  {
    Decompressor jpeg;
    ok = GuardedDecode(jpeg, source, maxWidth, maxHeight, &out) && !jpeg.Error().damaged;
  }
  if (!ok) out.Destroy();
  return ok;
}

bool FastJpegDecodeRows(const uint8_t* data, size_t size, int width, int height,
                        const std::function<void(int y, const uint8_t* row)>& takeRow) {
  Source source{};
  if (!MakeSource(data, size, source) || width <= 0 || height <= 0 || width > INT_MAX / 4 / kRowBatch || !takeRow) {
    return false;
  }
  std::vector<uint8_t> batch;
  try {
    batch.resize(static_cast<size_t>(width) * 4 * kRowBatch);
  } catch (const std::bad_alloc&) {
    return false;
  }
  Decompressor jpeg;
  return GuardedRows(jpeg, source, width, height, batch.data(), &takeRow) && !jpeg.Error().damaged;
}
