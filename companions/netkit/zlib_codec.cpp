#include "companions/netkit/zlib_codec.h"

#include <zlib.h>

#include <climits>
#include <cstdint>
#include <limits>

namespace netkit {
namespace {

constexpr int kGzipWindowBits = 15 + 16;  // zlib's switch for a gzip header and trailer
constexpr size_t kChunk = 64 * 1024;

// zlib counts in uInt; feed large buffers in pieces.
uInt Piece(size_t remaining) noexcept {
  return static_cast<uInt>(remaining < std::numeric_limits<uInt>::max() ? remaining : std::numeric_limits<uInt>::max());
}

class Inflater {
 public:
  Inflater() noexcept { ok_ = inflateInit2(&z_, kGzipWindowBits) == Z_OK; }
  ~Inflater() { if (ok_) inflateEnd(&z_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool Ok() const noexcept { return ok_; }
  z_stream& Stream() noexcept { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

}  // namespace

bool GzipCompress(std::string_view input, std::string& output) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  output.clear();
  const auto* next = reinterpret_cast<const Bytef*>(input.data());
  size_t remaining = input.size();
  unsigned char buffer[kChunk];
  int rc = Z_OK;
  for (;;) {
    z.next_in = const_cast<Bytef*>(next);
    z.avail_in = Piece(remaining);
    const uInt fed = z.avail_in;
    const int flush = fed == remaining ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = buffer;
      z.avail_out = sizeof(buffer);
      rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) {
        deflateEnd(&z);
        return false;
      }
      output.append(reinterpret_cast<const char*>(buffer), sizeof(buffer) - z.avail_out);
    } while (z.avail_out == 0);
    next += fed - z.avail_in;
    remaining -= fed - z.avail_in;
    if (flush == Z_FINISH) break;
  }
  deflateEnd(&z);
  return rc == Z_STREAM_END;
}

GunzipResult GzipDecompress(std::string_view input, size_t maxOutput, std::string& output) {
  output.clear();
  if (input.empty()) return GunzipResult::kMalformed;
  Inflater inflater;
  if (!inflater.Ok()) return GunzipResult::kMalformed;
  z_stream& z = inflater.Stream();
  const auto* next = reinterpret_cast<const Bytef*>(input.data());
  size_t remaining = input.size();
  unsigned char buffer[kChunk];
  for (;;) {
    z.next_in = const_cast<Bytef*>(next);
    z.avail_in = Piece(remaining);
    const uInt fed = z.avail_in;
    z.next_out = buffer;
    z.avail_out = sizeof(buffer);
    const int rc = inflate(&z, Z_NO_FLUSH);
    const size_t produced = sizeof(buffer) - z.avail_out;
    next += fed - z.avail_in;
    remaining -= fed - z.avail_in;
    if (produced > maxOutput - output.size()) return GunzipResult::kTooLarge;
    output.append(reinterpret_cast<const char*>(buffer), produced);
    if (rc == Z_STREAM_END) {
      if (remaining == 0) return GunzipResult::kOk;
      if (inflateReset(&z) != Z_OK) return GunzipResult::kMalformed;  // the next gzip member
      continue;
    }
    // No progress with all input given means the stream was cut short.
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && produced > 0)) return GunzipResult::kMalformed;
  }
}

int CheckedCompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                    unsigned long sourceLen) noexcept {
  if (!dest || !destLen || (!source && sourceLen != 0)) return Z_STREAM_ERROR;
  static const unsigned char kNothing = 0;
  uLongf room = *destLen;
  const int rc = compress(dest, &room, source ? source : &kNothing, sourceLen);
  *destLen = rc == Z_OK ? room : 0;
  return rc;
}

int CheckedUncompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                      unsigned long sourceLen) noexcept {
  if (!dest || !destLen || !source) return Z_STREAM_ERROR;
  uLongf room = *destLen;
  uLong used = sourceLen;
  int rc = uncompress2(dest, &room, source, &used);
  // zlib calls a stream that ends early "no room" when the data so far filled the buffer
  // exactly; with all input used up it is the input that is short, and more room cannot help.
  if (rc == Z_BUF_ERROR && used == sourceLen) rc = Z_DATA_ERROR;
  *destLen = rc == Z_OK ? room : 0;
  return rc;
}

unsigned long CheckedCompressBound(unsigned long sourceLen) noexcept {
  // zlib's own formula wraps for lengths near the type's limit; compute it wide instead.
  const uint64_t n = sourceLen;
  const uint64_t bound = n + (n >> 12) + (n >> 14) + (n >> 25) + 13;
  return bound > ULONG_MAX ? 0 : static_cast<unsigned long>(bound);
}

}  // namespace netkit
