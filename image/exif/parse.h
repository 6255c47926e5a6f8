#pragma once
// Reading of a JPEG's EXIF block (APP1 "Exif\0\0", a TIFF structure) without the platform.
// Everything here is bounded by the bytes it was given: offsets that point outside the block,
// loops between directories, absurd counts and truncated data make the affected part "not
// present", never a crash, a hang or a read past the end.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace exif {

// TIFF field types. FLOAT and DOUBLE are read as well; anything else is not a value we expose.
enum class FieldType : uint16_t {
  kByte = 1,
  kAscii = 2,
  kShort = 3,
  kLong = 4,
  kRational = 5,
  kSByte = 6,
  kUndefined = 7,
  kSShort = 8,
  kSLong = 9,
  kSRational = 10,
  kFloat = 11,
  kDouble = 12,
};
// Bytes per element of a field type; 0 for an unknown type.
uint32_t FieldTypeSize(uint16_t type) noexcept;

// The three directories the viewer reads: the first IFD and its EXIF and GPS sub-directories.
enum class Directory : uint8_t { kIfd0 = 0, kExif = 1, kGps = 2 };
inline constexpr size_t kDirectoryCount = 3;

inline constexpr uint16_t kTagOrientation = 274;
inline constexpr uint16_t kTagExifPointer = 0x8769;
inline constexpr uint16_t kTagGpsPointer = 0x8825;
inline constexpr uint16_t kTagInteropPointer = 0xA005;

// One directory entry whose value lies wholly inside the block.
struct Entry {
  uint16_t tag = 0;
  FieldType type = FieldType::kByte;
  uint32_t count = 0;        // at least 1
  uint32_t valueOffset = 0;  // of the first value byte, from the start of the TIFF header
};

// A parsed TIFF block (the APP1 payload after "Exif\0\0"). Holds its own copy of the bytes.
class ExifBlock {
 public:
  // Parses the TIFF header and the three directories. Empty when the header or the first IFD is
  // unusable; a damaged EXIF or GPS directory only makes that directory absent.
  // `fileOffset` is where the TIFF header lies in the file (0 when not known).
  static std::optional<ExifBlock> Parse(std::span<const uint8_t> tiff, uint64_t fileOffset = 0);

  bool BigEndian() const noexcept { return bigEndian_; }
  uint64_t FileOffset() const noexcept { return fileOffset_; }
  size_t Size() const noexcept { return bytes_.size(); }
  bool HasDirectory(Directory d) const noexcept { return present_[static_cast<size_t>(d)]; }
  const std::vector<Entry>& Entries(Directory d) const noexcept {
    return entries_[static_cast<size_t>(d)];
  }
  // The first entry with that tag, or null. Sub-directory pointers are not entries.
  const Entry* Find(Directory d, uint16_t tag) const noexcept;

  // Element `index` (< count) of an entry as raw unsigned bits in host order: BYTE/SBYTE/ASCII/
  // UNDEFINED one byte, SHORT/SSHORT two, LONG/SLONG/FLOAT four, DOUBLE eight; a RATIONAL or
  // SRATIONAL has its numerator in the low and its denominator in the high 32 bits.
  uint64_t ElementBits(const Entry& e, uint32_t index) const noexcept;
  // The value bytes of an entry as stored (count * type size bytes).
  std::span<const uint8_t> RawValue(const Entry& e) const noexcept;

 private:
  ExifBlock() = default;
  uint16_t U16(size_t at) const noexcept;
  uint32_t U32(size_t at) const noexcept;
  bool ReadDirectory(uint32_t offset, Directory d);

  std::vector<uint8_t> bytes_;
  uint64_t fileOffset_ = 0;
  bool bigEndian_ = false;
  bool present_[kDirectoryCount] = {};
  std::vector<Entry> entries_[kDirectoryCount];
  std::vector<Entry> pointers_;  // sub-directory pointers of the first IFD, while parsing
};

// Reads up to `size` bytes at `offset` of some source into `dst`; returns the bytes read
// (fewer at the end of the source, 0 on failure).
using ReadAt = std::function<size_t(uint64_t offset, void* dst, size_t size)>;

// Where the EXIF block of a JPEG lies: the TIFF header's offset in the file and its length.
struct ExifLocation {
  uint64_t tiffOffset = 0;
  uint32_t tiffSize = 0;
};

// Walks the JPEG markers from SOI until SOS or EOI and returns the first APP1 segment that starts
// with "Exif\0\0". Empty when the source is not a JPEG, has no such segment, or is damaged
// before one is found. Reads only the segment headers and the "Exif" signature.
std::optional<ExifLocation> LocateExif(const ReadAt& read);

// LocateExif + Parse over a source or over the bytes of a whole JPEG file.
std::optional<ExifBlock> ReadExifFromJpeg(const ReadAt& read);
std::optional<ExifBlock> ReadExifFromJpeg(std::span<const uint8_t> jpeg);

// Where the first IFD's orientation value (tag 274, SHORT) sits in the file, so that it can be
// patched in place: two bytes at `fileOffset`, in the block's byte order.
struct OrientationSlot {
  uint64_t fileOffset = 0;
  bool bigEndian = false;
  uint16_t value = 0;  // the value stored there now
};
std::optional<OrientationSlot> FindOrientationValueOffset(const ExifBlock& block);
std::optional<OrientationSlot> FindOrientationValueOffset(std::span<const uint8_t> jpeg);

}  // namespace exif
