#include "tests/e2e/driver/screen.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/com.h"
#include "base/handles.h"

namespace e2e {
namespace {

COLORREF FromPixel(uint32_t pixel) {
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

RECT Clip(const RECT& rect, int width, int height) {
  return RECT{std::clamp<LONG>(rect.left, 0, width), std::clamp<LONG>(rect.top, 0, height),
              std::clamp<LONG>(rect.right, 0, width), std::clamp<LONG>(rect.bottom, 0, height)};
}

}  // namespace

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

Capture Capture::Screen(const RECT& screenRect) {
  Capture capture;
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  RECT area{};
  if (!::IntersectRect(&area, &screenRect, &screen)) return capture;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  base::WindowDc screenDc(nullptr);
  if (!screenDc.Get()) return capture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  base::BitmapHandle bitmap(::CreateDIBSection(screenDc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  base::MemoryDc memory(::CreateCompatibleDC(screenDc.Get()));
  if (!bitmap || !memory || !bits) return capture;
  {
    base::SelectGuard select(memory.Get(), bitmap.Get());
    if (!::BitBlt(memory.Get(), 0, 0, width, height, screenDc.Get(), area.left, area.top, SRCCOPY)) return capture;
    ::GdiFlush();
  }
  capture.width_ = width;
  capture.height_ = height;
  capture.origin_ = POINT{area.left, area.top};
  const auto* words = static_cast<const uint32_t*>(bits);
  capture.pixels_.assign(words, words + static_cast<size_t>(width) * height);
  for (uint32_t& pixel : capture.pixels_) pixel &= 0x00FFFFFF;
  return capture;
}

Capture Capture::Client(HWND window) { return Screen(ClientOnScreen(window)); }

COLORREF Capture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
  return FromPixel(pixels_[static_cast<size_t>(y) * width_ + x]);
}

double Capture::Share(const RECT& rect, COLORREF colour, int tolerance) const {
  const RECT r = Clip(rect, width_, height_);
  long long total = 0, matching = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      ++total;
      if (Near(At(x, y), colour, tolerance)) ++matching;
    }
  }
  return total ? static_cast<double>(matching) / static_cast<double>(total) : 0.0;
}

std::optional<RECT> Capture::BoxOf(COLORREF colour, int tolerance, const RECT& within) const {
  const RECT r = Clip(within, width_, height_);
  RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      if (!Near(At(x, y), colour, tolerance)) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  if (box.right == LONG_MIN) return std::nullopt;
  return box;
}

std::optional<RECT> Capture::BoxOfAllBut(COLORREF background, int tolerance, const RECT& within) const {
  const RECT r = Clip(within, width_, height_);
  RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      if (Near(At(x, y), background, tolerance)) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  if (box.right == LONG_MIN) return std::nullopt;
  return box;
}

int Capture::CountDifferent(const Capture& other, const RECT& rect, int tolerance) const {
  const RECT r = Clip(rect, std::min(width_, other.width_), std::min(height_, other.height_));
  int count = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      if (!Near(At(x, y), other.At(x, y), tolerance)) ++count;
    }
  }
  return count;
}

bool Capture::SavePng(const std::wstring& path) const {
  if (!IsValid()) return false;
  base::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    return false;
  }
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  base::ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
  const UINT stride = static_cast<UINT>(width_) * 4;
  return SUCCEEDED(factory->CreateStream(&stream)) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
         SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(static_cast<UINT>(width_), static_cast<UINT>(height_))) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat32bppBGR &&
         SUCCEEDED(frame->WritePixels(static_cast<UINT>(height_), stride, stride * static_cast<UINT>(height_),
                                      reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels_.data())))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

RECT ClientOnScreen(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT MapRect(HWND from, HWND to, const RECT& rect) {
  RECT mapped = rect;
  ::MapWindowPoints(from, to, reinterpret_cast<POINT*>(&mapped), 2);
  return mapped;
}

std::wstring Describe(const RECT& rect) {
  return L"(" + std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L")-(" + std::to_wstring(rect.right) +
         L"," + std::to_wstring(rect.bottom) + L") " + std::to_wstring(rect.right - rect.left) + L"x" +
         std::to_wstring(rect.bottom - rect.top);
}

}  // namespace e2e
