#include <d2d1.h>

#include "base/com.h"
#include "view/pre_render.h"

ID2D1Factory* GetD2DFactory() {
  // Made once, on the user-interface thread that draws; every render target of the view comes
  // from it. It lives until the process ends.
  static const base::ComPtr<ID2D1Factory> factory = [] {
    base::ComPtr<ID2D1Factory> made;
    D2D1_FACTORY_OPTIONS options{};
    options.debugLevel = D2D1_DEBUG_LEVEL_NONE;
    if (FAILED(::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                   reinterpret_cast<void**>(made.GetAddressOf())))) {
      made.Reset();
    }
    return made;
  }();
  return factory.Get();
}
