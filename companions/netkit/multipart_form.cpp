#include "companions/netkit/multipart_form.h"

#include <windows.h>
#include <bcrypt.h>

namespace netkit {
namespace {

constexpr std::string_view kBoundaryPrefix = "QuellinForm";
constexpr size_t kBoundaryRandomChars = 24;
constexpr int kBoundaryTries = 8;
constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::optional<std::string> DrawBoundary(const RandomSource& random) {
  unsigned char bytes[kBoundaryRandomChars] = {};
  if (!random || !random(bytes, sizeof(bytes))) return std::nullopt;
  std::string boundary(kBoundaryPrefix);
  for (unsigned char b : bytes) boundary += kAlphabet[b % (sizeof(kAlphabet) - 1)];
  return boundary;
}

// A part ends where "--" and the boundary follow a line break, so a boundary that appears
// nowhere in any name or value cannot end a part early.
bool OccursIn(const std::vector<FormField>& fields, const std::string& boundary) {
  for (const FormField& f : fields) {
    if (f.name.find(boundary) != std::string::npos || f.value.find(boundary) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

bool IsValidFieldName(std::string_view name) noexcept {
  if (name.empty()) return false;
  for (char c : name) {
    if (c == '"' || c == '\r' || c == '\n' || c == '\0') return false;
  }
  return true;
}

bool SystemRandom(unsigned char* bytes, size_t count) noexcept {
  if (count > 0xFFFFFFFFu) return false;
  return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::optional<MultipartBody> BuildMultipartBody(const std::vector<FormField>& fields, const RandomSource& random) {
  for (int attempt = 0; attempt < kBoundaryTries; ++attempt) {
    std::optional<std::string> boundary = DrawBoundary(random);
    if (!boundary) return std::nullopt;
    if (OccursIn(fields, *boundary)) continue;
    MultipartBody body{*boundary, {}};
    for (const FormField& f : fields) {
      body.bytes += "--" + *boundary + "\r\n";
      body.bytes += "Content-Disposition: form-data; name=\"" + f.name + "\"\r\n\r\n";
      body.bytes += f.value;
      body.bytes += "\r\n";
    }
    body.bytes += "--" + *boundary + "--\r\n";
    return body;
  }
  return std::nullopt;
}

std::string MultipartContentType(std::string_view boundary) {
  return "multipart/form-data; boundary=" + std::string(boundary);
}

}  // namespace netkit
