#include "app/main_log.h"

#include "appconfig/folders.h"
#include "base/log.h"
#include "base/paths.h"

void OpenMainLog() {
  const std::wstring folder = GetDataFolder();
  if (folder.empty()) return;
  CMyLog::Get().Open(base::JoinPath(folder, L"main.log"));
}

void CloseMainLog() { CMyLog::DestroyInstance(); }
