#pragma once
// How the folder list and the current image tell the rest of the program what changed: the place
// in the folder and the picture facts go to the title state, position changes to the thumbnail
// preloader, a collected folder to the UI event bus. User-interface thread only.
#include "view/current_folder_image.h"

class CFolderListLinks : public IFolderImageListObserver {
 public:
  void OnFolderPositionChanged(int index, int count) override;
  void OnPreloadAround(const std::wstring& folder, int index, const folder_order::NameList& names) override;
  void OnFolderImageCollected() override;
};

// Makes every open and rotation of the current image set the title's picture facts.
void LinkCurrentImageToTitle();

// The process's folder list, made on first use with the links above as its observer.
CCurrentFolderImage& GetCurrentFolderList();
void DestroyCurrentFolderList();

// Before a rotation: the fitted frame on screen becomes the current image's in-memory bitmap when it
// is wider than the one it holds, so the turned picture shows without decoding the file again.
void OfferFitFrameToCurrentImage(HBITMAP fitFrame);
