#include "image/save/save.h"

#include <propvarutil.h>
#include <wincodecsdk.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "base/paths.h"
#include "base/strings.h"
#include "base/handles.h"
#include "image/exif/parse.h"
#include "image/file_types.h"
#include "image/save/encoder_format.h"
#include "image/wic/factory.h"

namespace {

HRESULT SetOrientationTag(IWICBitmapFrameEncode* frame, int orientation) {
  base::ComPtr<IWICMetadataQueryWriter> writer;
  HRESULT hr = frame->GetMetadataQueryWriter(&writer);
  if (FAILED(hr)) return hr;
  PROPVARIANT value;
  ::PropVariantInit(&value);
  value.vt = VT_UI2;
  value.uiVal = static_cast<USHORT>(orientation);
  return writer->SetMetadataByName(L"/app1/ifd/{ushort=274}", &value);
}

// Copies the metadata blocks of the source file's frame 0; a failure is not an error.
bool CopyMetadataBlocks(IWICBitmapDecoder* decoder, IWICBitmapFrameEncode* frame) {
  if (!decoder) return false;
  base::ComPtr<IWICBitmapFrameDecode> source;
  base::ComPtr<IWICMetadataBlockReader> reader;
  base::ComPtr<IWICMetadataBlockWriter> writer;
  return SUCCEEDED(decoder->GetFrame(0, &source)) && SUCCEEDED(source.As(&reader)) && SUCCEEDED(frame->QueryInterface(IID_PPV_ARGS(&writer))) &&
         SUCCEEDED(writer->InitializeFromBlockReader(reader.Get()));
}

// Rewrites the two bytes of the first IFD's orientation entry of a JPEG. The file is opened without
// creation or truncation and only those bytes are written.
bool PatchExifOrientation(const std::wstring& path, int orientation) {
  if (orientation < 1 || orientation > 8) return false;
  base::KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  const HANDLE h = file.Get();
  exif::ReadAt read = [h](uint64_t offset, void* dst, size_t size) -> size_t {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (size > 0x7FFFFFFF || !::ReadFile(h, dst, static_cast<DWORD>(size), &got, &at)) return 0;
    return got;
  };
  const auto block = exif::ReadExifFromJpeg(read);
  if (!block) return false;
  const auto slot = exif::FindOrientationValueOffset(*block);
  if (!slot) return false;
  const uint16_t value = static_cast<uint16_t>(orientation);
  const uint8_t bytes[2] = {static_cast<uint8_t>(slot->bigEndian ? value >> 8 : value & 0xFF),
                            static_cast<uint8_t>(slot->bigEndian ? value & 0xFF : value >> 8)};
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(slot->fileOffset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(slot->fileOffset >> 32);
  DWORD written = 0;
  if (!::WriteFile(h, bytes, 2, &written, &at) || written != 2) return false;
  return ::FlushFileBuffers(h) != FALSE;
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  base::KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1LL << 30)) return bytes;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                         got != bytes.size())) {
    bytes.clear();
  }
  return bytes;
}

// Encodes the loader's picture into path, a temporary file of the save, as the format class.
bool EncodeToFile(const CWICImageLoader& loader, const std::wstring& path, unsigned formatClass, int quality) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || path.empty() || !loader.FrameSource()) return false;
  GUID container{};
  if (!ContainerForClass(formatClass, container)) return false;

  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) {
    return false;
  }
  base::ComPtr<IWICBitmapFrameEncode> frame;
  base::ComPtr<IPropertyBag2> options;
  if (FAILED(encoder->CreateNewFrame(&frame, &options))) return false;
  if (formatClass == 2 && options) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(quality) / 100.0f;
    options->Write(1, &option, &value);
  }
  if (FAILED(frame->Initialize(options.Get()))) return false;
  const bool copied = CopyMetadataBlocks(loader.Decoder(), frame.Get());
  if (loader.ColorContext()) {
    IWICColorContext* context = loader.ColorContext();
    frame->SetColorContexts(1, &context);
  }

  const WICBitmapTransformOptions transform = loader.Transform();
  base::ComPtr<IWICBitmapSource> pixels;
  bool turned = false;
  if (formatClass == 2) {
    // A picture without a tag (orientation 0) is written as it is: 0 is not a value to write.
    const int orientation = loader.Metadata().orientation;
    if (orientation >= 1 && orientation <= 8 && IsWindows81OrLater() &&
        SUCCEEDED(SetOrientationTag(frame.Get(), orientation))) {
      pixels = loader.FrameSource();
    } else if (transform != WICBitmapTransformRotate0) {
      base::ComPtr<IWICBitmap> oriented;
      if (FAILED(loader.GetOrientedBitmap(false, &oriented))) return false;
      pixels = oriented;
      turned = true;
    } else {
      pixels = loader.FrameSource();
    }
  } else {
    base::ComPtr<IWICBitmap> oriented;
    if (FAILED(loader.GetOrientedBitmap(formatClass == 1 || formatClass == 3, &oriented))) return false;
    pixels = oriented;
    turned = transform != WICBitmapTransformRotate0;
  }
  // Turned pixels must not keep a copied orientation tag, or the next open would turn them again.
  if (turned && copied) SetOrientationTag(frame.Get(), 1);

  return SUCCEEDED(WriteSourceToFrame(frame.Get(), pixels.Get())) && SUCCEEDED(frame->Commit()) &&
         SUCCEEDED(encoder->Commit());
}

}  // namespace

