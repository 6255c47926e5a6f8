// The main window's command table: every accelerator, toolbar button, menu choice and request from
// another process ends here as a command identifier.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "base/paths.h"
#include "base/wait_cursor.h"
#include "image/current_image.h"
#include "main_window/main_dialog.h"
#include "resources/resource.h"
#include "services/about_dialog.h"
#include "services/association.h"
#include "services/default_viewer_prompt.h"
#include "services/delete_confirmation.h"
#include "services/registry.h"
#include "services/resize_dialog.h"
#include "services/statistics.h"
#include "view/current_folder_image.h"
#include "view/system_cache.h"
#include "view/view_links.h"

using namespace main_command;

const CDorvaneDlg::CommandEntry CDorvaneDlg::kCommands[] = {
    {kInfoPanel, &CDorvaneDlg::CmdInfoPanel},
    {kMap, &CDorvaneDlg::CmdMap},
    {kActualSize, &CDorvaneDlg::CmdActualSize},
    {kZoomIn, &CDorvaneDlg::CmdZoomIn},
    {kZoomOut, &CDorvaneDlg::CmdZoomOut},
    {kPrevious, &CDorvaneDlg::CmdPrevious},
    {kNext, &CDorvaneDlg::CmdNext},
    {kRotateLeft, &CDorvaneDlg::CmdRotateLeft},
    {kRotateRight, &CDorvaneDlg::CmdRotateRight},
    {kDelete, &CDorvaneDlg::CmdDelete},
    {kResize, &CDorvaneDlg::CmdResize},
    {kAdjust, &CDorvaneDlg::CmdAdjust},
    {kMainMenu, &CDorvaneDlg::CmdMainMenu},
    {kFullScreen, &CDorvaneDlg::CmdFullScreen},
    {kOpen, &CDorvaneDlg::CmdOpen},
    {kSaveAs, &CDorvaneDlg::CmdSaveAs},
    {kCopy, &CDorvaneDlg::CmdCopy},
    {kShowInFolder, &CDorvaneDlg::CmdShowInFolder},
    {kPrint, &CDorvaneDlg::CmdPrint},
    {kWallpaper, &CDorvaneDlg::CmdWallpaper},
    {kTopmost, &CDorvaneDlg::CmdTopmost},
    {kWheelPages, &CDorvaneDlg::CmdWheelPages},
    {kWheelZooms, &CDorvaneDlg::CmdWheelZooms},
    {kToolbarTop, &CDorvaneDlg::CmdToolbarTop},
    {kToolbarBottom, &CDorvaneDlg::CmdToolbarBottom},
    {kSettings, &CDorvaneDlg::CmdSettings},
    {kAbout, &CDorvaneDlg::CmdAbout},
    {kShowAgain, &CDorvaneDlg::CmdShowAgain},
    {kOpenWith, &CDorvaneDlg::CmdOpenWith},
    {kFeedback, &CDorvaneDlg::CmdFeedback},
    {kScrollUp, &CDorvaneDlg::CmdScrollUp},
    {kScrollDown, &CDorvaneDlg::CmdScrollDown},
    {kToggleDefaultViewer, &CDorvaneDlg::CmdToggleDefaultViewer},
    {kCloseButton, &CDorvaneDlg::CmdClose},
    {kMaximizeButton, &CDorvaneDlg::CmdMaximize},
    {kMinimizeButton, &CDorvaneDlg::CmdMinimize},
    {IDCANCEL, &CDorvaneDlg::CmdCancel},
};

bool CDorvaneDlg::RunCommand(UINT id) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.id == id) {
      (this->*entry.handler)();
      return true;
    }
  }
  // IDOK (Enter reaches the dialog only when no accelerator took it) and the rest do nothing.
  return id == IDOK;
}

