#include "view/shell_view_order.h"

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>

#include "base/com.h"
#include "view/folder_order.h"

using base::ComPtr;

namespace {

// CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER.
constexpr DWORD kShellWindowsContext = 23;
// Enough for the longest path the shell reports; MAX_PATH would cut deep folders.
constexpr DWORD kLongPath = 32768;

struct CoTaskMemDeleter {
  void operator()(void* p) const noexcept { ::CoTaskMemFree(p); }
};
template <typename T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemDeleter>;

bool Stopped(const std::atomic<int>& stop) noexcept { return stop.load(std::memory_order_relaxed) != 0; }

// The folder a view shows, canonical and without a trailing backslash; empty on failure.
std::wstring ViewFolder(IFolderView* view) {
  ComPtr<IPersistFolder2> persist;
  if (FAILED(view->GetFolder(IID_PPV_ARGS(&persist)))) return {};
  PIDLIST_ABSOLUTE raw = nullptr;
  if (FAILED(persist->GetCurFolder(&raw)) || !raw) return {};
  const CoTaskMemPtr<ITEMIDLIST> pidl(raw);
  std::wstring path(kLongPath, L'\0');
  if (!::SHGetPathFromIDListEx(pidl.get(), path.data(), kLongPath, GPFIDL_DEFAULT)) return {};
  path.resize(::wcslen(path.c_str()));
  if (path.size() < MAX_PATH) {
    wchar_t canonical[MAX_PATH] = {};
    if (::PathCanonicalizeW(canonical, path.c_str())) path = canonical;
  }
  return folder_order::TrimFolder(path);
}

// The names of every item of the view, in its order; items that fail are left out.
std::vector<std::wstring> ViewItems(IFolderView* view, const std::atomic<int>& stop, bool& ok) {
  std::vector<std::wstring> names;
  ComPtr<IShellFolder> folder;
  int count = 0;
  ok = SUCCEEDED(view->GetFolder(IID_PPV_ARGS(&folder))) && SUCCEEDED(view->ItemCount(SVGIO_ALLVIEW, &count));
  if (!ok) return names;
  for (int j = 0; j < count && !Stopped(stop); ++j) {
    PITEMID_CHILD rawItem = nullptr;
    if (FAILED(view->Item(j, &rawItem)) || !rawItem) continue;
    const CoTaskMemPtr<ITEMID_CHILD> item(rawItem);
    STRRET display{};
    if (FAILED(folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER | SHGDN_FORPARSING, &display))) continue;
    wchar_t* rawName = nullptr;
    if (FAILED(::StrRetToStrW(&display, item.get(), &rawName)) || !rawName) continue;
    const CoTaskMemPtr<wchar_t> name(rawName);
    names.emplace_back(name.get());
  }
  return names;
}

// The folder view of one shell window, or null when the window has none (a web page, a view
// without IFolderView).
ComPtr<IFolderView> WindowFolderView(IShellWindows* windows, long i) {
  VARIANT index;
  ::VariantInit(&index);
  index.vt = VT_I4;
  index.lVal = i;
  ComPtr<IDispatch> dispatch;
  if (FAILED(windows->Item(index, &dispatch)) || !dispatch) return nullptr;
  ComPtr<IShellBrowser> browser;
  if (FAILED(::IUnknown_QueryService(dispatch.Get(), SID_STopLevelBrowser, IID_IShellBrowser,
                                     reinterpret_cast<void**>(browser.GetAddressOf()))) ||
      !browser) {
    return nullptr;
  }
  ComPtr<IShellView> shellView;
  if (FAILED(browser->QueryActiveShellView(&shellView)) || !shellView) return nullptr;
  ComPtr<IFolderView> folderView;
  if (FAILED(shellView.As(&folderView))) return nullptr;
  return folderView;
}

}  // namespace

std::vector<std::wstring> CShellWindowsViewOrder::GetViewOrder(const std::wstring& folder,
                                                               const std::atomic<int>& stop) {
  ComPtr<IUnknown> unknown;
  if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, kShellWindowsContext, IID_PPV_ARGS(&unknown)))) {
    return {};
  }
  ComPtr<IShellWindows> windows;
  if (FAILED(::OleRun(unknown.Get())) || FAILED(unknown.As(&windows))) return {};
  long count = 0;
  if (FAILED(windows->get_Count(&count))) return {};
  for (long i = 0; i < count; ++i) {
    const ComPtr<IFolderView> view = WindowFolderView(windows.Get(), i);
    if (!view) continue;
    const std::wstring shown = ViewFolder(view.Get());
    if (shown.empty() || ::StrCmpIW(shown.c_str(), folder.c_str()) != 0) continue;
    bool ok = false;
    std::vector<std::wstring> names = ViewItems(view.Get(), stop, ok);
    if (ok) return names;
  }
  return {};
}

std::shared_ptr<IShellViewOrder> MakeShellWindowsViewOrder() { return std::make_shared<CShellWindowsViewOrder>(); }
