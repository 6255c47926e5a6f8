#pragma once
// COM ownership: WRL's ComPtr everywhere, plus the per-thread COM guard.
#include <objbase.h>
#include <wrl/client.h>

namespace base {
using Microsoft::WRL::ComPtr;

// Hands `holder` a reference the caller already owns (a new object, or what a creating call
// returned); whatever it held before is let go. mingw-w64's ComPtr::Attach takes a reference of its
// own besides, so an object attached straight after creation would never be freed, nor anything
// it holds (a scaler, for one, holds the whole picture it scales).
template <typename T>
void Adopt(ComPtr<T>& holder, typename ComPtr<T>::InterfaceType* object) noexcept {
  *holder.ReleaseAndGetAddressOf() = object;
}
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
