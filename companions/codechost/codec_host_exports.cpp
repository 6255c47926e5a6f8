// The export of CodecHost.dll. The viewer calls load_image for a file that its platform decoders could
// not read and frees the library right after the call, so what it returns is a bitmap of the
// caller's own imaging factory: nothing of this library's code stays behind in it.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <new>
#include <vector>

#include "companions/codechost/decoders.h"

namespace {

// The whole file, read once (a mapping would fault if another program cut the file short while
// it is decoded). Shared as the viewer opens pictures: others may go on writing or deleting.
bool ReadWholeFile(const wchar_t* path, std::vector<uint8_t>* bytes) {
  HANDLE file = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A picture file of more than a quarter of the address space is refused, not attempted.
  constexpr unsigned long long kLimit = sizeof(void*) == 8 ? (1ull << 32) : (1ull << 28);
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && static_cast<unsigned long long>(size.QuadPart) <= kLimit;
  if (ok) {
    try {
      bytes->resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  size_t done = 0;
  while (ok && done < bytes->size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
    DWORD got = 0;
    ok = ::ReadFile(file, bytes->data() + done, want, &got, nullptr) && got > 0;
    done += got;
  }
  ::CloseHandle(file);
  return ok;
}

// A bitmap of the caller's factory, locked for writing while the decoder fills it.
class WicCanvas final : public codechost::Canvas {
 public:
  explicit WicCanvas(IWICImagingFactory* factory) : factory_(factory) {}
  ~WicCanvas() override {
    if (lock_) lock_->Release();
    if (bitmap_) bitmap_->Release();
  }
  WicCanvas(const WicCanvas&) = delete;
  WicCanvas& operator=(const WicCanvas&) = delete;

  uint8_t* Begin(uint32_t width, uint32_t height, uint32_t* stride) override {
    if (bitmap_) return nullptr;
    if (FAILED(factory_->CreateBitmap(width, height, GUID_WICPixelFormat32bppBGRA, WICBitmapCacheOnLoad, &bitmap_))) {
      return nullptr;
    }
    const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
    UINT size = 0, rowBytes = 0;
    BYTE* pixels = nullptr;
    if (FAILED(bitmap_->Lock(&all, WICBitmapLockWrite, &lock_)) || FAILED(lock_->GetStride(&rowBytes)) ||
        FAILED(lock_->GetDataPointer(&size, &pixels)) || !pixels ||
        static_cast<uint64_t>(rowBytes) * height > size || rowBytes < static_cast<uint64_t>(width) * 4) {
      return nullptr;
    }
    *stride = rowBytes;
    return pixels;
  }

  // The finished bitmap, unlocked; the caller owns the reference.
  IWICBitmap* Finish() {
    if (lock_) {
      lock_->Release();
      lock_ = nullptr;
    }
    IWICBitmap* done = bitmap_;
    bitmap_ = nullptr;
    return done;
  }

 private:
  IWICImagingFactory* factory_;
  IWICBitmap* bitmap_ = nullptr;
  IWICBitmapLock* lock_ = nullptr;
};

}  // namespace

extern "C" {

// Answers a new reference to an IWICBitmap (which is an IWICBitmapSource), or null when the file is
// not one of this library's formats or cannot be read.
__declspec(dllexport) IUnknown* WINAPI load_image(const wchar_t* path, IWICImagingFactory* factory) {
  if (!path || !factory) return nullptr;
  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, &file)) return nullptr;
  WicCanvas canvas(factory);
  const codechost::DecodeResult result = codechost::Decode(file.data(), file.size(), canvas);
  if (result != codechost::DecodeResult::kOk) return nullptr;
  return canvas.Finish();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ::DisableThreadLibraryCalls(instance);
  return TRUE;
}

}  // extern "C"