void CDorvaneDlg::OnMenuCommand(WPARAM id) {
  // A menu that closed without a choice sends -1; only the menus' own commands are taken here.
  switch (static_cast<int>(id)) {
    case kOpen:
    case kTopmost:
    case kWheelPages:
    case kWheelZooms:
    case kSettings:
    case kAbout:
    case kFeedback:
    case kToggleDefaultViewer:
      RunCommand(static_cast<UINT>(id));
      break;
    default:
      break;
  }
}

bool CDorvaneDlg::IsImageShown() const {
  const CWICImageLoaderPtr loader = CCurrentImage::Get().Loader();
  return loader && loader->FrameSource() != nullptr;
}

void CDorvaneDlg::CmdInfoPanel() { toolbar_.ToggleInfoPanel(); }

void CDorvaneDlg::CmdMap() {
  const CWICImageLoaderPtr loader = CCurrentImage::Get().Loader();
  if (IsImageShown() && !loader->Metadata().gps.empty()) ShowOnMap(loader->Metadata().gps);
  if (auto* statistics = services::Find<services::IUsageStatistics>()) statistics->ReportFeature(L"location");
}

void CDorvaneDlg::CmdActualSize() { view_.ToggleActualSize(); }
void CDorvaneDlg::CmdZoomIn() { view_.ZoomStep(true); }
void CDorvaneDlg::CmdZoomOut() { view_.ZoomStep(false); }
void CDorvaneDlg::CmdPrevious() { Step(-1); }
void CDorvaneDlg::CmdNext() { Step(1); }
void CDorvaneDlg::CmdRotateLeft() { view_.RotateImage(false); }
void CDorvaneDlg::CmdRotateRight() { view_.RotateImage(true); }
void CDorvaneDlg::CmdAdjust() { toolbar_.ToggleAdjustWindow(); }
void CDorvaneDlg::CmdMainMenu() { menubar_.ShowMainMenu(); }
void CDorvaneDlg::CmdFullScreen() { ToggleFullScreen(); }
void CDorvaneDlg::CmdShowAgain() { view_.ShowCurrentImage(); }
void CDorvaneDlg::CmdScrollUp() { view_.ScrollVertical(kScrollUp); }
void CDorvaneDlg::CmdScrollDown() { view_.ScrollVertical(kScrollDown); }
void CDorvaneDlg::CmdCopy() { CCurrentImage::Get().CopyToClipboard(); }
void CDorvaneDlg::CmdPrint() { CCurrentImage::Get().Print(); }
void CDorvaneDlg::CmdClose() { RunExitSequence(); }
void CDorvaneDlg::CmdMinimize() { ::SendMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0); }
void CDorvaneDlg::CmdMaximize() {
  ::SendMessageW(window_, WM_SYSCOMMAND, ::IsZoomed(window_) ? SC_RESTORE : SC_MAXIMIZE, 0);
}
void CDorvaneDlg::CmdWheelPages() { config_.mouse_wheel_action = 0; }
void CDorvaneDlg::CmdWheelZooms() { config_.mouse_wheel_action = 1; }
void CDorvaneDlg::CmdToolbarTop() { SetToolbarDock(0); }
void CDorvaneDlg::CmdToolbarBottom() { SetToolbarDock(1); }

void CDorvaneDlg::CmdSaveAs() {
  if (IsImageShown()) CCurrentImage::Get().SaveAs(window_);
}

void CDorvaneDlg::CmdWallpaper() {
  base::WaitCursor busy;
  CCurrentImage::Get().SetAsWallpaper();
}

void CDorvaneDlg::CmdCancel() {
  // Escape leaves full screen first; otherwise it closes the viewer.
  if (saved_window_rect_) {
    ToggleFullScreen();
  } else {
    EndMainDialog(IDCANCEL);
  }
}

void CDorvaneDlg::SetToolbarDock(int dock) {
  if (config_.toolbar_dock == dock) return;
  config_.toolbar_dock = dock;
  RecalcLayout();
  view_.Invalidate();
}

