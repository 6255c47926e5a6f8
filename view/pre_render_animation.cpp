#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "appconfig/app_config.h"
#include "base/handles.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "view/pre_render.h"
#include "view/pre_render_tasks.h"
#include "view/system_cache.h"

namespace {

// The frames of one animation may take this much memory at most; a larger animation stays on its
// first frame instead of exhausting the address space.
constexpr uint64_t kAnimationMemoryLimit =
    sizeof(void*) == 4 ? 384ull * 1024 * 1024 : 2048ull * 1024 * 1024;

// The dimension GIF frames are counted in ({6AEDBD6D-3FB5-418A-83A6-7F45229DC872}).
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};

// The frame delays in milliseconds: each entry of the delay table (hundredths of a second) times
// ten, 0 meaning 100 ms. False when the picture has no readable table.
bool ReadFrameDelays(Gdiplus::Bitmap& bitmap, std::vector<int>& delays) {
  const UINT size = bitmap.GetPropertyItemSize(PropertyTagFrameDelay);
  if (size < sizeof(Gdiplus::PropertyItem)) return false;
  std::vector<uint64_t> buffer((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
  auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
  if (bitmap.GetPropertyItem(PropertyTagFrameDelay, size, item) != Gdiplus::Ok || !item->value) return false;
  const auto* base = reinterpret_cast<const uint8_t*>(buffer.data());
  const auto* value = static_cast<const uint8_t*>(item->value);
  // The value must lie inside the buffer GDI+ filled.
  if (value < base || value > base + size || item->length > static_cast<ULONG>(base + size - value)) return false;
  const size_t count = item->length / 4;
  delays.clear();
  delays.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t hundredths = 0;
    std::memcpy(&hundredths, value + 4 * i, 4);
    // GIF delays are 16-bit; anything beyond that is a damaged table, held to the largest one.
    if (hundredths > 0xFFFF) hundredths = 0xFFFF;
    delays.push_back(hundredths == 0 ? 100 : static_cast<int>(hundredths) * 10);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CAsyncLoadAnimation

CAsyncLoadAnimation::CAsyncLoadAnimation(HWND target, std::wstring path)
    : target_(target), path_(std::move(path)), canvas_(AppConfig::Get().canvas_back_color) {}

void CAsyncLoadAnimation::Execute() {
  if (path_.empty()) return;
  Gdiplus::Bitmap bitmap(path_.c_str());
  if (bitmap.GetLastStatus() != Gdiplus::Ok) return;
  const UINT count = bitmap.GetFrameCount(&kFrameDimensionTime);
  if (count < 2) return;
  std::vector<int> delays;
  // A delay table that does not match the frames leaves the picture on its first frame.
  if (!ReadFrameDelays(bitmap, delays) || delays.size() != count) return;
  const UINT width = bitmap.GetWidth();
  const UINT height = bitmap.GetHeight();
  if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) return;
  const uint64_t frameBytes = static_cast<uint64_t>(FCObjImage::StrideFor(static_cast<int>(width), 24)) * height;
  if (frameBytes * count > kAnimationMemoryLimit) return;

  base::BrushHandle canvas(::CreateSolidBrush(canvas_));
  base::MemoryDc memory(::CreateCompatibleDC(nullptr));
  if (!canvas || !memory) return;
  const RECT all{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
  for (UINT i = 0; i < count; ++i) {
    if (!IsAlive() || !::IsWindow(target_) || bitmap.SelectActiveFrame(&kFrameDimensionTime, i) != Gdiplus::Ok) {
      frames_.clear();
      return;
    }
    auto image = std::make_shared<FCObjImage>();
    if (!image->Create(static_cast<int>(width), static_cast<int>(height), 24)) {
      frames_.clear();
      return;
    }
    {
      base::SelectGuard select(memory.Get(), image->SectionHandle());
      ::FillRect(memory.Get(), &all, canvas.Get());
      Gdiplus::Graphics graphics(memory.Get());
      graphics.DrawImage(&bitmap, 0, 0, static_cast<INT>(width), static_cast<INT>(height));
    }
    frames_.emplace_back(std::move(image), delays[i]);
  }
}

void CAsyncLoadAnimation::OnComplete() {
  (void)SendToLiveWindow(target_, WM_ANIMATION_FRAMES_READY, reinterpret_cast<WPARAM>(this), 0);
}

// ---------------------------------------------------------------------------------------------
// CPreRenderAnimation

CPreRenderAnimation::CPreRenderAnimation(IPreRenderOwner& owner) : owner_(owner) {
  (void)CreateMessageWindow(nullptr);
  CCurrentImage& image = CCurrentImage::Get();
  // The first frame shows at once while the others load.
  if (const CWICImageLoaderPtr loader = image.Loader(); loader && loader->FrameSource()) {
    auto first = std::make_shared<FCObjImage>();
    if (first->LoadFromWicSource(loader->FrameSource(), GUID_WICPixelFormat32bppPBGRA)) {
      frames_.emplace_back(std::move(first), 0);
    }
  }
  auto task = std::make_shared<CAsyncLoadAnimation>(GetHwnd(), image.Path());
  tasks_.Add(task);
  (void)image.Queue().AddTask(task);
  CSystemCache::Get().Start();
}

CPreRenderAnimation::~CPreRenderAnimation() {
  if (GetHwnd()) ::KillTimer(GetHwnd(), kAnimationTimerId);
  DestroyMessageWindow();
}

LRESULT CPreRenderAnimation::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ANIMATION_FRAMES_READY) {
    OnFramesReady(wParam);
    return 0;
  }
  if (message == WM_TIMER && wParam == kAnimationTimerId) {
    OnTimer();
    return 0;
  }
  return FCMessageWindow::HandleMessage(message, wParam, lParam);
}

void CPreRenderAnimation::StartTimer(int interval) {
  timer_interval_ = ::SetTimer(GetHwnd(), kAnimationTimerId, static_cast<UINT>(interval), nullptr) ? interval : 0;
}

void CPreRenderAnimation::OnFramesReady(WPARAM wParam) {
  const auto task = tasks_.Find<CAsyncLoadAnimation>(wParam);
  if (!task) return;
  tasks_.Forget(wParam);
  if (task->Frames().empty()) return;
  frames_ = std::move(task->Frames());
  const int delay = frames_.front().second;
  // Very short first delays run at the timer's finest step.
  StartTimer(delay <= 30 ? 10 : delay);
}

void CPreRenderAnimation::OnTimer() {
  if (frames_.size() < 2) return;
  const int previousDelay = frames_.front().second;
  Frame front = std::move(frames_.front());
  frames_.pop_front();
  frames_.push_back(std::move(front));
  owner_.Redraw();
  if (frames_.front().second != previousDelay) StartTimer(frames_.front().second);
}

HBITMAP CPreRenderAnimation::GetFrame(int index) const {
  (void)index;
  if (frames_.empty() || !frames_.front().first) return nullptr;
  return frames_.front().first->SectionHandle();
}

void CPreRenderAnimation::Draw(HDC dc, int left, int top, int right, int bottom) {
  if (frames_.empty() || !frames_.front().first) return;
  frames_.front().first->Draw(dc, left, top, right, bottom);
}
