#pragma once
// gzip straight from zlib, independent of the library's own code, to make and check bodies.
#include <string>
#include <string_view>

namespace netkit_test {

std::string GzipForTest(std::string_view data);
// Empty on any failure (malformed input, more than the limit).
bool GunzipForTest(std::string_view data, std::string& out, size_t limit = 64u << 20);

}  // namespace netkit_test
