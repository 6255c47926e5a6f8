// Print and wallpaper exports of the current picture.
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>
#include <oleauto.h>
#include <shlwapi.h>

#include "appconfig/folders.h"
#include "base/com.h"
#include "base/paths.h"
#include "image/current_image.h"
#include "image/file_types.h"
#include "image/save/save.h"

namespace {

// IActiveDesktop's interface id, spelled out because the headers declare it only for some setups.
const IID kIidActiveDesktop = {0xf490eb00, 0x1240, 0x11d1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xde, 0xac, 0xf9}};

HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, DISPPARAMS* params, VARIANT* result) {
  DISPID id = 0;
  LPOLESTR member = const_cast<LPOLESTR>(name);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, nullptr, nullptr);
}

HRESULT CreateByProgId(const wchar_t* progId, IDispatch** out) {
  CLSID clsid{};
  HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  return ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_PPV_ARGS(out));
}

// The photo-printing wizard, on a thread of its own; errors are swallowed.
DWORD WINAPI PrintThread(void* parameter) noexcept {
  std::unique_ptr<std::wstring> path(static_cast<std::wstring*>(parameter));
  FCAutoInitializeCOM com;
  base::ComPtr<IDispatch> dialog, vector;
  if (FAILED(CreateByProgId(L"WIA.CommonDialog", &dialog)) || FAILED(CreateByProgId(L"WIA.Vector", &vector))) return 0;
  VARIANT item;
  ::VariantInit(&item);
  item.vt = VT_BSTR;
  item.bstrVal = ::SysAllocString(path->c_str());
  DISPPARAMS addParams{&item, nullptr, 1, 0};
  CallByName(vector.Get(), L"Add", DISPATCH_METHOD, &addParams, nullptr);
  ::VariantClear(&item);
  VARIANT files;
  ::VariantInit(&files);
  files.vt = VT_DISPATCH;
  files.pdispVal = vector.Get();
  DISPPARAMS wizardParams{&files, nullptr, 1, 0};
  CallByName(dialog.Get(), L"ShowPhotoPrintingWizard", DISPATCH_METHOD, &wizardParams, nullptr);
  return 0;
}

}  // namespace

void CCurrentImage::Print() {
  if (!loader_ || path_.empty() || !::PathFileExistsW(path_.c_str())) return;
  std::wstring printPath = path_;
  if (!image::IsWritableClass(image::ClassifyImageFile(path_.c_str()))) {
    EnsureDataFolders();  // the temp folder may have been removed while the viewer ran
    printPath = base::JoinPath(GetTempFolder(), L"tempprint.jpg");
    if (printPath.empty() || !Save(printPath, 90)) return;
  }
  auto* copy = new std::wstring(printPath);
  HANDLE thread = ::CreateThread(nullptr, 0, PrintThread, copy, 0, nullptr);
  if (thread) {
    ::CloseHandle(thread);
  } else {
    delete copy;
  }
}

bool CCurrentImage::SetAsWallpaper() {
  if (!loader_) return false;
  DrainQueue();
  base::ComPtr<IWICBitmap> oriented;
  if (FAILED(loader_->GetOrientedBitmap(false, &oriented))) return false;
  EnsureDataFolders();  // the temp folder may have been removed while the viewer ran
  const std::wstring file = base::JoinPath(GetTempFolder(), L"wallpaper.jpg");
  if (file.empty()) return false;
  auto temporary = CWICImageLoader::FromSource(oriented.Get(), nullptr);
  {
    CSaveJob job(file);
    if (!job.Encode(*temporary, 90) || !job.Commit()) return false;
  }

  base::ComPtr<IActiveDesktop> desktop;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, kIidActiveDesktop,
                                   reinterpret_cast<void**>(desktop.GetAddressOf())))) {
    COMPONENTSOPT options{};
    options.dwSize = sizeof(options);
    options.fActiveDesktop = TRUE;
    options.fEnableComponents = TRUE;
    WALLPAPEROPT style{};
    style.dwSize = sizeof(style);
    style.dwStyle = WPSTYLE_KEEPASPECT;
    if (SUCCEEDED(desktop->SetDesktopItemOptions(&options, 0)) && SUCCEEDED(desktop->SetWallpaper(file.c_str(), 0)) &&
        SUCCEEDED(desktop->SetWallpaperOptions(&style, 0)) && SUCCEEDED(desktop->ApplyChanges(AD_APPLY_ALL))) {
      return true;
    }
  }
  // The active desktop refused (or is absent): set the wallpaper through the system parameters.
  return ::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(file.c_str()),
                                 SPIF_UPDATEINIFILE | SPIF_SENDCHANGE) != FALSE;
}
