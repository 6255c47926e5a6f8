// Clipboard export: the pixels as a device-independent bitmap and, for a picture that is a file,
// the file itself, so that pasting into a folder copies the file.
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "image/effect/effects.h"

namespace {

// Movable global memory that is freed unless the clipboard took it.
class GlobalBlock {
 public:
  GlobalBlock() = default;
  ~GlobalBlock() {
    if (handle_) ::GlobalFree(handle_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;

  // Allocates and locks; on failure the last error is kept for the message.
  [[nodiscard]] void* AllocateLocked(UINT flags, SIZE_T bytes) {
    handle_ = ::GlobalAlloc(flags, bytes);
    if (!handle_) return nullptr;
    void* memory = ::GlobalLock(handle_);
    if (!memory) {
      const DWORD error = ::GetLastError();
      ::GlobalFree(std::exchange(handle_, nullptr));
      ::SetLastError(error);
    }
    return memory;
  }
  void Unlock() const { ::GlobalUnlock(handle_); }
  bool IsValid() const { return handle_ != nullptr; }
  // Hands the block to the clipboard; it stays ours when the clipboard refuses it.
  void PutOnClipboard(UINT format) {
    if (::SetClipboardData(format, handle_)) handle_ = nullptr;
  }

 private:
  HGLOBAL handle_ = nullptr;
};

void ShowTooBigMessage(DWORD error) {
  wchar_t caption[64];
  std::swprintf(caption, 64, L"错误码 : %d", static_cast<int>(error));
  ::MessageBoxW(nullptr, L"图片过大, 放入剪切板失败。请重试！", caption, MB_ICONERROR);
}

bool IsExistingFile(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FillBitmap(GlobalBlock& block, const FCObjImage& image) {
  const SIZE_T pixels = static_cast<SIZE_T>(image.Stride()) * static_cast<SIZE_T>(image.Height());
  auto* memory = static_cast<uint8_t*>(
      block.AllocateLocked(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + pixels));
  if (!memory) return false;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = image.Width();
  header.biHeight = image.SignedHeight();
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(image.BitsPerPixel());
  header.biCompression = BI_RGB;
  std::memcpy(memory, &header, sizeof(header));
  std::memcpy(memory + sizeof(header), image.PixelMemory(), pixels);
  block.Unlock();
  return true;
}

// DROPFILES, then the path and two terminating zeros, in zeroed memory.
bool FillDropList(GlobalBlock& block, const std::wstring& path) {
  const SIZE_T bytes = 2 * path.size() + 24;
  auto* memory =
      static_cast<uint8_t*>(block.AllocateLocked(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
  if (!memory) return false;
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(memory, &header, sizeof(header));
  std::memcpy(memory + sizeof(header), path.data(), path.size() * sizeof(wchar_t));
  block.Unlock();
  return true;
}

bool FillDropEffect(GlobalBlock& block) {
  void* memory = block.AllocateLocked(GMEM_MOVEABLE, sizeof(DWORD));
  if (!memory) return false;
  const DWORD copy = DROPEFFECT_COPY;
  std::memcpy(memory, &copy, sizeof(copy));
  block.Unlock();
  return true;
}

}  // namespace

void FCEffectCopyToClipboard::ProcessImage(FCObjImage& image, FCProgressObserver*) {
  static_assert(sizeof(DROPFILES) == 20 && sizeof(BITMAPINFOHEADER) == 40);
  if (!image.IsValid()) return;
  // All memory is prepared before the clipboard is opened, so a failure never leaves it
  // half-filled or held open behind a message box.
  GlobalBlock bitmap;
  GlobalBlock drop_list;
  GlobalBlock drop_effect;
  const bool with_file = IsExistingFile(path_);
  if (!FillBitmap(bitmap, image) ||
      (with_file && (!FillDropList(drop_list, path_) || !FillDropEffect(drop_effect)))) {
    ShowTooBigMessage(::GetLastError());
    return;
  }
  if (!::OpenClipboard(nullptr)) return;
  ::EmptyClipboard();
  bitmap.PutOnClipboard(CF_DIB);
  if (with_file) {
    drop_list.PutOnClipboard(CF_HDROP);
    drop_effect.PutOnClipboard(::RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT));
  }
  ::CloseClipboard();
}
