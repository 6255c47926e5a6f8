#pragma once
// The viewer's single top-level window: a borderless window with its own title strip (logo, title
// label, menu, minimise, maximise and close buttons), the toolbar and the image view. It runs
// modally from dialog template 102 under its own registered window class, so that other starts and
// the exit logic can find it by class name; when it ends, the process ends. Every user action ends
// here as a command identifier, carried out by the command table.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "base/handles.h"
#include "main_window/chrome/logo.h"
#include "main_window/chrome/menubar.h"
#include "main_window/chrome/png_button.h"
#include "main_window/chrome/toolbar.h"
#include "main_window/main_messages.h"
#include "services/feedback_dialog.h"
#include "ipc/channel.h"
#include "services/modal_dialog.h"
#include "services/settings_dialog.h"
#include "view/title_info.h"
#include "view/window/main_image_view.h"

class CDorvaneDlg : public IChannelListener2 {
 public:
  static constexpr const wchar_t* kWindowClass = kMainWindowClass;
  static constexpr wchar_t kQuitMessageName[] = L"Quellin_quit_broadcast_msg";

  // Registers the main window class (a copy of the system dialog class under our name) and loads
  // the accelerators.
  CDorvaneDlg(HINSTANCE instance, HWND parent, AppConfig& config = AppConfig::Get());
  // Waits for the default-viewer check thread.
  ~CDorvaneDlg() override;
  CDorvaneDlg(const CDorvaneDlg&) = delete;
  CDorvaneDlg& operator=(const CDorvaneDlg&) = delete;

  // Runs the window and its message loop until it ends; answers the dialog result (-1 when the
  // window could not be made).
  INT_PTR DoModal();

  // Called once about a second after the window appeared: starts the tray companion.
  void SetCompanionStarter(std::function<void()> starter) { companion_starter_ = std::move(starter); }

  [[nodiscard]] HWND GetSafeHwnd() const noexcept { return window_; }
  [[nodiscard]] WndMainImageView& View() noexcept { return view_; }
  [[nodiscard]] WndMainToolbar& Toolbar() noexcept { return toolbar_; }

  // The toolbar's rectangle in client coordinates.
  [[nodiscard]] RECT ToolbarRect() const;
  // The view's rectangle in client coordinates.
  [[nodiscard]] RECT ViewRect() const;
  // Repositions toolbar, view and menu button.
  void RecalcLayout();

  // The message channel's listener side: type 2 (the companion asks every viewer to quit) runs the
  // exit sequence; nothing else is taken.
  [[nodiscard]] int32_t GetRoutingID() const override { return 2; }
  void OnMessageReceived(const IPC::Message& message) override;
  void OnPeerGone(bool) override {}

 private:
  using CommandHandler = void (CDorvaneDlg::*)();
  struct CommandEntry {
    UINT id;
    CommandHandler handler;
  };
  static const CommandEntry kCommands[];

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Answers a message with a result value (for the messages whose result matters).
  INT_PTR Answer(LRESULT result);
  // True when the message was consumed.
  bool PreTranslateMessage(MSG& message);
  void EndMainDialog(INT_PTR result);

  // Creation and frame (main_dialog.cpp).
  BOOL OnInitDialog();
  void CreateChildren();
  void SetUpTitleStrip();
  void OnSize(UINT type, int cx, int cy);
  void OnGetMinMaxInfo(MINMAXINFO* info);
  LRESULT OnNcHitTest(LPARAM lParam);
  void OnPaint();
  HBRUSH OnCtlColorStatic(HDC dc, HWND control);
  void OnTitleWidth(int width, int height);
  void OnTimer(UINT_PTR id);
  void OnDestroy();

  // Commands (main_commands.cpp).
  bool RunCommand(UINT id);
  void OnMenuCommand(WPARAM id);
  void CmdInfoPanel();
  void CmdMap();
  void CmdActualSize();
  void CmdZoomIn();
  void CmdZoomOut();
  void CmdPrevious();
  void CmdNext();
  void CmdRotateLeft();
  void CmdRotateRight();
  void CmdDelete();
  void CmdResize();
  void CmdAdjust();
  void CmdMainMenu();
  void CmdFullScreen();
  void CmdOpen();
  void CmdSaveAs();
  void CmdCopy();
  void CmdShowInFolder();
  void CmdPrint();
  void CmdWallpaper();
  void CmdTopmost();
  void CmdWheelPages();
  void CmdWheelZooms();
  void CmdToolbarTop();
  void CmdToolbarBottom();
  void CmdSettings();
  void CmdAbout();
  void CmdShowAgain();
  void CmdOpenWith();
  void CmdFeedback();
  void CmdScrollUp();
  void CmdScrollDown();
  void CmdToggleDefaultViewer();
  void CmdClose();
  void CmdMaximize();
  void CmdMinimize();
  void CmdCancel();
  void Step(int offset);
  void SetToolbarDock(int dock);
  void ToggleFullScreen();
  void AskDefaultViewer();
  void ApplyDefaultViewer(bool enabled);
  // Runs one of the single-instance modal dialogs; answers its result, or -1 when it was absent or
  // already open.
  INT_PTR RunSingleDialog(std::unique_ptr<services::IModalDialog>& slot,
                          const std::function<std::unique_ptr<services::IModalDialog>()>& create);

  // Files (main_files.cpp).
  void OpenAndShow(const std::wstring& path);
  void OnStartupOpen();
  void OnOpenPath(const wchar_t* path);
  void OnDropFiles(HDROP drop);
  LRESULT OnCopyData(const COPYDATASTRUCT* record);
  void StartDefaultViewerCheck();
  // Raises the window above others without keeping it topmost.
  void RaiseWindow();
  void BringToFront();
  [[nodiscard]] bool IsImageShown() const;

  // Leaving (main_exit.cpp).
  void RunExitSequence();
  void OnClose();
  void CloseOpenDialogs();
  void CompleteExit();

  HINSTANCE instance_;
  HWND parent_;
  AppConfig& config_;
  HWND window_ = nullptr;
  bool running_ = false;
  INT_PTR result_ = IDCANCEL;
  std::function<void()> companion_starter_;

  WndMainImageView view_;
  WndMainToolbar toolbar_;
  WndMainMenubar menubar_;
  WndMainLogo logo_;
  std::unique_ptr<services::IFeedbackDialog> feedback_;
  HACCEL accelerators_ = nullptr;
  std::unique_ptr<RECT> saved_window_rect_;
  UINT quit_message_ = 0;
  base::KernelHandle check_thread_;
  std::unique_ptr<services::IModalDialog> settings_;
  std::unique_ptr<services::IModalDialog> default_viewer_;
  std::unique_ptr<services::IModalDialog> about_;
  base::BrushHandle light_brush_;
  base::BrushHandle white_brush_;
  base::FontHandle title_font_;
  base::FontHandle bold_title_font_;
  CPngButton close_button_;
  CPngButton maximize_button_;
  CPngButton minimize_button_;
  RECT region_rect_{};
  bool exiting_ = false;
  bool full_screen_ = false;
  bool listening_ = false;
  base::IconHandle icon_big_;
  base::IconHandle icon_small_;
};
