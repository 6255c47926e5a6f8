#pragma once
// Writes ZIP archives byte by byte for the tests: stored or deflated entries, with every field
// reachable so that a test can make it lie.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skin_test {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = true;
};

// Offsets of the fields a test may damage, recorded while writing.
struct ZipLayout {
  std::vector<size_t> local_headers;
  std::vector<size_t> central_records;
  size_t end_record = 0;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Set16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline std::vector<uint8_t> WriteZip(const std::vector<ZipEntry>& entries, ZipLayout* layout = nullptr) {
  std::vector<uint8_t> out;
  struct Done {
    uint32_t crc, packed, size, offset;
    uint16_t method;
  };
  std::vector<Done> done;
  ZipLayout where;
  for (const ZipEntry& e : entries) {
    const std::string packed = e.deflate ? RawDeflate(e.data) : e.data;
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
    const uint16_t method = e.deflate ? 8 : 0;
    where.local_headers.push_back(out.size());
    done.push_back({crc, static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(e.data.size()),
                    static_cast<uint32_t>(out.size()), method});
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, method);
    Put32(out, 0);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.insert(out.end(), packed.begin(), packed.end());
  }
  const size_t directory = out.size();
  for (size_t i = 0; i < entries.size(); ++i) {
    where.central_records.push_back(out.size());
    Put32(out, 0x02014b50);
    Put16(out, 20);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, done[i].method);
    Put32(out, 0);
    Put32(out, done[i].crc);
    Put32(out, done[i].packed);
    Put32(out, done[i].size);
    Put16(out, static_cast<uint32_t>(entries[i].name.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, done[i].offset);
    out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
  }
  where.end_record = out.size();
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(out.size() - directory - 4));
  Put32(out, static_cast<uint32_t>(directory));
  Put16(out, 0);
  // The directory size excludes the end record: fix it now that both are known.
  Set32(out, where.end_record + 12, static_cast<uint32_t>(where.end_record - directory));
  if (layout) *layout = where;
  return out;
}

}  // namespace skin_test
