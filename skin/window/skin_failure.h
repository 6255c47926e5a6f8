#pragma once
// A skinned window whose skin cannot be built cannot work, and neither can the program that
// needs it: the settings are saved, the user is told once ("加载资源文件失败") and the process
// ends with exit code 1.
#include <functional>
#include <string>

namespace skin {

// Does not return, except while another failure is being reported (the window then simply
// fails to open) or when a test has replaced the handler.
void ReportSkinFailure(const std::wstring& detail);

// Test seam: the handler runs instead of the report; null restores the report.
void SetSkinFailureHandlerForTesting(std::function<void(const std::wstring&)> handler);

}  // namespace skin
