#include "view/current_folder_image.h"

#include <process.h>
#include <shlwapi.h>

#include <new>
#include <utility>

#include "base/com.h"

// Everything one scan needs, owned jointly by the list and its thread, so the thread never
// touches the list itself and an abandoned scan can finish on its own.
struct CCurrentFolderImage::ScanJob {
  std::wstring folder;
  std::wstring name;
  std::shared_ptr<IShellViewOrder> shell;
  HWND window = nullptr;
  std::atomic<int> stop{0};
  folder_order::ScanResult result;
};

CCurrentFolderImage::CCurrentFolderImage(const AppConfigValues& config, std::shared_ptr<IShellViewOrder> shell)
    : config_(config), shell_(std::move(shell)) {}

CCurrentFolderImage::~CCurrentFolderImage() {
  DestroyMessageWindow();
  StopScan();
}

bool CCurrentFolderImage::IsLooping() const noexcept { return config_.view_folder_loop != 0; }

void CCurrentFolderImage::SetCurrentFile(HWND notificationWindow, const std::wstring& path) {
  notificationWindow_ = notificationWindow;
  const folder_order::SplitPath split = folder_order::Split(path);
  if (IsScanning()) {
    StopScan();
    StartScan(split);
    return;
  }
  const int position = ::StrCmpIW(split.folder.c_str(), folder_.c_str()) == 0
                           ? folder_order::FindName(names_, split.name)
                           : -1;
  if (position < 0) {
    StartScan(split);
    return;
  }
  currentIndex_ = position;
  ReportPosition();
  PreloadAround();
  if (notificationWindow_) ::SendMessageW(notificationWindow_, WM_FOLDER_IMAGE_COLLECTED, 0, 0);
  if (observer_) observer_->OnFolderImageCollected();
}

std::wstring CCurrentFolderImage::GetNeighbourPath(int offset) const {
  if (IsScanning()) return {};
  const int target = folder_order::NeighbourIndex(currentIndex_, GetCount(), offset, IsLooping());
  if (target < 0) return {};
  return folder_order::Join(folder_, names_[static_cast<size_t>(target)]);
}

bool CCurrentFolderImage::CanMove(int offset) const {
  return !IsScanning() && folder_order::NeighbourIndex(currentIndex_, GetCount(), offset, IsLooping()) >= 0;
}

std::wstring CCurrentFolderImage::RemoveFile(const std::wstring& path) {
  if (IsScanning()) Reset();
  const folder_order::SplitPath split = folder_order::Split(path);
  // Only a file of the listed folder can leave the list; a namesake elsewhere is not ours.
  int removed = -1;
  if (::StrCmpIW(split.folder.c_str(), folder_.c_str()) == 0) removed = folder_order::FindName(names_, split.name);
  if (removed >= 0) names_.erase(names_.begin() + removed);
  if (names_.empty()) {
    Reset();
    return {};
  }
  currentIndex_ = folder_order::IndexAfterRemoval(currentIndex_, removed, GetCount());
  return folder_order::Join(folder_, names_[static_cast<size_t>(currentIndex_)]);
}

void CCurrentFolderImage::Reset() {
  StopScan();
  notificationWindow_ = nullptr;
  folder_.clear();
  names_.clear();
  currentIndex_ = -1;
}

void CCurrentFolderImage::StartScan(const folder_order::SplitPath& split) {
  folder_ = split.folder;
  names_.assign(1, split.name);
  currentIndex_ = 0;
  ReportPosition();
  // A fresh window per scan: a result of an abandoned scan can never reach it.
  if (!CreateMessageWindow(nullptr)) return;
  auto job = std::make_shared<ScanJob>();
  job->folder = folder_;
  job->name = split.name;
  job->shell = shell_;
  job->window = GetHwnd();
  auto* threadRef = new (std::nothrow) std::shared_ptr<ScanJob>(job);
  const uintptr_t thread =
      threadRef ? ::_beginthreadex(nullptr, 0, &CCurrentFolderImage::ScanThread, threadRef, 0, nullptr) : 0;
  if (!thread) {
    // Without a thread the opened file stays the single entry of the list.
    delete threadRef;
    DestroyMessageWindow();
    return;
  }
  scanThread_.Reset(reinterpret_cast<HANDLE>(thread));
  job_ = std::move(job);
}

void CCurrentFolderImage::StopScan() noexcept {
  base::KernelHandle thread = std::move(scanThread_);
  const std::shared_ptr<ScanJob> job = std::move(job_);
  if (!thread) return;
  DestroyMessageWindow();
  if (job) job->stop.store(1, std::memory_order_relaxed);
  // Destroying the window has already released a thread that was sending its result, and any
  // later send fails at once, so the thread cannot be waiting for this one. It may be waiting for
  // the shell, though, whose answer can take long (a shell still starting, a busy one): after a
  // while it is left to finish on its own, with its share of the job and nothing of the list.
  ::WaitForSingleObject(thread.Get(), kStopWaitMs);
}

unsigned __stdcall CCurrentFolderImage::ScanThread(void* param) noexcept {
  const std::unique_ptr<std::shared_ptr<ScanJob>> ref(static_cast<std::shared_ptr<ScanJob>*>(param));
  ScanJob& job = **ref;
  {
    FCAutoInitializeCOM com;
    try {
      job.result = folder_scan::ScanFolder(job.folder, job.name, job.shell.get(), job.stop);
    } catch (...) {
      // Out of memory in a huge folder: hand back "no list", the opened file stays on its own.
      job.result = folder_order::ScanResult();
    }
    // Returns at once when the window has been destroyed meanwhile (the scan was abandoned).
    ::SendMessageW(job.window, WM_FOLDER_SCAN_RESULT, reinterpret_cast<WPARAM>(&job.result), 0);
    // Whatever the result still holds (the list it was swapped with) goes with the last reference.
  }
  return 0;
}

LRESULT CCurrentFolderImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_FOLDER_SCAN_RESULT) {
    OnScanResult(wParam);
    return 0;
  }
  return FCMessageWindow::HandleMessage(message, wParam, lParam);
}

void CCurrentFolderImage::OnScanResult(WPARAM wParam) {
  if (!job_ || wParam != reinterpret_cast<WPARAM>(&job_->result)) return;
  {
    // Our reference goes before the reply, so the thread frees the old list, not this thread.
    const std::shared_ptr<ScanJob> job = std::move(job_);
    if (job->result.index != -1) {
      currentIndex_ = job->result.index;
      names_.swap(job->result.imageNames);
    }
  }
  ::ReplyMessage(0);
  scanThread_.Reset();
  DestroyMessageWindow();
  ReportPosition();
  if (notificationWindow_) ::PostMessageW(notificationWindow_, WM_FOLDER_IMAGE_COLLECTED, 0, 0);
  if (observer_) observer_->OnFolderImageCollected();
  PreloadAround();
}

void CCurrentFolderImage::ReportPosition() {
  if (observer_) observer_->OnFolderPositionChanged(currentIndex_, GetCount());
}

void CCurrentFolderImage::PreloadAround() {
  if (observer_) observer_->OnPreloadAround(folder_, currentIndex_, names_);
}
