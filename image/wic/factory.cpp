#include "image/wic/factory.h"

#include <windows.h>

#include <mutex>

#include "base/com.h"

namespace {
base::ComPtr<IWICImagingFactory>& Factory() {
  static base::ComPtr<IWICImagingFactory> factory;
  return factory;
}

// RtlGetVersion reports the real version whatever the manifest says; the product's manifest
// declares support up to Windows 10/11 so the documented helpers would agree.
OSVERSIONINFOEXW RealVersion() {
  static OSVERSIONINFOEXW info = [] {
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
      auto fn = reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion"));
      if (fn) fn(&v);
    }
    return v;
  }();
  return info;
}
}  // namespace

IWICImagingFactory* GetWicFactory() noexcept { return Factory().Get(); }

bool CreateWicFactory() noexcept {
  Factory().Reset();
  const HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(Factory().ReleaseAndGetAddressOf()));
  if (FAILED(hr)) Factory().Reset();
  return Factory() != nullptr;
}

void ReleaseWicFactory() noexcept { Factory().Reset(); }

bool IsWindows81OrLater() noexcept {
  const OSVERSIONINFOEXW v = RealVersion();
  return v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 3);
}

bool IsWindows10OrLater() noexcept { return RealVersion().dwMajorVersion >= 10; }

IWICColorContext* FirstColorContext(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
  UINT contexts = 0;
  if (!factory || !frame || FAILED(frame->GetColorContexts(0, nullptr, &contexts)) || contexts < 1) return nullptr;
  IWICColorContext* context = nullptr;
  if (FAILED(factory->CreateColorContext(&context))) return nullptr;
  UINT got = 0;
  if (SUCCEEDED(frame->GetColorContexts(1, &context, &got)) && got >= 1) return context;
  context->Release();
  return nullptr;
}
