#pragma once
// A small TIFF/EXIF writer for the tests: builds an EXIF block (first IFD, EXIF and GPS
// directories) in either byte order and wraps it in a JPEG, so that no external tool is needed.
#include <windows.h>
#include <propidl.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "image/exif/parse.h"

namespace exif_test {

class TiffBuilder {
 public:
  explicit TiffBuilder(bool bigEndian = false) : bigEndian_(bigEndian) {}

  // Elements are given as numbers and stored in the block's byte order, `unit` bytes each.
  TiffBuilder& Add(exif::Directory d, uint16_t tag, uint16_t type, uint32_t unit,
                   const std::vector<uint64_t>& elements) {
    std::vector<uint8_t> bytes;
    for (uint64_t v : elements) Put(bytes, v, unit);
    return AddRaw(d, tag, type, static_cast<uint32_t>(elements.size()), bytes);
  }
  // A raw entry: `count` is written as given, whatever the byte count (for lying entries).
  TiffBuilder& AddRaw(exif::Directory d, uint16_t tag, uint16_t type, uint32_t count,
                      std::vector<uint8_t> bytes) {
    dirs_[static_cast<int>(d)].push_back({tag, type, count, std::move(bytes)});
    return *this;
  }
  TiffBuilder& Shorts(exif::Directory d, uint16_t tag, const std::vector<uint64_t>& v) {
    return Add(d, tag, 3, 2, v);
  }
  TiffBuilder& Longs(exif::Directory d, uint16_t tag, const std::vector<uint64_t>& v) {
    return Add(d, tag, 4, 4, v);
  }
  // Rationals as {numerator, denominator} pairs; `type` 5 (unsigned) or 10 (signed).
  TiffBuilder& Rationals(exif::Directory d, uint16_t tag,
                         const std::vector<std::pair<int64_t, int64_t>>& v, uint16_t type = 5) {
    std::vector<uint8_t> bytes;
    for (const auto& [n, den] : v) {
      Put(bytes, static_cast<uint32_t>(n), 4);
      Put(bytes, static_cast<uint32_t>(den), 4);
    }
    return AddRaw(d, tag, type, static_cast<uint32_t>(v.size()), bytes);
  }
  // ASCII with its terminator counted, as the format asks.
  TiffBuilder& Ascii(exif::Directory d, uint16_t tag, const std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return AddRaw(d, tag, 2, static_cast<uint32_t>(bytes.size()), bytes);
  }
  // Forces the value of a sub-directory pointer (0x8769 or 0x8825) in the first IFD.
  TiffBuilder& Pointer(uint16_t tag, uint32_t value) {
    pointers_[tag] = value;
    return *this;
  }

  // Header, the three directories one after another, then the out-of-line values.
  std::vector<uint8_t> Build() const {
    std::vector<Field> ifd0 = dirs_[0];
    const bool hasExif = !dirs_[1].empty() || pointers_.count(exif::kTagExifPointer);
    const bool hasGps = !dirs_[2].empty() || pointers_.count(exif::kTagGpsPointer);
    if (hasExif) ifd0.push_back({exif::kTagExifPointer, 4, 1, {0, 0, 0, 0}});
    if (hasGps) ifd0.push_back({exif::kTagGpsPointer, 4, 1, {0, 0, 0, 0}});
    const std::vector<Field>* tables[3] = {&ifd0, &dirs_[1], &dirs_[2]};
    uint32_t at[3] = {};
    uint32_t pos = 8;
    for (int i = 0; i < 3; ++i) {
      if (i > 0 && tables[i]->empty()) continue;
      at[i] = pos;
      pos += 2 + 12 * static_cast<uint32_t>(tables[i]->size()) + 4;
    }
    std::vector<uint8_t> out = {bigEndian_ ? uint8_t{'M'} : uint8_t{'I'},
                                bigEndian_ ? uint8_t{'M'} : uint8_t{'I'}};
    Put(out, 42, 2);
    Put(out, 8, 4);
    std::vector<uint8_t> data;
    const uint32_t dataStart = pos;
    for (int i = 0; i < 3; ++i) {
      if (i > 0 && tables[i]->empty()) continue;
      Put(out, tables[i]->size(), 2);
      for (const Field& f : *tables[i]) {
        Put(out, f.tag, 2);
        Put(out, f.type, 2);
        Put(out, f.count, 4);
        std::vector<uint8_t> value = f.bytes;
        if (i == 0 && (f.tag == exif::kTagExifPointer || f.tag == exif::kTagGpsPointer)) {
          const auto forced = pointers_.find(f.tag);
          const uint32_t target = forced != pointers_.end()
                                      ? forced->second
                                      : at[f.tag == exif::kTagExifPointer ? 1 : 2];
          value.clear();
          Put(value, target, 4);
        }
        if (value.size() <= 4) {
          value.resize(4, 0);
          out.insert(out.end(), value.begin(), value.end());
        } else {
          Put(out, dataStart + static_cast<uint32_t>(data.size()), 4);
          data.insert(data.end(), value.begin(), value.end());
          if (data.size() % 2) data.push_back(0);
        }
      }
      Put(out, 0, 4);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }

  void Put(std::vector<uint8_t>& out, uint64_t v, uint32_t unit) const {
    for (uint32_t i = 0; i < unit; ++i) {
      const uint32_t shift = 8 * (bigEndian_ ? unit - 1 - i : i);
      out.push_back(static_cast<uint8_t>(v >> shift));
    }
  }

 private:
  struct Field {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> bytes;
  };
  bool bigEndian_;
  std::vector<Field> dirs_[3];
  std::map<uint16_t, uint32_t> pointers_;
};

// SOI, a JFIF APP0, the APP1 "Exif" segment holding `tiff`, then `rest` (by default a bare
// SOS and EOI: enough for the marker walk, not a decodable picture).
inline std::vector<uint8_t> WrapInJpeg(const std::vector<uint8_t>& tiff,
                                       std::vector<uint8_t> rest = {0xFF, 0xDA, 0x00, 0x02,
                                                                    0xFF, 0xD9}) {
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0,
                              1,    1,    0,    0,    1,    0,    1,   0,   0};
  const size_t length = 2 + 6 + tiff.size();
  const uint8_t app1[] = {0xFF, 0xE1, static_cast<uint8_t>(length >> 8),
                          static_cast<uint8_t>(length & 0xFF), 'E', 'x', 'i', 'f', 0, 0};
  for (uint8_t b : app1) out.push_back(b);
  for (uint8_t b : tiff) out.push_back(b);
  for (uint8_t b : rest) out.push_back(b);
  return out;
}

// Offset of the TIFF header inside WrapInJpeg's output.
inline constexpr size_t kTiffOffsetInJpeg = 20 + 10;

// A PROPVARIANT cleared when it goes out of scope.
struct Pv {
  PROPVARIANT v;
  Pv() { ::PropVariantInit(&v); }
  ~Pv() { ::PropVariantClear(&v); }
  Pv(const Pv&) = delete;
  Pv& operator=(const Pv&) = delete;
};

}  // namespace exif_test
