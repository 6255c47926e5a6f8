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
// Once the main window is gone: ends the process after the given time if the release of the
// objects above has not ended it by then.
void StartExitWatchdog(unsigned long milliseconds);
