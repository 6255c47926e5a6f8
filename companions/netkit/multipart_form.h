#pragma once
// The multipart/form-data body of a form upload: one part per field, in the order given, each
// with its Content-Disposition name and the value's bytes as they are.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace netkit {

struct FormField {
  std::string name;
  std::string value;
};

// A field name goes inside name="..." of a part header: not empty, and no quote, CR, LF or NUL.
[[nodiscard]] bool IsValidFieldName(std::string_view name) noexcept;

// Fills the buffer with unpredictable bytes; false when it cannot.
using RandomSource = std::function<bool(unsigned char* bytes, size_t count)>;
[[nodiscard]] bool SystemRandom(unsigned char* bytes, size_t count) noexcept;

struct MultipartBody {
  std::string boundary;
  std::string bytes;
};

// Draws boundaries from the random source until one occurs in no field name or value (a few
// tries; nullopt when every one collided or the source failed).
[[nodiscard]] std::optional<MultipartBody> BuildMultipartBody(const std::vector<FormField>& fields,
                                                              const RandomSource& random);

// The Content-Type header value that goes with a body made with this boundary.
std::string MultipartContentType(std::string_view boundary);

}  // namespace netkit
