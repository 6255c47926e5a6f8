#include "skin/archive/zip_archive.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cwctype>

#include "base/handles.h"

namespace skin {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool Fail(std::wstring* error, std::wstring text) {
  if (error) *error = std::move(text);
  return false;
}

// Whether [offset, offset + length) lies inside a buffer of the given size, without overflow.
bool Within(uint64_t offset, uint64_t length, uint64_t size) { return offset <= size && length <= size - offset; }

// Strict UTF-8 (invalid sequences refuse the name).
bool DecodeName(const uint8_t* p, size_t length, std::wstring& name) {
  name.clear();
  if (length == 0) return true;
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p),
                                      static_cast<int>(length), nullptr, 0);
  if (n <= 0) return false;
  name.resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, reinterpret_cast<const char*>(p),
                               static_cast<int>(length), name.data(), n) == n;
}

}  // namespace

bool ZipArchive::IsSafeName(std::wstring_view name) {
  if (name.empty() || name.size() > 260) return false;
  if (name.front() == L'/' || name.front() == L'\\') return false;
  if (name.size() >= 2 && name[1] == L':') return false;  // "C:..." and "C:\..."
  for (wchar_t c : name) {
    if (c < 0x20 || c == L':' || c == 0x7F) return false;
  }
  // Every segment must be a real name: no "", ".", "..".
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"/\\", start);
    if (end == std::wstring_view::npos) end = name.size();
    const std::wstring_view segment = name.substr(start, end - start);
    if (segment.empty() || segment == L"." || segment == L"..") return false;
    start = end + 1;
  }
  return true;
}

std::wstring ZipArchive::NormalizeName(std::wstring_view name) {
  std::wstring out(name);
  for (wchar_t& c : out) {
    if (c == L'\\') c = L'/';
    c = static_cast<wchar_t>(std::towlower(c));
  }
  return out;
}

std::unique_ptr<ZipArchive> ZipArchive::Open(std::vector<uint8_t> bytes, std::wstring* error) {
  if (bytes.size() > kMaxArchiveSize) {
    Fail(error, L"the archive is larger than any skin archive may be");
    return nullptr;
  }
  std::unique_ptr<ZipArchive> archive(new ZipArchive());
  archive->bytes_ = std::move(bytes);
  if (!archive->Index(error)) return nullptr;
  return archive;
}

std::unique_ptr<ZipArchive> ZipArchive::OpenFile(const std::wstring& path, std::wstring* error) {
  base::KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    Fail(error, L"the archive cannot be opened: " + path);
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
      static_cast<uint64_t>(size.QuadPart) > kMaxArchiveSize) {
    Fail(error, L"the archive's size is unusable: " + path);
    return nullptr;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!::ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
      Fail(error, L"the archive cannot be read: " + path);
      return nullptr;
    }
    done += got;
  }
  return Open(std::move(bytes), error);
}