bool CarryExifBlock(const std::wstring& source, const std::wstring& written) {
  std::vector<uint8_t> output = ReadWholeFile(written);
  if (output.size() < 4 || output[0] != 0xFF || output[1] != 0xD8) return false;
  if (exif::ReadExifFromJpeg(std::span<const uint8_t>(output))) return false;  // the encoder kept it
  const std::vector<uint8_t> input = ReadWholeFile(source);
  exif::ReadAt read = [&input](uint64_t offset, void* dst, size_t size) -> size_t {
    if (offset >= input.size()) return 0;
    const size_t n = std::min<size_t>(size, input.size() - static_cast<size_t>(offset));
    std::memcpy(dst, input.data() + offset, n);
    return n;
  };
  const auto where = exif::LocateExif(read);
  if (!where || where->tiffSize == 0 || where->tiffSize + 8u > 0xFFFFu ||
      where->tiffOffset + where->tiffSize > input.size()) {
    return false;
  }
  const size_t length = where->tiffSize + 8u;
  std::vector<uint8_t> segment = {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF),
                                  'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), input.begin() + static_cast<long>(where->tiffOffset),
                 input.begin() + static_cast<long>(where->tiffOffset + where->tiffSize));
  // After a JFIF APP0 segment when there is one, else right after SOI.
  size_t at = 2;
  if (output[2] == 0xFF && output[3] == 0xE0 && output.size() >= 6) {
    const size_t app0 = (static_cast<size_t>(output[4]) << 8) | output[5];
    if (2 + 2 + app0 <= output.size()) at = 2 + 2 + app0;
  }
  output.insert(output.begin() + static_cast<long>(at), segment.begin(), segment.end());
  // Written beside the encoded file and moved over it, so a failure leaves the encoded file whole.
  const std::wstring sibling = written + L".exif";
  {
    base::KernelHandle file(::CreateFileW(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    if (!file || !::WriteFile(file.Get(), output.data(), static_cast<DWORD>(output.size()), &put, nullptr) ||
        put != output.size()) {
      file.Reset();
      ::DeleteFileW(sibling.c_str());
      return false;
    }
  }
  if (!::MoveFileExW(sibling.c_str(), written.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(sibling.c_str());
    return false;
  }
  // The pixels of the written file are as displayed: the carried tag must not turn them again.
  PatchExifOrientation(written, 1);
  return true;
}

bool ContainerForClass(unsigned formatClass, GUID& container) {
  switch (formatClass) {
    case 1: container = GUID_ContainerFormatBmp; return true;
    case 2: container = GUID_ContainerFormatJpeg; return true;
    case 3: container = GUID_ContainerFormatGif; return true;
    case 4: container = GUID_ContainerFormatTiff; return true;
    case 5: container = GUID_ContainerFormatPng; return true;
    default: return false;
  }
}

SaveTarget MakeSaveTarget(const std::wstring& target) {
  SaveTarget job{target, {}};
  const std::wstring folder = base::FolderOf(target);
  const wchar_t* extension = ::PathFindExtensionW(target.c_str());
  if (target.empty() || base::FileNameOf(target).empty()) return job;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring candidate =
        folder + base::FormatW(L"tmp%d%d%s", static_cast<int>(::GetTickCount()), std::rand(), extension);
    if (candidate.size() + 1 > base::kMaxPath) break;
    // Created new, so that two saves never share a name; the encoder then writes into it.
    base::KernelHandle file(::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      job.written = candidate;
      break;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return job;
}

bool ReplaceTarget(const SaveTarget& job) {
  if (job.written.empty() || base::EqualsNoCase(job.written, job.target)) return false;
  if (!::PathFileExistsW(job.written.c_str())) return false;
  const DWORD attributes = ::GetFileAttributesW(job.target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(job.target.c_str(), FILE_ATTRIBUTE_NORMAL);
  // ReplaceFileW keeps the target's identity (attributes, creation time, security); MoveFileExW is
  // the atomic fallback and the way into place where there was no target. Either way the old
  // content stays when the replacement fails.
  bool ok = attributes == INVALID_FILE_ATTRIBUTES || base::WaitUntilReplaceable(job.target);
  if (ok) {
    ok = attributes != INVALID_FILE_ATTRIBUTES &&
         ::ReplaceFileW(job.target.c_str(), job.written.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) != FALSE;
    if (!ok) {
      ok = ::MoveFileExW(job.written.c_str(), job.target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
  }
  if (!ok) {
    ::DeleteFileW(job.written.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(job.target.c_str(), attributes);
  }
  return ok;
}

CSaveJob::~CSaveJob() {
  if (!committed_ && !files_.written.empty()) ::DeleteFileW(files_.written.c_str());
}

bool CSaveJob::Encode(const CWICImageLoader& loader, int quality) {
  if (files_.written.empty() || encoded_ || committed_) return false;
  encoded_ = EncodeToFile(loader, files_.written, image::ClassifyImageFile(files_.target.c_str()), quality);
  return encoded_;
}

bool CSaveJob::Commit() {
  if (!encoded_ || committed_) return false;
  // ReplaceTarget removes the written file itself when it fails.
  committed_ = ReplaceTarget(files_);
  return committed_;
}

std::wstring ProposeSaveAsName(const std::wstring& currentPath) {
  std::wstring stem = currentPath;
  const wchar_t* extension = ::PathFindExtensionW(currentPath.c_str());
  stem.resize(static_cast<size_t>(extension - currentPath.c_str()));
  std::wstring name;
  for (int n = 1; n <= 99; ++n) {
    name = stem + base::FormatW(L"(%d).jpg", n);
    if (!::PathFileExistsW(name.c_str())) break;
  }
  return name;
}

std::wstring ApplySaveAsFilter(const std::wstring& chosen, int filterIndex) {
  if (image::IsWritableClass(image::ClassifyImageFile(chosen.c_str()))) return chosen;
  switch (filterIndex) {
    case 2: return chosen + L".png";
    case 3: return chosen + L".bmp";
    case 4: return chosen + L".gif";
    case 5: return chosen + L".tiff";
    default: return chosen + L".jpg";
  }
}

bool WriteOrientationInPlace(const std::wstring& path, int orientation) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  {
    // Opened for writing without creation or truncation: whatever the decoder does, the bytes of
    // the picture stay until the fast encoder commits its edit.
    base::ComPtr<IStream> stream;
    base::ComPtr<IWICBitmapDecoder> decoder;
    base::ComPtr<IWICFastMetadataEncoder> fast;
    base::ComPtr<IWICMetadataQueryWriter> writer;
    if (SUCCEEDED(::SHCreateStreamOnFileEx(path.c_str(), STGM_READWRITE | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL,
                                           FALSE, nullptr, &stream)) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(factory->CreateFastMetadataEncoderFromDecoder(decoder.Get(), &fast)) &&
        SUCCEEDED(fast->GetMetadataQueryWriter(&writer))) {
      PROPVARIANT value;
      ::PropVariantInit(&value);
      value.vt = VT_UI2;
      value.uiVal = static_cast<USHORT>(orientation);
      if (FAILED(writer->SetMetadataByName(L"/app1/ifd/{ushort=274}", &value))) return false;
      return SUCCEEDED(fast->Commit());
    }
  }
  // The platform has no fast metadata editing: patch the two bytes of an existing orientation
  // entry ourselves. Files without one are left to the full save.
  return PatchExifOrientation(path.c_str(), orientation);
}