void CDorvaneDlg::Step(int offset) {
  CCurrentFolderImage& list = GetCurrentFolderList();
  std::wstring path = list.GetNeighbourPath(offset);
  // Files that vanished since the folder was listed are dropped on the way.
  while (!path.empty() && !base::FileExists(path)) {
    list.RemoveFile(path);
    path = list.GetNeighbourPath(offset);
  }
  if (path.empty()) return;
  CSystemCache::Get().SetDirection(offset > 0 ? CSystemCache::kForward : CSystemCache::kBackward);
  OpenAndShow(path);
}

void CDorvaneDlg::CmdDelete() {
  // The path is taken before asking: a hand-over while the question is open must not change which
  // file goes.
  const std::wstring path = CCurrentImage::Get().Path();
  if (path.empty() || !base::FileExists(path)) return;
  if (config_.show_delete_confirm != 0) {
    auto* confirmation = services::Find<services::IDeleteConfirmation>();
    if (!confirmation || !confirmation->Confirm(window_, path)) return;
  }
  std::wstring from = path;
  from.push_back(L'\0');  // the list ends with a second zero
  const auto recycle = [&](FILEOP_FLAGS flags) {
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = window_;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = flags;
    return ::SHFileOperationW(&operation);
  };
  // The picture on screen keeps its file open; it is let go for the move to the recycle bin.
  CCurrentImage& image = CCurrentImage::Get();
  image.ReleaseFile();
  recycle(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT);
  // Once more with the shell's own messages, so the user learns why.
  if (base::FileExists(path)) recycle(FOF_ALLOWUNDO);
  if (base::FileExists(path)) {
    // Still there: the view stays on it.
    image.ReloadFile();
    return;
  }
  OpenAndShow(GetCurrentFolderList().RemoveFile(path));
}

void CDorvaneDlg::CmdResize() {
  if (!IsImageShown()) return;
  if (auto* statistics = services::Find<services::IUsageStatistics>()) statistics->ReportFeature(L"clip");
  auto* factory = services::Find<services::IResizeDialogFactory>();
  std::unique_ptr<services::IResizeDialog> dialog = factory ? factory->CreateResizeDialog() : nullptr;
  if (!dialog || dialog->DoModal(window_) != 1) return;
  bool replaced = false;
  CCurrentImage::Get().SaveResized(dialog->OutputPath(), dialog->OutputWidth(), dialog->OutputHeight(), &replaced);
  if (replaced) OpenAndShow(CCurrentImage::Get().Path());
}

INT_PTR CDorvaneDlg::RunSingleDialog(std::unique_ptr<services::IModalDialog>& slot,
                                     const std::function<std::unique_ptr<services::IModalDialog>()>& create) {
  if (!slot) slot = create();
  if (!slot || slot->GetSafeHwnd()) return -1;
  return slot->DoModal(window_);
}

void CDorvaneDlg::CmdSettings() {
  auto* factory = services::Find<services::ISettingsDialogFactory>();
  RunSingleDialog(settings_, [&]() -> std::unique_ptr<services::IModalDialog> {
    return factory ? factory->CreateSettingsDialog() : nullptr;
  });
  if (settings_ && settings_->GetSafeHwnd()) return;  // already open: its own request ends it
  const auto* dialog = static_cast<const services::ISettingsDialog*>(settings_.get());
  const bool reopen = dialog && dialog->DisplayOptionsChanged();
  settings_.reset();
  if (reopen) OpenAndShow(CCurrentImage::Get().Path());
}

void CDorvaneDlg::CmdAbout() {
  auto* factory = services::Find<services::IAboutDialogFactory>();
  RunSingleDialog(about_, [&]() -> std::unique_ptr<services::IModalDialog> {
    return factory ? factory->CreateAboutDialog() : nullptr;
  });
  if (about_ && about_->GetSafeHwnd()) return;
  about_.reset();
}

