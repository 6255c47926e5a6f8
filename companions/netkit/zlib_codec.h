#pragma once
// The library's uses of zlib: gzip for request and answer bodies, and the checked wrappers behind
// the zlib_* exports.
#include <cstddef>
#include <string>
#include <string_view>

namespace netkit {

[[nodiscard]] bool GzipCompress(std::string_view input, std::string& output);

enum class GunzipResult { kOk, kMalformed, kTooLarge };
// Decodes one or more gzip members that together make up the whole input; anything else (a
// truncated member, bytes after the last one, a zlib or raw stream) is malformed. Stops as soon
// as the output would exceed maxOutput.
[[nodiscard]] GunzipResult GzipDecompress(std::string_view input, size_t maxOutput, std::string& output);

// zlib's compress, uncompress and compressBound with every pointer and length checked; see the
// exports in netkit_api.h.
int CheckedCompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                    unsigned long sourceLen) noexcept;
int CheckedUncompress(unsigned char* dest, unsigned long* destLen, const unsigned char* source,
                      unsigned long sourceLen) noexcept;
unsigned long CheckedCompressBound(unsigned long sourceLen) noexcept;

}  // namespace netkit