bool ZipArchive::Index(std::wstring* error) {
  const uint8_t* data = bytes_.data();
  const size_t size = bytes_.size();
  if (size < kEndSize) return Fail(error, L"the archive is too short to be a ZIP file");

  // The end record is the last one whose comment reaches exactly to the end of the file.
  size_t end = SIZE_MAX;
  const size_t lowest = size - kEndSize > 0xFFFF ? size - kEndSize - 0xFFFF : 0;
  for (size_t at = size - kEndSize + 1; at-- > lowest;) {
    if (U32(data + at) == kEndSignature && at + kEndSize + U16(data + at + 20) == size) {
      end = at;
      break;
    }
  }
  if (end == SIZE_MAX) return Fail(error, L"the archive has no end-of-directory record");

  const uint8_t* record = data + end;
  const uint16_t disk = U16(record + 4);
  const uint16_t directoryDisk = U16(record + 6);
  const uint16_t entriesHere = U16(record + 8);
  const uint16_t entries = U16(record + 10);
  const uint32_t directorySize = U32(record + 12);
  const uint32_t directoryOffset = U32(record + 16);
  if (disk != 0 || directoryDisk != 0 || entriesHere != entries) {
    return Fail(error, L"multi-part archives are not supported");
  }
  if (entries == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu) {
    return Fail(error, L"ZIP64 archives are not supported");
  }
  if (entries > kMaxEntries) return Fail(error, L"the archive lists too many entries");
  if (!Within(directoryOffset, directorySize, end)) {
    return Fail(error, L"the central directory lies outside the archive");
  }

  size_t at = directoryOffset;
  const size_t directoryEnd = static_cast<size_t>(directoryOffset) + directorySize;
  entries_.reserve(entries);
  for (uint16_t i = 0; i < entries; ++i) {
    if (!Within(at, kCentralSize, directoryEnd) || U32(data + at) != kCentralSignature) {
      return Fail(error, L"a central directory record is damaged");
    }
    const uint8_t* p = data + at;
    Entry entry;
    const uint16_t flags = U16(p + 8);
    entry.method = U16(p + 10);
    entry.crc = U32(p + 16);
    entry.compressed_size = U32(p + 20);
    entry.size = U32(p + 24);
    const uint16_t nameLength = U16(p + 28);
    const uint16_t extraLength = U16(p + 30);
    const uint16_t commentLength = U16(p + 32);
    const uint16_t startDisk = U16(p + 34);
    entry.local_offset = U32(p + 42);
    const uint64_t recordLength = uint64_t{kCentralSize} + nameLength + extraLength + commentLength;
    if (!Within(at, recordLength, directoryEnd)) return Fail(error, L"a central directory record overruns");
    if (!DecodeName(p + kCentralSize, nameLength, entry.name)) return Fail(error, L"an entry name is not UTF-8");
    at += static_cast<size_t>(recordLength);

    if (!entry.name.empty() && (entry.name.back() == L'/' || entry.name.back() == L'\\')) {
      entry.name.pop_back();  // a folder: checked like any name, never indexed
      if (!IsSafeName(entry.name)) return Fail(error, L"an entry name leaves the archive: " + entry.name);
      continue;
    }
    if (!IsSafeName(entry.name)) return Fail(error, L"an entry name leaves the archive: " + entry.name);
    if (startDisk != 0) return Fail(error, L"multi-part archives are not supported");
    if (flags & kFlagEncrypted) return Fail(error, L"encrypted entries are not supported: " + entry.name);
    if (entry.method != kStored && entry.method != kDeflated) {
      return Fail(error, L"an entry uses an unsupported compression: " + entry.name);
    }
    if (entry.method == kStored && entry.compressed_size != entry.size) {
      return Fail(error, L"a stored entry's sizes disagree: " + entry.name);
    }
    if (entry.size > kMaxEntrySize) return Fail(error, L"an entry is larger than any skin file may be: " + entry.name);
    // The entry's local header and data must lie before the central directory.
    if (!Within(entry.local_offset, kLocalSize, directoryOffset)) {
      return Fail(error, L"an entry's offset lies outside the archive: " + entry.name);
    }
    std::wstring key = NormalizeName(entry.name);
    if (by_name_.count(key)) return Fail(error, L"an entry appears twice: " + entry.name);
    by_name_.emplace(std::move(key), entries_.size());
    entries_.push_back(std::move(entry));
  }
  return true;
}

bool ZipArchive::Contains(std::wstring_view name) const { return by_name_.count(NormalizeName(name)) != 0; }

std::vector<std::wstring> ZipArchive::Names() const {
  std::vector<std::wstring> names;
  names.reserve(entries_.size());
  for (const Entry& entry : entries_) names.push_back(entry.name);
  return names;
}

bool ZipArchive::Read(std::wstring_view name, std::vector<uint8_t>& out, std::wstring* error) const {
  out.clear();
  if (!IsSafeName(name)) return Fail(error, L"a skin names a file outside the archive: " + std::wstring(name));
  const auto found = by_name_.find(NormalizeName(name));
  if (found == by_name_.end()) return Fail(error, L"the archive has no file " + std::wstring(name));
  if (!ReadEntry(entries_[found->second], out, error)) {
    out.clear();
    return false;
  }
  return true;
}

bool ZipArchive::ReadEntry(const Entry& entry, std::vector<uint8_t>& out, std::wstring* error) const {
  const uint8_t* data = bytes_.data();
  const uint8_t* local = data + entry.local_offset;  // bounds checked while indexing
  if (U32(local) != kLocalSignature) return Fail(error, L"an entry's local header is damaged: " + entry.name);
  const uint64_t dataOffset = uint64_t{entry.local_offset} + kLocalSize + U16(local + 26) + U16(local + 28);
  if (!Within(dataOffset, entry.compressed_size, bytes_.size())) {
    return Fail(error, L"an entry's data lies outside the archive: " + entry.name);
  }
  const uint8_t* packed = data + dataOffset;

  out.resize(entry.size);
  if (entry.method == kStored) {
    std::copy(packed, packed + entry.size, out.begin());
  } else {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return Fail(error, L"the decompressor could not start");
    // zlib's interface is not const-correct; it only reads next_in.
    stream.next_in = const_cast<Bytef*>(packed);
    stream.avail_in = entry.compressed_size;
    // A zero-sized entry still gets a valid output pointer; any byte written there is too many.
    uint8_t spare = 0;
    stream.next_out = entry.size ? out.data() : &spare;
    stream.avail_out = entry.size;
    const int result = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || produced != entry.size) {
      return Fail(error, L"an entry's compressed data is damaged or larger than declared: " + entry.name);
    }
  }
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), out.data(), static_cast<uInt>(out.size()));
  if (crc != entry.crc) return Fail(error, L"an entry fails its CRC check: " + entry.name);
  return true;
}

}  // namespace skin
