#include "image/exif/reader.h"

#include <propidl.h>
#include <wincodecsdk.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <optional>

#include "base/com.h"
#include "base/handles.h"
#include "image/exif/parse.h"
#include "image/exif/query_path.h"

namespace {

using exif::Directory;
using exif::Entry;
using exif::ExifBlock;
using exif::FieldType;
using exif::Node;
using exif::QueryTarget;

// The PROPVARIANT element type for a TIFF field type, and its size in bytes.
struct ValueShape {
  VARTYPE vt;
  size_t size;
};

ValueShape ShapeOf(FieldType type) {
  switch (type) {
    case FieldType::kSByte: return {VT_I1, 1};
    case FieldType::kShort: return {VT_UI2, 2};
    case FieldType::kSShort: return {VT_I2, 2};
    case FieldType::kLong: return {VT_UI4, 4};
    case FieldType::kSLong: return {VT_I4, 4};
    case FieldType::kRational: return {VT_UI8, 8};
    case FieldType::kSRational: return {VT_I8, 8};
    case FieldType::kFloat: return {VT_R4, 4};
    case FieldType::kDouble: return {VT_R8, 8};
    default: return {VT_UI1, 1};
  }
}

// Writes the low `size` bytes of `bits` (host order is little-endian on every Windows target).
void StoreElement(void* dst, uint64_t bits, size_t size) { std::memcpy(dst, &bits, size); }

template <typename Counted>
void SetVector(Counted& ca, void* elements, ULONG count) {
  ca.cElems = count;
  ca.pElems = static_cast<decltype(ca.pElems)>(elements);
}

void SetVectorFor(PROPVARIANT* pv, VARTYPE vt, void* elements, ULONG count) {
  switch (vt) {
    case VT_I1: SetVector(pv->cac, elements, count); break;
    case VT_UI2: SetVector(pv->caui, elements, count); break;
    case VT_I2: SetVector(pv->cai, elements, count); break;
    case VT_UI4: SetVector(pv->caul, elements, count); break;
    case VT_I4: SetVector(pv->cal, elements, count); break;
    case VT_UI8: SetVector(pv->cauh, elements, count); break;
    case VT_I8: SetVector(pv->cah, elements, count); break;
    case VT_R4: SetVector(pv->caflt, elements, count); break;
    case VT_R8: SetVector(pv->cadbl, elements, count); break;
    default: SetVector(pv->caub, elements, count); break;
  }
}

HRESULT FillText(const ExifBlock& block, const Entry& e, PROPVARIANT* pv) {
  const std::span<const uint8_t> raw = block.RawValue(e);
  // The count includes the terminator when the writer kept to the rules; stop at the first NUL
  // either way so that padding never reaches the caller.
  const size_t length = std::find(raw.begin(), raw.end(), uint8_t{0}) - raw.begin();
  auto* text = static_cast<char*>(::CoTaskMemAlloc(length + 1));
  if (text == nullptr) return E_OUTOFMEMORY;
  std::memcpy(text, raw.data(), length);
  text[length] = '\0';
  pv->vt = VT_LPSTR;
  pv->pszVal = text;
  return S_OK;
}

HRESULT FillBlob(const ExifBlock& block, const Entry& e, PROPVARIANT* pv) {
  const std::span<const uint8_t> raw = block.RawValue(e);
  auto* data = static_cast<BYTE*>(::CoTaskMemAlloc(raw.size()));
  if (data == nullptr) return E_OUTOFMEMORY;
  std::memcpy(data, raw.data(), raw.size());
  pv->vt = VT_BLOB;
  pv->blob.cbSize = static_cast<ULONG>(raw.size());
  pv->blob.pBlobData = data;
  return S_OK;
}

HRESULT FillValue(const ExifBlock& block, const Entry& e, PROPVARIANT* pv) {
  if (e.type == FieldType::kAscii) return FillText(block, e, pv);
  if (e.type == FieldType::kUndefined) return FillBlob(block, e, pv);
  const ValueShape shape = ShapeOf(e.type);
  if (e.count == 1) {
    pv->vt = shape.vt;
    pv->uhVal.QuadPart = 0;
    StoreElement(&pv->uhVal, block.ElementBits(e, 0), shape.size);
    return S_OK;
  }
  auto* elements = static_cast<uint8_t*>(::CoTaskMemAlloc(shape.size * e.count));
  if (elements == nullptr) return E_OUTOFMEMORY;
  for (uint32_t i = 0; i < e.count; ++i) {
    StoreElement(elements + shape.size * i, block.ElementBits(e, i), shape.size);
  }
  pv->vt = static_cast<VARTYPE>(VT_VECTOR | shape.vt);
  SetVectorFor(pv, shape.vt, elements, e.count);
  return S_OK;
}

// The metadata format GUIDs of the nested blocks (spelled out: the import libraries lack them).
constexpr GUID kFormatApp1 = {0x8fd3dfc3, 0xf951, 0x492b, {0x81, 0x7f, 0x69, 0xc2, 0xe6, 0xd9, 0xa5, 0xb0}};
constexpr GUID kFormatIfd = {0x537396c6, 0x2d8a, 0x4bb6, {0x9b, 0xf8, 0x2f, 0x0a, 0x8e, 0x2a, 0x3a, 0xdf}};
constexpr GUID kFormatExif = {0x1c3c4f9d, 0xb84a, 0x467d, {0x94, 0x93, 0x36, 0xcf, 0xbd, 0x59, 0xea, 0x57}};
constexpr GUID kFormatGps = {0x7134ab8a, 0x9351, 0x44ad, {0xaf, 0x62, 0x44, 0x8d, 0xb6, 0xb5, 0x02, 0xec}};

// A nested reader reports its block's metadata format, the root the JPEG container, as the
// platform's readers do.
GUID FormatOf(Node node) {
  switch (node) {
    case Node::kApp1: return kFormatApp1;
    case Node::kIfd: return kFormatIfd;
    case Node::kExif: return kFormatExif;
    case Node::kGps: return kFormatGps;
    default: return GUID_ContainerFormatJpeg;
  }
}

// The reader itself: one parsed block shared by the root reader and the nested block readers.
class ExifQueryReader final : public IWICMetadataQueryReader {
 public:
  ExifQueryReader(std::shared_ptr<const ExifBlock> block, Node node) noexcept
      : block_(std::move(block)), node_(node) {}
  ExifQueryReader(const ExifQueryReader&) = delete;
  ExifQueryReader& operator=(const ExifQueryReader&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IWICMetadataQueryReader) {
      *object = static_cast<IWICMetadataQueryReader*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetContainerFormat(GUID* format) noexcept override {
    if (format == nullptr) return E_INVALIDARG;
    *format = FormatOf(node_);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetLocation(UINT maxLength, WCHAR* location,
                                        UINT* actualLength) noexcept override {
    if (actualLength == nullptr) return E_INVALIDARG;
    const wchar_t* text = exif::NodeLocation(node_);
    const UINT needed = static_cast<UINT>(std::wcslen(text) + 1);
    *actualLength = needed;
    if (location == nullptr) return S_OK;  // a size query
    if (maxLength < needed) return WINCODEC_ERR_INSUFFICIENTBUFFER;
    std::memcpy(location, text, needed * sizeof(wchar_t));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetMetadataByName(LPCWSTR name, PROPVARIANT* value) noexcept override {
    if (name == nullptr) return E_INVALIDARG;
    if (value != nullptr) ::PropVariantInit(value);
    const QueryTarget target = exif::ResolveQuery(name, node_);
    switch (target.kind) {
      case QueryTarget::Kind::kInvalid: return WINCODEC_ERR_INVALIDQUERYREQUEST;
      case QueryTarget::Kind::kNotFound: return WINCODEC_ERR_PROPERTYNOTFOUND;
      case QueryTarget::Kind::kBlock: return GetBlock(target.node, value);
      case QueryTarget::Kind::kTag: break;
    }
    const Directory dir = exif::DirectoryOf(target.node);
    const Entry* entry = block_->HasDirectory(dir) ? block_->Find(dir, target.tag) : nullptr;
    if (entry == nullptr) return WINCODEC_ERR_PROPERTYNOTFOUND;
    if (value == nullptr) return S_OK;  // only asked whether it exists
    return FillValue(*block_, *entry, value);
  }

  HRESULT STDMETHODCALLTYPE GetEnumerator(IEnumString** items) noexcept override {
    if (items == nullptr) return E_INVALIDARG;
    *items = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~ExifQueryReader() = default;

  HRESULT GetBlock(Node node, PROPVARIANT* value) noexcept {
    const bool present = (node != Node::kExif && node != Node::kGps) ||
                         block_->HasDirectory(exif::DirectoryOf(node));
    if (!present) return WINCODEC_ERR_PROPERTYNOTFOUND;
    if (value == nullptr) return S_OK;
    auto* nested = new (std::nothrow) ExifQueryReader(block_, node);
    if (nested == nullptr) return E_OUTOFMEMORY;
    value->vt = VT_UNKNOWN;
    value->punkVal = nested;  // carries the reference made by construction
    return S_OK;
  }

  std::shared_ptr<const ExifBlock> block_;
  Node node_;
  std::atomic<ULONG> refs_{1};
};

bool StartsAsJpeg(const exif::ReadAt& read) {
  uint8_t soi[2] = {};
  return read(0, soi, 2) == 2 && soi[0] == 0xFF && soi[1] == 0xD8;
}

// Parses through `read` and hands out a root reader; the shared helper of the three factories.
HRESULT CreateFromSource(const exif::ReadAt& read, IWICMetadataQueryReader** out) noexcept {
  try {
    if (!StartsAsJpeg(read)) return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    std::optional<ExifBlock> block = exif::ReadExifFromJpeg(read);
    if (!block) return WINCODEC_ERR_PROPERTYNOTFOUND;
    auto shared = std::make_shared<const ExifBlock>(std::move(*block));
    *out = new ExifQueryReader(std::move(shared), Node::kRoot);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

constexpr IID kBlockReaderIid = {0xfeaa2a8d, 0xb3f3, 0x43e4, {0xb2, 0x5c, 0xd1, 0xde, 0x99, 0x0a, 0x1a, 0xe1}};

// The frame's container as its metadata readers report it; false when neither can tell.
bool FrameContainer(IWICBitmapFrameDecode* frame, IWICMetadataQueryReader* reader, GUID* container) {
  if (reader != nullptr && SUCCEEDED(reader->GetContainerFormat(container))) return true;
  base::ComPtr<IWICMetadataBlockReader> blocks;
  return SUCCEEDED(frame->QueryInterface(kBlockReaderIid, reinterpret_cast<void**>(blocks.GetAddressOf()))) &&
         SUCCEEDED(blocks->GetContainerFormat(container));
}

bool HasApp1Block(IWICMetadataQueryReader* reader) {
  PROPVARIANT value;
  ::PropVariantInit(&value);
  const HRESULT hr = reader->GetMetadataByName(L"/app1", &value);
  ::PropVariantClear(&value);
  return SUCCEEDED(hr);
}

}  // namespace

HRESULT CreateExifQueryReaderFromBytes(const uint8_t* data, size_t size,
                                       IWICMetadataQueryReader** out) noexcept {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (data == nullptr && size != 0) return E_INVALIDARG;
  return CreateFromSource(
      [data, size](uint64_t offset, void* dst, size_t n) -> size_t {
        if (offset >= size) return 0;
        n = static_cast<size_t>(std::min<uint64_t>(n, size - offset));
        std::memcpy(dst, data + offset, n);
        return n;
      },
      out);
}

HRESULT CreateExifQueryReaderFromStream(IStream* stream, IWICMetadataQueryReader** out) noexcept {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (stream == nullptr) return E_INVALIDARG;
  LARGE_INTEGER zero{};
  ULARGE_INTEGER start{};
  if (FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &start))) return E_FAIL;
  const HRESULT hr = CreateFromSource(
      [stream](uint64_t offset, void* dst, size_t n) -> size_t {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        ULONG got = 0;
        if (offset > INT64_MAX || n > ULONG_MAX || FAILED(stream->Seek(at, STREAM_SEEK_SET, nullptr)) ||
            FAILED(stream->Read(dst, static_cast<ULONG>(n), &got))) {
          return 0;
        }
        return got;
      },
      out);
  LARGE_INTEGER back;
  back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
  (void)stream->Seek(back, STREAM_SEEK_SET, nullptr);
  return hr;
}

HRESULT CreateExifQueryReaderFromFile(const wchar_t* path, IWICMetadataQueryReader** out) noexcept {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (path == nullptr || *path == L'\0') return E_INVALIDARG;
  // Read access only: the picture may be open in other programs, and is never changed here.
  base::KernelHandle file(::CreateFileW(path, GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return HRESULT_FROM_WIN32(::GetLastError());
  const HANDLE h = file.Get();
  return CreateFromSource(
      [h](uint64_t offset, void* dst, size_t n) -> size_t {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (n > MAXDWORD || !::ReadFile(h, dst, static_cast<DWORD>(n), &got, &at)) return 0;
        return got;
      },
      out);
}

HRESULT GetFrameQueryReaderWithFallback(IWICBitmapFrameDecode* frame, const wchar_t* path,
                                        IWICMetadataQueryReader** out) noexcept {
  if (frame == nullptr || out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  base::ComPtr<IWICMetadataQueryReader> platform;
  HRESULT platformHr = frame->GetMetadataQueryReader(platform.GetAddressOf());
  if (SUCCEEDED(platformHr) && !platform) platformHr = WINCODEC_ERR_UNSUPPORTEDOPERATION;
  // Only a JPEG frame can have our block; one whose platform reader already sees APP1 keeps it.
  // When the frame cannot name its container, the file's first bytes decide below.
  GUID container{};
  const bool known = FrameContainer(frame, platform.Get(), &container);
  const bool isJpeg = known && IsEqualGUID(container, GUID_ContainerFormatJpeg);
  if ((known && !isJpeg) || (platform && (!isJpeg || HasApp1Block(platform.Get())))) {
    *out = platform.Detach();
    return platformHr;
  }
  base::ComPtr<IWICMetadataQueryReader> ours;
  if (path != nullptr && SUCCEEDED(CreateExifQueryReaderFromFile(path, ours.GetAddressOf()))) {
    *out = ours.Detach();
    return S_OK;
  }
  if (platform) {
    *out = platform.Detach();
    return S_OK;
  }
  return platformHr;
}
