#include "app/process_objects.h"

#include "image/current_image.h"
#include "ipc/channel.h"
#include "view/system_cache.h"
#include "view/view_links.h"

void ReleaseCurrentImage() { CCurrentImage::DestroyInstance(); }

void ReleasePreloaderAndFolderList() {
  CSystemCache::DestroyInstance();
  DestroyCurrentFolderList();
}

// The usage-statistics work (the base-services plug-in wrapper) fills this in.
void ReleaseBaseServices() {}

void ReleaseMessageChannel() { CIPCMessageMgr::DestroyInstance(); }
