#pragma once
// Where the skinned windows find their archive: the folder and archive name that start-up
// registers once (res\ beside the executable, "res.zip"). Archives are read on first use and
// kept for the life of the process. User-interface thread only.
#include <memory>
#include <string>

#include "skin/archive/zip_archive.h"

namespace skin {

void SetResourceFolder(const std::wstring& folder, const std::wstring& archiveName);
[[nodiscard]] const std::wstring& ResourceFolder();
[[nodiscard]] const std::wstring& RegisteredArchiveName();

// The named archive of the resource folder, opened once; null (and the reason) when it is missing
// or damaged. A failed open is tried again next time.
std::shared_ptr<const ZipArchive> OpenResourceArchive(const std::wstring& archiveName, std::wstring* error);
// Drops the archives opened so far (tests that replace the archive between windows).
void ForgetOpenedArchives();

}  // namespace skin
