#pragma once
// COM ownership: WRL's ComPtr everywhere, plus the per-thread COM guard.
#include <objbase.h>
#include <wrl/client.h>

namespace base {
using Microsoft::WRL::ComPtr;
}  // namespace base

// Calls CoInitialize on construction and balances it on destruction when it did not fail.
// Every thread that touches COM (the UI thread, pool workers) holds one for its work.
class FCAutoInitializeCOM {
 public:
  FCAutoInitializeCOM() noexcept : hr_(::CoInitialize(nullptr)) {}
  virtual ~FCAutoInitializeCOM() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  FCAutoInitializeCOM(const FCAutoInitializeCOM&) = delete;
  FCAutoInitializeCOM& operator=(const FCAutoInitializeCOM&) = delete;
  [[nodiscard]] HRESULT Result() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};
