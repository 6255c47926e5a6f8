#pragma once
// The skin archive: a ZIP file read whole into memory and indexed from its central directory.
// Only what our build writes is accepted: stored or deflated entries, no encryption, no
// multi-disk archives, no ZIP64. Every size and offset is checked against the file before it is
// used, names that could climb out of the archive are refused, and every entry's CRC-32 is
// checked when it is read. Nothing is ever extracted to disk.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace skin {

class ZipArchive {
 public:
  // Archives and entries larger than this are refused: the skins and their pictures are small.
  static constexpr size_t kMaxArchiveSize = 64u << 20;
  static constexpr uint32_t kMaxEntrySize = 16u << 20;
  static constexpr size_t kMaxEntries = 4096;

  // Parses the archive held in bytes. On failure answers null and says why in *error.
  static std::unique_ptr<ZipArchive> Open(std::vector<uint8_t> bytes, std::wstring* error);
  // Reads a whole file, then Open.
  static std::unique_ptr<ZipArchive> OpenFile(const std::wstring& path, std::wstring* error);

  [[nodiscard]] bool Contains(std::wstring_view name) const;
  // The entry's bytes, inflated and checked. False (with the reason) for a missing entry or
  // damaged data.
  [[nodiscard]] bool Read(std::wstring_view name, std::vector<uint8_t>& out, std::wstring* error) const;
  // Entry names in archive order (tests and tools).
  [[nodiscard]] std::vector<std::wstring> Names() const;

  // Whether a stored name may be used: relative, no "..", no drive, no empty segment, no
  // control characters. Backslashes count as separators.
  static bool IsSafeName(std::wstring_view name);
  // The name as the index keeps it: backslashes become slashes, letters lower case.
  static std::wstring NormalizeName(std::wstring_view name);

 private:
  struct Entry {
    std::wstring name;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t compressed_size = 0;
    uint32_t size = 0;
    uint32_t local_offset = 0;
  };

  ZipArchive() = default;
  bool Index(std::wstring* error);
  bool ReadEntry(const Entry& entry, std::vector<uint8_t>& out, std::wstring* error) const;

  std::vector<uint8_t> bytes_;
  std::vector<Entry> entries_;
  std::map<std::wstring, size_t> by_name_;
};

}  // namespace skin
