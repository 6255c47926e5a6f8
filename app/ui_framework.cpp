#include "app/ui_framework.h"

#include "skin/archive/resource_archive.h"

void PrepareUiFramework(HINSTANCE, const std::wstring& resourceFolder, const wchar_t* archiveName) {
  skin::SetResourceFolder(resourceFolder, archiveName ? archiveName : L"");
}
