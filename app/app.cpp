#include "app/app.h"

#include <commctrl.h>

#include "appconfig/app_config.h"
#include "appconfig/command_line.h"
#include "appconfig/folders.h"
#include "appconfig/language.h"
#include "app/crash_handler.h"
#include "app/handover_receivers.h"
#include "app/main_log.h"
#include "app/process_objects.h"
#include "app/startup.h"
#include "app/ui_framework.h"
#include "app/version_info.h"
#include "base/log.h"
#include "base/paths.h"
#include "image/wic/factory.h"
#include "integration/services.h"
#include "main_window/main_dialog.h"
#include "popup_dialog/adjust/install.h"
#include "popup_dialog/feedback/install.h"
#include "popup_dialog/menus/install.h"
#include "popup_dialog/settings/install.h"
#include "popup_dialog/small/install.h"
#include "services/registry.h"

namespace {

CDorvaneApp* g_app = nullptr;

// A shutdown takes well under a second; a user who closed the window never waits for longer than this.
constexpr unsigned long kExitWatchdogMs = 5000;

constexpr wchar_t kUpgradeParameters[] = L" --need-upgrade-privilege-now --entry=main";

}  // namespace

CDorvaneApp* GetDorvaneApp() noexcept { return g_app; }

CDorvaneApp::CDorvaneApp(HINSTANCE instance, std::wstring commandLine)
    : instance_(instance), command_line_(std::move(commandLine)) {
  g_app = this;
  AppConfig::Get();
  app_name_ = GetLanguageString(L"app", L"NAME");
  EnsureDataFolders();
}

CDorvaneApp::~CDorvaneApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CDorvaneApp::InitInstance() {
  com_ = std::make_unique<FCAutoInitializeCOM>();
  gdiplus_ = std::make_unique<FCAutoInitGDIPlus>();
  // A failed factory leaves it null; the viewer still starts.
  (void)CreateWicFactory();

  CCommandLine* commandLine = CCommandLine::Instance();
  commandLine->Parse(command_line_);
  if (startup::HandleStartupSwitches(*commandLine) == 0) return FALSE;
  if (HandOffPendingUpdate()) return FALSE;

  InstallCrashHandler();
  SetCrashReportIdentity(L"quellinmain", 0, GetExecutableVersionText());

  INITCOMMONCONTROLSEX controls{sizeof(controls), 0xFF};
  ::InitCommonControlsEx(&controls);

  OpenMainLog();
  QL_LOG_INFO(L"start " + GetExecutableVersionText() + L" " + command_line_);
  PrepareUiFramework(instance_, base::JoinPath(base::GetModuleFolder(), L"res"), L"res.zip");
  popup_dialog::InstallSmallDialogs({nullptr, [] {
    return GetFileVersionText(base::JoinPath(base::GetModuleFolder(), L"QuellinImg.exe"));
  }});
  popup_dialog::InstallAdjustDialogs();
  popup_dialog::InstallFeedbackDialog();
  popup_dialog::InstallMenusAndInfoPanel();
  popup_dialog::InstallSettingsDialog({nullptr, [this] { RefreshReceivers(); }});
  RefreshReceivers();
  integration::InstallIntegrationServices();

  {
    CDorvaneDlg mainWindow(instance_, nullptr);
    mainWindow.SetCompanionStarter([this] { StartTrayCompanion(L""); });
    main_window_ = &mainWindow;
    mainWindow.DoModal();
    main_window_ = nullptr;
    // The window has been destroyed and the settings saved.
    StartExitWatchdog(kExitWatchdogMs);
  }
  return FALSE;
}

bool CDorvaneApp::HandOffPendingUpdate() {
  if (!startup::IsUpdatePending()) return false;
  // While the guard exists another process is dealing with the update: this start goes on and
  // opens the user's file rather than ending with nothing shown.
  if (startup::IsNamedMutexPresent(startup::kUpgradeGuardMutex)) return false;
  // The companion starts this program again with the same command line, so the user's file
  // still opens; it also clears the waiting state, so that start does not come back here.
  return StartTrayCompanion(command_line_ + kUpgradeParameters);
}

int CDorvaneApp::ExitInstance() {
  services::UninstallAll();
  ReleaseCurrentImage();
  ReleasePreloaderAndFolderList();
  CleanUpTemporaryFiles();
  ReleaseWicFactory();
  gdiplus_.reset();
  com_.reset();
  ReleaseBaseServices();
  ReleaseMessageChannel();
  QL_LOG_INFO(L"exit");
  CloseMainLog();
  CCommandLine::DestroyInstance();
  DestroyHandOverReceivers();
  return 0;
}

bool CDorvaneApp::StartTrayCompanion(const std::wstring& extraParameters) {
  return startup::StartTrayCompanion(extraParameters);
}

void CDorvaneApp::RefreshReceivers() { RefreshHandOverReceivers(AppConfig::Get().only_one_instance != 0); }
