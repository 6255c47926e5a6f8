#include "view/view_links.h"

#include "image/current_image.h"
#include "view/system_cache.h"
#include "view/title_info.h"
#include "view/ui_event.h"
#include "image/wic/factory.h"

void CFolderListLinks::OnFolderPositionChanged(int index, int count) { CTitleInfo::Get().SetPosition(index, count); }

void CFolderListLinks::OnPreloadAround(const std::wstring& folder, int index, const folder_order::NameList& names) {
  CSystemCache::Get().PreloadAround(folder, index, names);
}

void CFolderListLinks::OnFolderImageCollected() { BroadcastUIEvent(CUIEventFolderImageCollected()); }

void LinkCurrentImageToTitle() {
  // A rotation reports the same path again: only the size changes, the place in the folder stays.
  CCurrentImage::Get().SetReportSink(
      [lastPath = std::wstring()](const std::wstring& path, const ImageMetadata& metadata, SIZE size) mutable {
        const int width = static_cast<int>(size.cx);
        const int height = static_cast<int>(size.cy);
        if (!path.empty() && path == lastPath) {
          CTitleInfo::Get().SetSize(width, height);
          return;
        }
        lastPath = path;
        CTitleInfo::Get().SetPicture(path, metadata.shooting_time, width, height);
      });
}

namespace {
CCurrentFolderImage* g_folder_list = nullptr;
CFolderListLinks* g_folder_links = nullptr;
}  // namespace

CCurrentFolderImage& GetCurrentFolderList() {
  if (!g_folder_list) {
    g_folder_links = new CFolderListLinks();
    g_folder_list = new CCurrentFolderImage();
    g_folder_list->SetObserver(g_folder_links);
  }
  return *g_folder_list;
}

void DestroyCurrentFolderList() {
  delete g_folder_list;
  g_folder_list = nullptr;
  delete g_folder_links;
  g_folder_links = nullptr;
}

void OfferFitFrameToCurrentImage(HBITMAP fitFrame) {
  CCurrentImage& image = CCurrentImage::Get();
  base::ComPtr<IWICBitmap> held(image.InMemoryBitmap());
  IWICImagingFactory* factory = GetWicFactory();
  base::ComPtr<IWICBitmap> offered;
  if (fitFrame && factory) {
    (void)factory->CreateBitmapFromHBITMAP(fitFrame, nullptr, WICBitmapIgnoreAlpha, &offered);
  }
  UINT heldWidth = 0, offeredWidth = 0, height = 0;
  if (held) held->GetSize(&heldWidth, &height);
  if (offered) offered->GetSize(&offeredWidth, &height);
  image.SetInMemoryBitmap(offeredWidth > heldWidth ? offered.Get() : held.Get());
}
