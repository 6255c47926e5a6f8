#include "app/process_objects.h"

// The image-loading work (CCurrentImage) fills this in.
void ReleaseCurrentImage() {}

// The preloader and folder-list work (CSystemCache, CCurrentFolderImage) fills this in.
void ReleasePreloaderAndFolderList() {}

// The usage-statistics work (the base-services plug-in wrapper) fills this in.
void ReleaseBaseServices() {}

// The message-channel work (CIPCMessageMgr) fills this in.
void ReleaseMessageChannel() {}
