#include "view/system_cache.h"

#include <algorithm>
#include <memory>

#include "base/paths.h"
#include "image/current_image.h"
#include "image/file_types.h"
#include "image/exif/metadata.h"
#include "image/thumbnail/thumbnail.h"
#include "image/wic/loader.h"

namespace {
std::unique_ptr<CSystemCache>& Instance() {
  static std::unique_ptr<CSystemCache> instance;
  return instance;
}

// The final component of a path (after the last backslash or slash).
std::wstring FinalComponent(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
}  // namespace

bool IsThumbnailCacheType(unsigned typeCode) noexcept { return typeCode >= 1 && typeCode <= 5; }

void CAsyncCreateSystemCache::Execute() {
  ThumbnailRequest request;
  // The cache keeps the preview; nothing of it is needed here.
  (void)ShellThumbnail(path_, 0, kThumbnailExtract, request);
}

void CAsyncCreateSystemCache::OnComplete() {
  if (watcher_) (void)SendToLiveWindow(watcher_, WM_SYSTEM_CACHE_READY, 0, 0);
}

CSystemCache::CSystemCache(const AppConfigValues& config) : config_(config) {}

CSystemCache& CSystemCache::Get() {
  auto& instance = Instance();
  if (!instance) instance = std::make_unique<CSystemCache>();
  return *instance;
}

void CSystemCache::DestroyInstance() { Instance().reset(); }

void CSystemCache::PreloadAround(const std::wstring& folder, int index, const folder_order::NameList& names) {
  ClearPending();
  if (folder != folder_) {
    direction_ = kAround;
    requested_.clear();
    folder_ = folder;
  }
  static constexpr int kAroundOffsets[] = {1, -1, 2, 3};
  static constexpr int kForwardOffsets[] = {1, 2, 3};
  static constexpr int kBackwardOffsets[] = {-1, -2, -3};
  const int* offsets = kAroundOffsets;
  size_t count = std::size(kAroundOffsets);
  if (direction_ == kForward) {
    offsets = kForwardOffsets;
    count = std::size(kForwardOffsets);
  } else if (direction_ == kBackward) {
    offsets = kBackwardOffsets;
    count = std::size(kBackwardOffsets);
  }
  const long long size = static_cast<long long>(names.size());
  for (size_t n = 0; n < count; ++n) {
    const long long k = static_cast<long long>(index) + offsets[n];
    if (k < 0 || k >= size) continue;
    const std::wstring& name = names[static_cast<size_t>(k)];
    if (!IsThumbnailCacheType(image::ClassifyImageFile(name))) continue;
    if (requested_.count(name) != 0) continue;
    const std::wstring path = base::JoinPath(folder, name);
    if (path.empty()) continue;
    (void)AddTask(std::make_shared<CAsyncCreateSystemCache>(path));
  }
}

void CSystemCache::Start() {
  if (started_ != 0) return;
  started_ = 1;
  StartTasks();
}

int CSystemCache::GetMaxRunning() const { return (config_.preload_enable != 0 && started_ != 0) ? 1 : 0; }

void CSystemCache::OnTaskStart(const TaskPtr& task) {
  if (const auto* request = dynamic_cast<const CAsyncCreateSystemCache*>(task.get())) {
    requested_.insert(FinalComponent(request->Path()));
  }
}

std::deque<std::wstring> CSystemCache::PendingPaths() const {
  std::deque<std::wstring> paths;
  for (const TaskPtr& task : PendingTasks()) {
    if (const auto* request = dynamic_cast<const CAsyncCreateSystemCache*>(task.get())) {
      paths.push_back(request->Path());
    }
  }
  return paths;
}

bool CSystemCache::WatchRunning(HWND window) {
  const std::wstring& current = CCurrentImage::Get().Path();
  if (current.empty()) return false;
  for (const auto& [id, task] : RunningTasks()) {
    (void)id;
    auto* request = dynamic_cast<CAsyncCreateSystemCache*>(task.get());
    if (request && request->Path() == current) {
      request->SetWatchingWindow(window);
      return true;
    }
  }
  return false;
}

bool CSystemCache::GetCachedThumbnail(int width, int height, HBITMAP* bitmap) const {
  if (!bitmap || width <= 0 || height <= 0) return false;
  CCurrentImage& image = CCurrentImage::Get();
  if (IWICBitmap* inMemory = image.InMemoryBitmap()) {
    const CWICImageLoaderPtr loader = image.Loader();
    auto memoryLoader = CWICImageLoader::FromSource(inMemory, loader ? loader->ColorContext() : nullptr);
    if (!memoryLoader || !DecodeToFitBitmap(*memoryLoader, width, height, bitmap)) return false;
    UINT memoryWidth = 0, memoryHeight = 0;
    return SUCCEEDED(inMemory->GetSize(&memoryWidth, &memoryHeight)) && static_cast<int>(memoryWidth) >= width;
  }
  const std::wstring& path = image.Path();
  if (path.empty() || !IsThumbnailCacheType(image::ClassifyImageFile(path))) return false;
  ThumbnailRequest request;
  if (!ShellThumbnail(path, std::max(width, height), kThumbnailFastPreview, request)) return false;
  const CWICImageLoaderPtr loader = image.Loader();
  const WICBitmapTransformOptions transform = loader ? loader->Transform() : WICBitmapTransformRotate0;
  IWICColorContext* context = (config_.ignore_embedded_icc != 0 && loader) ? loader->ColorContext() : nullptr;
  if (!ThumbnailToBitmap(request, width, height, bitmap, transform, context)) return false;
  // A fast stand-in extract is poor; a near-size preview on older systems counts as good.
  if (request.mark == 1) return false;
  return request.mark == 2 || (request.cache_flags & WTS_LOWQUALITY) == 0;
}
