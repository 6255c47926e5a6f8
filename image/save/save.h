#pragma once
// Writing pictures: one encoder routine behind save, save-as, the resized copy, the print copy and
// the wallpaper file. A save writes a temporary file beside the target and replaces the target
// only when encoding succeeded, atomically, so the user's file is never lost.
#include <windows.h>

#include <string>

#include "image/wic/loader.h"

// The container for a target's format class; false for classes without an encoder.
bool ContainerForClass(unsigned formatClass, GUID& container);

// Encodes the loader's picture to path (created or truncated) as the path's format.
bool EncodeToFile(const CWICImageLoader& loader, const std::wstring& path, int quality);

// One save: the target and the path actually written (a free temporary name beside an existing
// target, or the target itself). written is empty when no free name was found.
struct SaveTarget {
  std::wstring target;
  std::wstring written;
};
SaveTarget MakeSaveTarget(const std::wstring& target);
// Replaces the target by the written file. The target keeps its old content on any failure and the
// temporary file is removed.
bool ReplaceTarget(const SaveTarget& job);

// Save-as helpers: the proposed name "<path without extension>(N).jpg" and the extension added for
// a typed name that is not a writable class, by filter index (1 JPEG, 2 PNG, 3 BMP, 4 GIF, 5 TIFF).
std::wstring ProposeSaveAsName(const std::wstring& currentPath);
std::wstring ApplySaveAsFilter(const std::wstring& chosen, int filterIndex);

// Where the encoder could not copy the EXIF block of a JPEG source into a written JPEG (Wine's
// refuses the metadata block copy), puts the source's block into the written file with the
// orientation set to 1 (written pixels are as displayed). False when nothing was carried.
bool CarryExifBlock(const std::wstring& source, const std::wstring& written);

// Rewrites only the orientation tag of a JPEG file, never truncating or re-encoding it.
bool WriteOrientationInPlace(const std::wstring& path, int orientation);
