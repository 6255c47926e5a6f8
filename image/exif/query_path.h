#pragma once
// The metadata query language as far as the EXIF reader answers it: block names separated by
// "/" and "{ushort=N}" items, for example "/app1/ifd/exif/{ushort=33434}".
#include <cstdint>
#include <string_view>

#include "image/exif/parse.h"

namespace exif {

// Where a query reader stands: the file's root or one of the nested EXIF blocks.
enum class Node : uint8_t { kRoot, kApp1, kIfd, kExif, kGps };

struct QueryTarget {
  enum class Kind : uint8_t {
    kInvalid,   // not a query this reader understands
    kNotFound,  // well formed, names something this reader never holds (e.g. "/xmp")
    kBlock,     // a block: `node`
    kTag,       // an item: `tag` in the directory of `node` (kIfd, kExif or kGps)
  };
  Kind kind = Kind::kInvalid;
  Node node = Node::kRoot;
  uint16_t tag = 0;
};

// Resolves a query relative to the reader at `from`. Names compare without regard to case;
// numbers are decimal or "0x" hexadecimal. An empty segment ("//", a trailing "/") is invalid.
QueryTarget ResolveQuery(std::wstring_view path, Node from) noexcept;

// The directory whose tags a node's items address; only for kIfd, kExif and kGps.
Directory DirectoryOf(Node node) noexcept;

// The absolute location of a node: "/", "/app1", "/app1/ifd", "/app1/ifd/exif", "/app1/ifd/gps".
const wchar_t* NodeLocation(Node node) noexcept;

}  // namespace exif
