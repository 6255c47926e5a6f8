#include "companions/tray/screen_capture.h"

#include <shlobj.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cwchar>
#include <vector>

#include "base/handles.h"

using Microsoft::WRL::ComPtr;

namespace tray {

namespace {

struct Pixels {
  UINT width = 0;
  UINT height = 0;
  UINT stride = 0;
  std::vector<BYTE> bgr;  // top-down rows of 24-bit blue, green, red
};

bool CaptureVirtualScreen(Pixels& pixels) {
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) return false;
  base::WindowDc screen(nullptr);
  if (!screen.Get()) return false;
  base::MemoryDc memory(::CreateCompatibleDC(screen.Get()));
  base::BitmapHandle bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
  if (!memory || !bitmap) return false;
  {
    base::SelectGuard select(memory.Get(), bitmap.Get());
    // CAPTUREBLT: layered windows (tooltips, menus with shadows) are part of what the user sees.
    if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), left, top, SRCCOPY | CAPTUREBLT)) return false;
  }
  pixels.width = static_cast<UINT>(width);
  pixels.height = static_cast<UINT>(height);
  pixels.stride = (pixels.width * 3 + 3) & ~3u;
  pixels.bgr.assign(static_cast<size_t>(pixels.stride) * pixels.height, 0);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return ::GetDIBits(memory.Get(), bitmap.Get(), 0, pixels.height, pixels.bgr.data(), &info, DIB_RGB_COLORS) ==
         height;
}

bool WritePng(const Pixels& pixels, const std::wstring& path) {
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    return false;
  }
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(pixels.width, pixels.height))) {
    return false;
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) return false;
  if (FAILED(frame->WritePixels(pixels.height, pixels.stride, static_cast<UINT>(pixels.bgr.size()),
                                const_cast<BYTE*>(pixels.bgr.data()))) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return false;
  }
  return true;
}

}  // namespace

std::wstring PicturesFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_CREATE, nullptr, &path)) && path) {
    folder = path;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  }
  ::CoTaskMemFree(path);
  return folder;
}

std::wstring CaptureFileName(const std::wstring& folder, const SYSTEMTIME& time) {
  wchar_t stem[64] = {};
  std::swprintf(stem, 64, L"Quellin screenshot %04u-%02u-%02u %02u%02u%02u", time.wYear, time.wMonth, time.wDay,
                time.wHour, time.wMinute, time.wSecond);
  std::wstring name = folder + stem + L".png";
  for (int n = 2; ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES && n < 1000; ++n) {
    name = folder + stem + L" (" + std::to_wstring(n) + L").png";
  }
  return name;
}

std::wstring CaptureScreenToFolder(const std::wstring& folder) {
  if (folder.empty()) return L"";
  Pixels pixels;
  if (!CaptureVirtualScreen(pixels)) return L"";
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  const std::wstring target = CaptureFileName(folder, now);
  const std::wstring temporary = target + L".part";
  if (!WritePng(pixels, temporary)) {
    ::DeleteFileW(temporary.c_str());
    return L"";
  }
  // Never over a picture that appeared meanwhile.
  if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temporary.c_str());
    return L"";
  }
  return target;
}

}  // namespace tray
