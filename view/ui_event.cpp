#include "view/ui_event.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// One registration: the serial tells a destroyed observer from a new one that happens to be
// created at the same address while a delivery is still running.
struct Registration {
  CUIEventObserver* observer;
  uint64_t serial;
};

// Exists only while at least one observer is registered.
std::unique_ptr<std::vector<Registration>>& Registry() {
  static std::unique_ptr<std::vector<Registration>> registry;
  return registry;
}

uint64_t g_next_serial = 1;

bool IsStillRegistered(const Registration& entry) {
  const auto& registry = Registry();
  if (!registry) return false;
  return std::any_of(registry->begin(), registry->end(), [&](const Registration& r) {
    return r.observer == entry.observer && r.serial == entry.serial;
  });
}

}  // namespace

int CUIEventParam::NextTypeNumber() {
  static std::atomic<int> counter{0};
  return ++counter;
}

int CUIEventViewImageChanged::Type() {
  static const int type = NextTypeNumber();
  return type;
}

int CUIEventFolderImageCollected::Type() {
  static const int type = NextTypeNumber();
  return type;
}

int CUIEventViewZoomChanged::Type() {
  static const int type = NextTypeNumber();
  return type;
}

CUIEventObserver::CUIEventObserver() {
  auto& registry = Registry();
  if (!registry) registry = std::make_unique<std::vector<Registration>>();
  registry->push_back({this, g_next_serial++});
}

CUIEventObserver::~CUIEventObserver() {
  auto& registry = Registry();
  if (!registry) return;
  registry->erase(std::remove_if(registry->begin(), registry->end(),
                                 [this](const Registration& r) { return r.observer == this; }),
                  registry->end());
  if (registry->empty()) registry.reset();
}

void BroadcastUIEvent(const CUIEventParam& event) {
  if (!Registry()) return;
  // A copy, because observers may come and go while the event is being handled.
  const std::vector<Registration> snapshot = *Registry();
  for (const Registration& entry : snapshot) {
    if (IsStillRegistered(entry)) entry.observer->OnUIEvent(event);
  }
}

int RegisteredUIEventObserverCount() {
  const auto& registry = Registry();
  return registry ? static_cast<int>(registry->size()) : 0;
}
