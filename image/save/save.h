#pragma once
// Writing pictures: one encoder routine behind save, save-as, the resized copy, the print copy and
// the wallpaper file. A save writes a temporary file beside the target and replaces the target
// only when encoding succeeded, atomically, so the user's file is never lost.
#include <windows.h>

#include <string>

#include "image/wic/loader.h"

// The container for a target's format class; false for classes without an encoder.
bool ContainerForClass(unsigned formatClass, GUID& container);

// The files of one save: the target and the temporary file beside it that is written. written is
// empty when no free name could be made there (a missing or unwritable folder, a path too long).
struct SaveTarget {
  std::wstring target;
  std::wstring written;
};
// Reserves a free temporary name beside the target by creating it empty; it keeps the target's
// extension. The target itself is never opened: a failed save must not leave a file where none was.
SaveTarget MakeSaveTarget(const std::wstring& target);
// Moves the written file over the target (or into place where there was none). On any failure the
// target keeps its old bytes and attributes and the written file is removed.
bool ReplaceTarget(const SaveTarget& job);

// One save of a picture: encoded as the target's format into the temporary file, which is moved into
// place only by Commit. Whatever fails, the temporary file is gone when the job ends.
class CSaveJob {
 public:
  explicit CSaveJob(const std::wstring& target) : files_(MakeSaveTarget(target)) {}
  ~CSaveJob();
  CSaveJob(const CSaveJob&) = delete;
  CSaveJob& operator=(const CSaveJob&) = delete;

  const std::wstring& Written() const { return files_.written; }
  // Encodes the loader's picture; the JPEG quality is in percent.
  [[nodiscard]] bool Encode(const CWICImageLoader& loader, int quality);
  // Replaces the target by the encoded file; false without a successful Encode.
  [[nodiscard]] bool Commit();

 private:
  SaveTarget files_;
  bool encoded_ = false;
  bool committed_ = false;
};

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
