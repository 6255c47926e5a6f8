#include "tools/imgprobe/probe_render.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "base/message_window.h"
#include "image/current_image.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "tools/imgprobe/probe_pump.h"
#include "view/pre_render.h"
#include "view/system_cache.h"
#include "view/view_renderer.h"

namespace {

constexpr DWORD kFrameLimitMs = 60000;

// Stands in for the main image view window.
class ViewStandIn : public FCMessageWindow {
 public:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_VIEW_FRAME_ARRIVED) {
      ++frames_arrived;
      return 0;
    }
    return FCMessageWindow::HandleMessage(message, wParam, lParam);
  }
  int frames_arrived = 0;
};

bool QueueIdle() {
  CAsyncTaskQueue& queue = CCurrentImage::Get().Queue();
  return queue.GetRunningCount() == 0 && queue.GetPendingCount() == 0;
}

// The fit frame is final (a still picture) or the animation has its frame list.
bool FitFrameFinal(const CViewRenderer& renderer) {
  if (auto* still = dynamic_cast<CPreRenderKeyFrame*>(renderer.PreRender())) return still->IsFitFrameReady();
  return renderer.PreRender() != nullptr && QueueIdle();
}

// Zoomed beyond the fit: every key frame that will come has come.
bool KeyFramesDone(const CViewRenderer& renderer) {
  auto* still = dynamic_cast<CPreRenderKeyFrame*>(renderer.PreRender());
  if (!still || renderer.CurrentZoom() <= renderer.Limits().fit_ratio) return true;
  return still->HasZoomContext() && QueueIdle();
}

const char* FrameSourceName(const CViewRenderer& renderer) {
  auto* still = dynamic_cast<CPreRenderKeyFrame*>(renderer.PreRender());
  if (!still) return "immediate";  // an animation shows its first frame at once
  switch (still->GetFrameSource()) {
    case CPreRenderKeyFrame::FrameSource::kImmediate: return "immediate";
    case CPreRenderKeyFrame::FrameSource::kCache: return "cache";
    case CPreRenderKeyFrame::FrameSource::kTask: return "task";
    default: return "none";
  }
}

bool ParseInts(const std::wstring& text, int* values, int count) {
  const wchar_t* cursor = text.c_str();
  for (int i = 0; i < count; ++i) {
    if (*cursor != L':') return false;
    ++cursor;
    wchar_t* end = nullptr;
    const long value = std::wcstol(cursor, &end, 10);
    if (end == cursor || value < -1000000 || value > 1000000) return false;
    values[i] = static_cast<int>(value);
    cursor = end;
  }
  return *cursor == L'\0';
}

// Applies one operation; false for a word that is not one.
bool ApplyOperation(CViewRenderer& renderer, const std::wstring& op) {
  int v[3] = {};
  if (op.rfind(L"zoom", 0) == 0 && ParseInts(op.substr(4), v, 3)) {
    renderer.ZoomBy(v[0], v[1], v[2]);
  } else if (op.rfind(L"toggle", 0) == 0 && ParseInts(op.substr(6), v, 2)) {
    renderer.ToggleZoom(v[0], v[1]);
  } else if (op == L"actual") {
    renderer.ToggleActualSize();
  } else if (op.rfind(L"pan", 0) == 0 && ParseInts(op.substr(3), v, 2)) {
    renderer.Pan(v[0], v[1]);
  } else if (op.rfind(L"size", 0) == 0 && ParseInts(op.substr(4), v, 2) && v[0] > 0 && v[1] > 0 &&
             v[0] <= 16384 && v[1] <= 16384) {
    renderer.SetViewSize(v[0], v[1]);
  } else {
    return false;
  }
  return true;
}

bool WriteBuffer(const CViewRenderer& renderer, const std::wstring& out) {
  const view_render::CBufferedView& buffer = renderer.Buffer();
  FCObjImage image;
  if (!buffer.IsValid() || !image.Create(buffer.Width(), buffer.Height(), 24)) return false;
  HDC dc = ::CreateCompatibleDC(buffer.GetSafeHdc());
  const HGDIOBJ old = ::SelectObject(dc, image.SectionHandle());
  ::BitBlt(dc, 0, 0, buffer.Width(), buffer.Height(), buffer.GetSafeHdc(), 0, 0, SRCCOPY);
  ::GdiFlush();
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return WriteImagePng(image, out);
}

}  // namespace

int RunRenderProbe(const std::vector<std::wstring>& args) {
  if (args.size() < 4) return 2;
  const int width = _wtoi(args[1].c_str());
  const int height = _wtoi(args[2].c_str());
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return 2;
  wchar_t full[MAX_PATH * 4] = {};
  if (::GetFullPathNameW(args[0].c_str(), ARRAYSIZE(full), full, nullptr) == 0) return 2;
  CCurrentImage& current = CCurrentImage::Get();
  current.Open(full);
  if (!current.Loader() || !current.Loader()->FrameSource()) {
    std::puts("error=cannot open the picture");
    return 1;
  }
  ViewStandIn view;
  if (!view.CreateMessageWindow(nullptr)) return 1;
  int code = 0;
  {
    bool loading = false;
    CViewRenderer renderer(width, height, view.GetHwnd(), &loading);
    if (!probe::PumpUntil([&] { return FitFrameFinal(renderer); }, kFrameLimitMs)) {
      std::puts("error=the fit frame did not arrive");
      code = 1;
    }
    for (size_t i = 4; code == 0 && i < args.size(); ++i) {
      if (!ApplyOperation(renderer, args[i])) {
        std::printf("error=unknown operation %ls\n", args[i].c_str());
        code = 2;
      } else if (!probe::PumpUntil([&] { return FitFrameFinal(renderer); }, kFrameLimitMs)) {
        std::puts("error=the fit frame did not arrive");
        code = 1;
      }
    }
    if (code == 0) {
      renderer.Render();  // the zoomed draw starts the key frames
      if (!probe::PumpUntil([&] { return KeyFramesDone(renderer); }, kFrameLimitMs)) {
        std::puts("error=the key frames did not arrive");
        code = 1;
      }
      renderer.Render();
    }
    if (code == 0 && !WriteBuffer(renderer, args[3])) {
      std::puts("error=cannot write the picture");
      code = 1;
    }
    const RECT& scroll = renderer.Geometry().ScrollRect();
    std::printf("zoom=%.4f\nfit=%.4f\ndrawn_width=%d\ndrawn_height=%d\nscroll=%ld,%ld,%ld,%ld\nframe_source=%s\n",
                renderer.CurrentZoom(), renderer.Limits().fit_ratio, renderer.Geometry().DrawnWidth(),
                renderer.Geometry().DrawnHeight(), scroll.left, scroll.top, scroll.right, scroll.bottom,
                FrameSourceName(renderer));
  }
  current.Queue().DrainRunning();
  CSystemCache::DestroyInstance();
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory))) {
    std::printf("peak_working_set=%llu\n", static_cast<unsigned long long>(memory.PeakWorkingSetSize));
  }
  return code;
}
