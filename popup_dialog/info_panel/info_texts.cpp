#include "popup_dialog/info_panel/info_texts.h"

#include <shlwapi.h>

#include <cwctype>

#include "base/paths.h"
#include "base/strings.h"

namespace info_panel {
namespace {

// A whole decimal number of at most nine digits (so that it fits an int); false for anything else.
bool ReadNumber(const std::wstring& text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + (c - L'0');
  }
  value = result;
  return true;
}

std::wstring ItemOf(const std::vector<std::wstring>& items, size_t index) {
  return index < items.size() ? items[index] : std::wstring();
}

std::wstring ByteSizeText(uint64_t size) {
  wchar_t text[64] = {};
  if (!::StrFormatByteSizeW(static_cast<LONGLONG>(size), text, ARRAYSIZE(text))) return {};
  return text;
}

std::wstring WithUnit(const std::wstring& prefix, const std::wstring& value, const std::wstring& suffix) {
  return value.empty() ? std::wstring() : prefix + value + suffix;
}

}  // namespace

bool ReadFileFacts(const std::wstring& path, FileFacts& facts) {
  if (path.empty()) return false;
  // An attribute query names one file exactly; a directory search would take "*" and "?" in the
  // path as patterns and could report some other file.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  facts.file_name = base::FileNameOf(path);
  facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.modified = data.ftLastWriteTime;
  return true;
}

std::wstring FileTitle(const std::wstring& fileName) {
  const size_t dot = fileName.rfind(L'.');
  return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

std::wstring FileType(const std::wstring& fileName) {
  const size_t dot = fileName.rfind(L'.');
  if (dot == std::wstring::npos) return {};
  std::wstring type = fileName.substr(dot + 1);
  for (wchar_t& c : type) c = static_cast<wchar_t>(std::towupper(c));
  return type;
}

std::wstring LocalTimeText(const FILETIME& time) {
  if (time.dwLowDateTime == 0 && time.dwHighDateTime == 0) return {};
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!::FileTimeToLocalFileTime(&time, &local) || !::FileTimeToSystemTime(&local, &parts)) return {};
  return base::FormatW(L"%.4d-%.2d-%.2d %.2d:%.2d:%.2d", parts.wYear, parts.wMonth, parts.wDay, parts.wHour,
                       parts.wMinute, parts.wSecond);
}

std::wstring ShootingTimeText(const std::wstring& stored) {
  // Only six parts are kept; a seventh already means the text is shown as it is.
  int parts[6] = {};
  int count = 0;
  size_t at = 0;
  while (at < stored.size()) {
    const size_t start = stored.find_first_not_of(L" :-", at);
    if (start == std::wstring::npos) break;
    size_t end = stored.find_first_of(L" :-", start);
    if (end == std::wstring::npos) end = stored.size();
    if (count == 6 || !ReadNumber(stored.substr(start, end - start), parts[count])) return stored;
    ++count;
    at = end;
  }
  if (count != 6) return stored;
  return base::FormatW(L"%.4d-%.2d-%.2d %.2d:%.2d:%.2d", parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
}

std::vector<std::wstring> SplitList(const std::wstring& list) {
  std::vector<std::wstring> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(L'/', start);
    if (end == std::wstring::npos) end = list.size();
    if (end > start) items.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::wstring MeteringText(const std::wstring& value, const std::wstring& list) {
  int v = 0;
  const std::vector<std::wstring> items = SplitList(list);
  if (!ReadNumber(value, v) || v < 1 || v > 6 || items.size() != 7) return {};
  return items[static_cast<size_t>(v)];
}

std::wstring FlashText(const std::wstring& value, const std::wstring& list) {
  int v = 0;
  const std::vector<std::wstring> items = SplitList(list);
  if (!ReadNumber(value, v) || items.size() != 2) return {};
  return ItemOf(items, (v & 1) != 0 ? 0 : 1);
}

std::wstring WhiteBalanceText(const std::wstring& value, const std::wstring& list) {
  int v = 0;
  const std::vector<std::wstring> items = SplitList(list);
  if (!ReadNumber(value, v) || items.size() != 2) return {};
  return ItemOf(items, v != 0 ? 0 : 1);
}

std::wstring ExposureProgramText(const std::wstring& value, const std::wstring& list) {
  int v = 0;
  const std::vector<std::wstring> items = SplitList(list);
  if (!ReadNumber(value, v) || v < 1 || v > 8 || items.size() != 9) return {};
  return items[static_cast<size_t>(v)];
}

Rows ComposeRows(const FileFacts* file, const ImageMetadata* metadata, SIZE displaySize, const Lists& lists) {
  Rows rows;
  const bool sized = displaySize.cx != 0 && displaySize.cy != 0;
  rows.emplace_back(L"size", sized ? base::FormatW(L"%d * %d", displaySize.cx, displaySize.cy) : std::wstring());
  rows.emplace_back(L"name", file ? FileTitle(file->file_name) : std::wstring());
  rows.emplace_back(L"type", file ? FileType(file->file_name) : std::wstring());
  rows.emplace_back(L"capacity", file ? ByteSizeText(file->size) : std::wstring());
  rows.emplace_back(L"modify_time", file ? LocalTimeText(file->modified) : std::wstring());
  const ImageMetadata empty;
  const ImageMetadata& m = metadata ? *metadata : empty;
  rows.emplace_back(L"shooting_time", ShootingTimeText(m.shooting_time));
  rows.emplace_back(L"firm", m.maker);
  rows.emplace_back(L"dev_model", m.model);
  rows.emplace_back(L"camera_lens", m.lens);
  rows.emplace_back(L"aperture_value", WithUnit(L"F", m.aperture, L""));
  rows.emplace_back(L"max_aperture_value", m.max_aperture);
  rows.emplace_back(L"time_of_exposure", WithUnit(L"", m.exposure_time, L" sec"));
  rows.emplace_back(L"resolving_power", m.resolution != 0 ? base::FormatW(L"%d dpi", m.resolution) : std::wstring());
  rows.emplace_back(L"ISO", m.iso);
  rows.emplace_back(L"focal_length", WithUnit(L"", m.focal_length, L" mm"));
  rows.emplace_back(L"test_model", MeteringText(m.metering, lists.metering));
  rows.emplace_back(L"flash_lamp", FlashText(m.flash, lists.flash));
  rows.emplace_back(L"white_balance", WhiteBalanceText(m.white_balance, lists.white_balance));
  rows.emplace_back(L"program", ExposureProgramText(m.exposure_program, lists.program));
  return rows;
}

}  // namespace info_panel
