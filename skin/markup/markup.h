#pragma once
// Skin markup: a UTF-8 XML document read with the platform's XmlLite reader into a small tree of
// elements and attributes. Document type declarations are refused (so no entity of ours is ever
// expanded), and the size, the nesting depth, the number of elements and the length of every
// attribute value are limited, so that a damaged or hostile skin fails cleanly.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skin {

struct MarkupNode {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  std::vector<MarkupNode> children;
  UINT line = 0;

  // The attribute's value, or null when the element has none of that name (case-insensitive).
  [[nodiscard]] const std::wstring* Attribute(std::wstring_view attributeName) const;
};

struct MarkupLimits {
  size_t max_bytes = 1u << 20;
  UINT max_depth = 32;
  size_t max_elements = 4096;
  size_t max_value_length = 4096;
};

// Parses a whole document; the root element lands in *root. False with the reason (and the line)
// in *error for anything that is not a well-formed document within the limits.
bool ParseMarkup(const std::vector<uint8_t>& bytes, MarkupNode& root, std::wstring* error,
                 const MarkupLimits& limits = MarkupLimits{});

}  // namespace skin
