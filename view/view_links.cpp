#include "view/view_links.h"

#include "image/current_image.h"
#include "view/system_cache.h"
#include "view/title_info.h"
#include "view/ui_event.h"

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
