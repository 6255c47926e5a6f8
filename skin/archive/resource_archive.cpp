#include "skin/archive/resource_archive.h"

#include <map>

#include "base/paths.h"

namespace skin {
namespace {

struct Registration {
  std::wstring folder;
  std::wstring archive_name;
  std::map<std::wstring, std::shared_ptr<const ZipArchive>> opened;
};

Registration& Registered() {
  static auto* registration = new Registration();
  return *registration;
}

}  // namespace

void SetResourceFolder(const std::wstring& folder, const std::wstring& archiveName) {
  Registration& registration = Registered();
  registration.folder = folder;
  registration.archive_name = archiveName;
  registration.opened.clear();
}

const std::wstring& ResourceFolder() { return Registered().folder; }
const std::wstring& RegisteredArchiveName() { return Registered().archive_name; }

std::shared_ptr<const ZipArchive> OpenResourceArchive(const std::wstring& archiveName, std::wstring* error) {
  Registration& registration = Registered();
  const auto found = registration.opened.find(archiveName);
  if (found != registration.opened.end()) return found->second;
  if (registration.folder.empty() || archiveName.empty()) {
    if (error) *error = L"no skin archive has been registered";
    return nullptr;
  }
  const std::wstring path = base::JoinPath(registration.folder, archiveName);
  if (path.empty()) {
    if (error) *error = L"the skin archive's path is too long";
    return nullptr;
  }
  std::shared_ptr<const ZipArchive> archive = ZipArchive::OpenFile(path, error);
  if (archive) registration.opened.emplace(archiveName, archive);
  return archive;
}

void ForgetOpenedArchives() { Registered().opened.clear(); }

}  // namespace skin
