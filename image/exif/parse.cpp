#include "image/exif/parse.h"

#include <algorithm>
#include <cstring>

namespace exif {
namespace {

constexpr uint16_t kTiffMagic = 42;
constexpr uint32_t kTiffHeaderSize = 8;
constexpr uint32_t kEntrySize = 12;
// TIFF's own type 13 (IFD) is how some writers type the sub-directory pointers.
constexpr uint16_t kTypeIfd = 13;

// JPEG markers that matter while looking for APP1.
constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint8_t kMarkerTem = 0x01;
constexpr uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
// A segment is at most 64 KiB, so a real file reaches its first scan in far fewer steps; the cap
// only stops a walk through a long run of fill bytes or tiny segments.
constexpr int kMaxMarkerSteps = 65536;

}  // namespace

uint32_t FieldTypeSize(uint16_t type) noexcept {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

uint16_t ExifBlock::U16(size_t at) const noexcept {
  const uint8_t* p = bytes_.data() + at;
  return bigEndian_ ? static_cast<uint16_t>(p[0] << 8 | p[1])
                    : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t ExifBlock::U32(size_t at) const noexcept {
  const uint8_t* p = bytes_.data() + at;
  if (bigEndian_) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  }
  return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

std::optional<ExifBlock> ExifBlock::Parse(std::span<const uint8_t> tiff, uint64_t fileOffset) {
  if (tiff.size() < kTiffHeaderSize) return std::nullopt;
  ExifBlock block;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    block.bigEndian_ = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    block.bigEndian_ = true;
  } else {
    return std::nullopt;
  }
  block.bytes_.assign(tiff.begin(), tiff.end());
  block.fileOffset_ = fileOffset;
  if (block.U16(2) != kTiffMagic) return std::nullopt;
  const uint32_t ifd0 = block.U32(4);
  if (ifd0 < kTiffHeaderSize || !block.ReadDirectory(ifd0, Directory::kIfd0)) return std::nullopt;

  // The pointers live in the first IFD only; a sub-directory that points back at a directory
  // already read (itself included) would make its entries appear twice, so it counts as absent.
  auto pointer = [&block](uint16_t tag) -> std::optional<uint32_t> {
    for (const Entry& e : block.pointers_) {
      if (e.tag == tag) return block.U32(e.valueOffset);
    }
    return std::nullopt;
  };
  std::vector<uint32_t> visited{ifd0};
  const std::pair<uint16_t, Directory> subs[] = {{kTagExifPointer, Directory::kExif},
                                                 {kTagGpsPointer, Directory::kGps}};
  for (const auto& [tag, dir] : subs) {
    const std::optional<uint32_t> at = pointer(tag);
    if (!at || *at < kTiffHeaderSize) continue;
    if (std::find(visited.begin(), visited.end(), *at) != visited.end()) continue;
    if (block.ReadDirectory(*at, dir)) visited.push_back(*at);
  }
  block.pointers_.clear();
  return block;
}

bool ExifBlock::ReadDirectory(uint32_t offset, Directory d) {
  const uint64_t size = bytes_.size();
  if (uint64_t{offset} + 2 > size) return false;
  const uint32_t count = U16(offset);
  const uint64_t tableEnd = uint64_t{offset} + 2 + uint64_t{count} * kEntrySize;
  if (tableEnd > size) return false;

  std::vector<Entry>& out = entries_[static_cast<size_t>(d)];
  out.clear();
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = offset + 2 + static_cast<size_t>(i) * kEntrySize;
    Entry e;
    e.tag = U16(at);
    const uint16_t type = U16(at + 2);
    e.count = U32(at + 4);
    const bool isPointer = e.tag == kTagExifPointer || e.tag == kTagGpsPointer ||
                           e.tag == kTagInteropPointer;
    if (isPointer) {
      // A pointer is one LONG (or IFD) held in the entry itself; only the first IFD's are followed.
      if (d == Directory::kIfd0 && (type == 4 || type == kTypeIfd) && e.count == 1) {
        e.type = FieldType::kLong;
        e.valueOffset = static_cast<uint32_t>(at + 8);
        pointers_.push_back(e);
      }
      continue;
    }
    const uint32_t unit = FieldTypeSize(type);
    if (unit == 0 || e.count == 0) continue;
    e.type = static_cast<FieldType>(type);
    const uint64_t bytes = uint64_t{e.count} * unit;  // cannot overflow: both fit 32 bits
    if (bytes <= 4) {
      e.valueOffset = static_cast<uint32_t>(at + 8);
    } else {
      e.valueOffset = U32(at + 8);
      if (uint64_t{e.valueOffset} + bytes > size) continue;
    }
    out.push_back(e);
  }
  present_[static_cast<size_t>(d)] = true;
  return true;
}

const Entry* ExifBlock::Find(Directory d, uint16_t tag) const noexcept {
  for (const Entry& e : entries_[static_cast<size_t>(d)]) {
    if (e.tag == tag) return &e;
  }
  return nullptr;
}

uint64_t ExifBlock::ElementBits(const Entry& e, uint32_t index) const noexcept {
  const uint32_t unit = FieldTypeSize(static_cast<uint16_t>(e.type));
  if (unit == 0 || index >= e.count) return 0;
  const size_t at = e.valueOffset + static_cast<size_t>(index) * unit;
  switch (e.type) {
    case FieldType::kShort:
    case FieldType::kSShort:
      return U16(at);
    case FieldType::kLong:
    case FieldType::kSLong:
    case FieldType::kFloat:
      return U32(at);
    case FieldType::kRational:
    case FieldType::kSRational:
      return uint64_t{U32(at)} | uint64_t{U32(at + 4)} << 32;
    case FieldType::kDouble:
      return bigEndian_ ? uint64_t{U32(at)} << 32 | U32(at + 4)
                        : uint64_t{U32(at + 4)} << 32 | U32(at);
    default:
      return bytes_[at];
  }
}

std::span<const uint8_t> ExifBlock::RawValue(const Entry& e) const noexcept {
  const uint64_t bytes = uint64_t{e.count} * FieldTypeSize(static_cast<uint16_t>(e.type));
  if (uint64_t{e.valueOffset} + bytes > bytes_.size()) return {};
  return std::span<const uint8_t>(bytes_).subspan(e.valueOffset, static_cast<size_t>(bytes));
}

std::optional<ExifLocation> LocateExif(const ReadAt& read) {
  uint8_t head[4] = {};
  if (read(0, head, 2) != 2 || head[0] != 0xFF || head[1] != kMarkerSoi) return std::nullopt;
  uint64_t pos = 2;
  for (int step = 0; step < kMaxMarkerSteps; ++step) {
    if (read(pos, head, 2) != 2 || head[0] != 0xFF) return std::nullopt;
    const uint8_t marker = head[1];
    if (marker == 0xFF) {  // fill byte before a marker
      pos += 1;
      continue;
    }
    if (marker == kMarkerEoi || marker == kMarkerSos || marker == 0x00) return std::nullopt;
    if (marker == kMarkerTem || (marker >= 0xD0 && marker <= 0xD7)) {  // no length field
      pos += 2;
      continue;
    }
    if (read(pos + 2, head + 2, 2) != 2) return std::nullopt;
    const uint32_t length = uint32_t{head[2]} << 8 | head[3];  // includes the length field
    if (length < 2) return std::nullopt;
    if (marker == kMarkerApp1 && length >= 2 + sizeof(kExifSignature)) {
      uint8_t signature[sizeof(kExifSignature)] = {};
      if (read(pos + 4, signature, sizeof(signature)) == sizeof(signature) &&
          std::memcmp(signature, kExifSignature, sizeof(signature)) == 0) {
        return ExifLocation{pos + 4 + sizeof(kExifSignature),
                            length - 2 - static_cast<uint32_t>(sizeof(kExifSignature))};
      }
    }
    pos += 2 + length;
  }
  return std::nullopt;
}

std::optional<ExifBlock> ReadExifFromJpeg(const ReadAt& read) {
  const std::optional<ExifLocation> where = LocateExif(read);
  if (!where) return std::nullopt;
  std::vector<uint8_t> tiff(where->tiffSize);
  // A file cut inside the segment keeps what is there; values beyond the cut are absent.
  tiff.resize(read(where->tiffOffset, tiff.data(), tiff.size()));
  return ExifBlock::Parse(tiff, where->tiffOffset);
}

std::optional<ExifBlock> ReadExifFromJpeg(std::span<const uint8_t> jpeg) {
  return ReadExifFromJpeg([jpeg](uint64_t offset, void* dst, size_t size) -> size_t {
    if (offset >= jpeg.size()) return 0;
    const size_t n = std::min<uint64_t>(size, jpeg.size() - offset);
    std::memcpy(dst, jpeg.data() + offset, n);
    return n;
  });
}

std::optional<OrientationSlot> FindOrientationValueOffset(const ExifBlock& block) {
  const Entry* e = block.Find(Directory::kIfd0, kTagOrientation);
  if (e == nullptr || e->type != FieldType::kShort) return std::nullopt;
  return OrientationSlot{block.FileOffset() + e->valueOffset, block.BigEndian(),
                         static_cast<uint16_t>(block.ElementBits(*e, 0))};
}

std::optional<OrientationSlot> FindOrientationValueOffset(std::span<const uint8_t> jpeg) {
  const std::optional<ExifBlock> block = ReadExifFromJpeg(jpeg);
  if (!block) return std::nullopt;
  return FindOrientationValueOffset(*block);
}

}  // namespace exif
