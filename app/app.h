#pragma once
// The application object: owns the life of the viewer process from the parsed command line to
// the end of the modal main window, and the process-wide objects made on the way.
#include <windows.h>

#include <memory>
#include <string>

#include "base/com.h"
#include "image/gdiplus_include.h"

using FCAutoInitGDIPlus = image::GdiplusSession;

class CDorvaneDlg;

class CDorvaneApp {
 public:
  // Loads the settings, looks up the application name and makes sure the data folders exist.
  CDorvaneApp(HINSTANCE instance, std::wstring commandLine);
  virtual ~CDorvaneApp();
  CDorvaneApp(const CDorvaneApp&) = delete;
  CDorvaneApp& operator=(const CDorvaneApp&) = delete;

  // Runs the whole start-up and the main window. Always FALSE: the modal main window is the
  // message loop, so nothing is left to run afterwards.
  virtual BOOL InitInstance();
  // Releases what the process made, in a fixed order; answers the process exit code.
  virtual int ExitInstance();

  // Starts the tray companion (see startup::StartTrayCompanion).
  bool StartTrayCompanion(const std::wstring& extraParameters);
  // Creates or drops the hand-over receivers after only_one_instance changed.
  void RefreshReceivers();

  HINSTANCE Instance() const noexcept { return instance_; }
  const std::wstring& AppName() const noexcept { return app_name_; }
  const std::wstring& CommandLineText() const noexcept { return command_line_; }
  // The running main window, or null outside its modal run.
  CDorvaneDlg* MainWindow() const noexcept { return main_window_; }

 private:
  // Hands the start to the tray companion when an update waits for elevation (the companion
  // starts the viewer again with this command line). True when this process has to end.
  bool HandOffPendingUpdate();

  HINSTANCE instance_;
  std::wstring command_line_;
  std::wstring app_name_;
  std::unique_ptr<FCAutoInitGDIPlus> gdiplus_;
  std::unique_ptr<FCAutoInitializeCOM> com_;
  CDorvaneDlg* main_window_ = nullptr;
};

// The application object of this process, or null before it exists.
CDorvaneApp* GetDorvaneApp() noexcept;
