#pragma once
// "imgprobe folder FILE [--loop]": the current-folder list of FILE as the viewer builds it.
#include <string>
#include <vector>

// `args` are the words after "folder": the file, then optionally "--loop". Prints UTF-8 lines
// "count=", "index=", one "name=" per entry in list order, then "prev=" and "next=" (full paths,
// empty when unreachable). Returns 0 on success, 1 when the file is missing or the scan did not
// finish in time, 2 on bad usage.
int RunFolderProbe(const std::vector<std::wstring>& args);
