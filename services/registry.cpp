#include "services/registry.h"

#include <map>

namespace services {
namespace {

std::map<std::type_index, std::shared_ptr<void>>& Slots() {
  static auto* slots = new std::map<std::type_index, std::shared_ptr<void>>();
  return *slots;
}

}  // namespace

std::shared_ptr<void>& detail::SlotFor(const std::type_index& type) { return Slots()[type]; }

void UninstallAll() {
  // Taken out first: a service destroyed here may look up another one.
  auto slots = std::move(Slots());
  Slots().clear();
  slots.clear();
}

}  // namespace services
