#pragma once
// Process-wide objects that the application releases at exit, in its fixed order.
// The current picture: its bitmap, path and task queue.
void ReleaseCurrentImage();
// The thumbnail preloader, then the current folder list.
void ReleasePreloaderAndFolderList();
// The base-services plug-in wrapper (its release operation runs).
void ReleaseBaseServices();
// The message channel to the tray companion.
void ReleaseMessageChannel();
