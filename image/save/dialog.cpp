#include "image/save/dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "image/file_types.h"

bool ShowSaveAsDialog(HWND owner, const std::wstring& proposed, std::wstring& chosen, int& filterIndex) {
  const std::wstring filter = image::ToDialogFilter(image::kSaveAsFilter);
  std::vector<wchar_t> name(32768, L'\0');
  proposed.copy(name.data(), std::min(proposed.size(), name.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrDefExt = image::kSaveAsDefaultExtension;
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_PATHMUSTEXIST;
  if (!::GetSaveFileNameW(&ofn)) return false;
  chosen = name.data();
  filterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}
