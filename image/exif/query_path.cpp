#include "image/exif/query_path.h"

#include <initializer_list>

#include "base/strings.h"

namespace exif {
namespace {

using Kind = QueryTarget::Kind;

enum class ItemForm : uint8_t { kMalformed, kUShort, kOtherType };
struct Item {
  ItemForm form = ItemForm::kMalformed;
  uint16_t value = 0;
};

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "{ushort=274}" or "{ushort=0x112}"; other type names are well formed but never match a tag,
// because the directories key their entries by unsigned 16-bit numbers.
Item ParseItem(std::wstring_view s) {
  if (s.size() < 5 || s.front() != L'{' || s.back() != L'}') return {};
  s = s.substr(1, s.size() - 2);
  const size_t eq = s.find(L'=');
  if (eq == 0 || eq == std::wstring_view::npos) return {};
  const std::wstring_view type = s.substr(0, eq);
  std::wstring_view digits = s.substr(eq + 1);
  for (wchar_t c : type) {
    if (!IsAsciiLetter(c)) return {};
  }
  unsigned base = 10;
  if (digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.size() > 10) return {};
  uint64_t value = 0;
  for (wchar_t c : digits) {
    unsigned d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return {};
    value = value * base + d;
  }
  if (!base::EqualsNoCase(type, L"ushort")) return {ItemForm::kOtherType, 0};
  if (value > 0xFFFF) return {};
  return {ItemForm::kUShort, static_cast<uint16_t>(value)};
}

bool IsOneOf(std::wstring_view name, std::initializer_list<const wchar_t*> names) {
  for (const wchar_t* n : names) {
    if (base::EqualsNoCase(name, n)) return true;
  }
  return false;
}

// "app0" to "app15": JPEG application blocks other than the one we read.
bool IsAppBlockName(std::wstring_view name) {
  if (name.size() < 4 || name.size() > 5 || !base::StartsWithNoCase(name, L"app")) return false;
  unsigned n = 0;
  for (wchar_t c : name.substr(3)) {
    if (c < L'0' || c > L'9') return false;
    n = n * 10 + (c - L'0');
  }
  return n <= 15;
}

// One step down from `at` by a block name; kNotFound for blocks a JPEG may hold that this reader
// does not serve, kInvalid for names that mean nothing there.
QueryTarget StepByName(Node at, std::wstring_view name) {
  auto block = [](Node n) { return QueryTarget{Kind::kBlock, n, 0}; };
  const QueryTarget notFound{Kind::kNotFound, at, 0};
  switch (at) {
    case Node::kRoot:
      if (base::EqualsNoCase(name, L"app1")) return block(Node::kApp1);
      if (IsAppBlockName(name) ||
          IsOneOf(name, {L"xmp", L"com", L"luminance", L"chrominance", L"unknown"})) {
        return notFound;
      }
      break;
    case Node::kApp1:
      if (base::EqualsNoCase(name, L"ifd")) return block(Node::kIfd);
      if (base::EqualsNoCase(name, L"thumb")) return notFound;
      break;
    case Node::kIfd:
      if (base::EqualsNoCase(name, L"exif")) return block(Node::kExif);
      if (base::EqualsNoCase(name, L"gps")) return block(Node::kGps);
      if (IsOneOf(name, {L"xmp", L"iptc", L"irb"})) return notFound;
      break;
    case Node::kExif:
      if (IsOneOf(name, {L"interop", L"xmp"})) return notFound;
      break;
    case Node::kGps:
      break;
  }
  return {};
}

}  // namespace

QueryTarget ResolveQuery(std::wstring_view path, Node from) noexcept {
  if (path.empty() || path.front() != L'/') return {};
  QueryTarget target{Kind::kBlock, from, 0};
  std::wstring_view rest = path.substr(1);
  bool more = true;
  while (more) {
    const std::wstring_view segment = base::SplitNext(rest, L'/', more);
    if (segment.empty()) return {};
    if (target.kind == Kind::kTag) return {};  // nothing lies below an item
    if (target.kind == Kind::kNotFound) {
      // Below a block we do not serve, only the shape of the path can still be judged.
      if (segment.front() == L'{' && ParseItem(segment).form == ItemForm::kMalformed) return {};
      continue;
    }
    if (segment.front() == L'{') {
      const Item item = ParseItem(segment);
      if (item.form == ItemForm::kMalformed) return {};
      const bool hasTags = target.node == Node::kIfd || target.node == Node::kExif ||
                           target.node == Node::kGps;
      if (item.form == ItemForm::kOtherType || !hasTags) {
        target.kind = Kind::kNotFound;
        continue;
      }
      target = {Kind::kTag, target.node, item.value};
      continue;
    }
    target = StepByName(target.node, segment);
    if (target.kind == Kind::kInvalid) return {};
  }
  return target;
}

Directory DirectoryOf(Node node) noexcept {
  switch (node) {
    case Node::kExif: return Directory::kExif;
    case Node::kGps: return Directory::kGps;
    default: return Directory::kIfd0;
  }
}

const wchar_t* NodeLocation(Node node) noexcept {
  switch (node) {
    case Node::kApp1: return L"/app1";
    case Node::kIfd: return L"/app1/ifd";
    case Node::kExif: return L"/app1/ifd/exif";
    case Node::kGps: return L"/app1/ifd/gps";
    default: return L"/";
  }
}

}  // namespace exif
