#include "tests/unit/netkit/gzip_oracle.h"

#include <zlib.h>

#include <vector>

namespace netkit_test {

std::string GzipForTest(std::string_view data) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(rc == Z_STREAM_END ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

bool GunzipForTest(std::string_view data, std::string& out, size_t limit) {
  z_stream z{};
  if (inflateInit2(&z, 31) != Z_OK) return false;
  std::vector<char> buffer(limit + 1);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(buffer.data());
  z.avail_out = static_cast<uInt>(buffer.size());
  const int rc = inflate(&z, Z_FINISH);
  const bool whole = rc == Z_STREAM_END && z.avail_in == 0 && z.total_out <= limit;
  out.assign(buffer.data(), whole ? z.total_out : 0);
  inflateEnd(&z);
  return whole;
}

}  // namespace netkit_test