void CDorvaneDlg::AskDefaultViewer() {
  auto* factory = services::Find<services::IDefaultViewerPromptFactory>();
  const INT_PTR result = RunSingleDialog(default_viewer_, [&]() -> std::unique_ptr<services::IModalDialog> {
    return factory ? factory->CreateDefaultViewerPrompt() : nullptr;
  });
  if (default_viewer_ && default_viewer_->GetSafeHwnd()) return;
  default_viewer_.reset();
  if (result != 1) return;
  const std::wstring choices = base::JoinPath(base::FolderOf(config_.ConfigPath()), L"user_assoc.ini");
  if (!choices.empty()) ::DeleteFileW(choices.c_str());
  config_.set_default_viewer = 1;
  config_.Save();
  ApplyDefaultViewer(true);
}

void CDorvaneDlg::ApplyDefaultViewer(bool enabled) {
  if (auto* association = services::Find<services::IAssociation>()) association->SetDefaultViewerEnabled(enabled);
}

void CDorvaneDlg::CmdToggleDefaultViewer() {
  config_.set_default_viewer = config_.set_default_viewer != 0 ? 0 : 1;
  ApplyDefaultViewer(config_.set_default_viewer != 0);
}

void CDorvaneDlg::CmdFeedback() {
  // An open form comes forward with what the user has typed into it; a new one would lose that.
  if (feedback_) {
    feedback_->Show(window_);
    return;
  }
  auto* factory = services::Find<services::IFeedbackDialogFactory>();
  if (!factory) return;
  feedback_ = factory->CreateFeedbackDialog();
  if (feedback_) feedback_->Show(window_);
}

void CDorvaneDlg::CmdTopmost() {
  const bool topmost = (::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  ::SetWindowPos(window_, topmost ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CDorvaneDlg::CmdShowInFolder() {
  const std::wstring path = CCurrentImage::Get().Path();
  if (path.empty() || !base::FileExists(path)) return;
  PIDLIST_ABSOLUTE item = ::ILCreateFromPathW(path.c_str());
  if (!item) return;
  if (FAILED(::SHOpenFolderAndSelectItems(item, 0, nullptr, 0))) {
    // Without the shell's folder windows, the folder opens in whatever browses files.
    const std::wstring folder = base::FolderOf(path);
    ::ShellExecuteW(window_, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
  ::ILFree(item);
}

void CDorvaneDlg::CmdOpenWith() {
  const std::wstring path = CCurrentImage::Get().Path();
  if (path.empty() || !base::FileExists(path)) return;
  OPENASINFO info{};
  info.pcszFile = path.c_str();
  info.oaifInFlags = OAIF_EXEC;
  ::SHOpenWithDialog(window_, &info);
}

void CDorvaneDlg::ToggleFullScreen() {
  const HWND buttons[] = {::GetDlgItem(window_, IDC_BUTTON_MAXIMIZE), ::GetDlgItem(window_, IDC_BUTTON_MINIMIZE),
                          menubar_.GetSafeHwnd()};
  LONG_PTR style = ::GetWindowLongPtrW(window_, GWL_STYLE);
  if (!full_screen_) {
    full_screen_ = true;
    for (HWND button : buttons) ::ShowWindow(button, SW_HIDE);
    saved_window_rect_ = std::make_unique<RECT>();
    ::GetWindowRect(window_, saved_window_rect_.get());
    style = (style & ~static_cast<LONG_PTR>(WS_THICKFRAME)) | WS_POPUP;
    ::SetWindowLongPtrW(window_, GWL_STYLE, style);
    ::SetWindowPos(window_, nullptr, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                   SWP_NOZORDER | SWP_FRAMECHANGED);
  } else {
    full_screen_ = false;
    style = (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_THICKFRAME;
    ::SetWindowLongPtrW(window_, GWL_STYLE, style);
    if (saved_window_rect_) {
      const RECT& r = *saved_window_rect_;
      ::SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    saved_window_rect_.reset();
    for (HWND button : buttons) ::ShowWindow(button, SW_SHOW);
  }
  toolbar_.SetFullScreen(full_screen_);
  RecalcLayout();
  ::UpdateWindow(window_);
}
