#pragma once
// The services that the main window and the image view use but that other parts of the product
// provide (dialogs, menus, panels, the message channel, association, statistics). Each service is
// a small interface in a file of its own; whoever provides it installs an implementation here at
// start-up. A service that is not installed is absent: Find answers null, and the caller acts as
// if the user had cancelled (a dialog) or the feature were missing (a sibling program).
// User-interface thread only.
#include <memory>
#include <typeindex>
#include <typeinfo>

namespace services {

namespace detail {
std::shared_ptr<void>& SlotFor(const std::type_index& type);
}  // namespace detail

template <typename Interface>
Interface* Find() noexcept {
  return static_cast<Interface*>(detail::SlotFor(typeid(Interface)).get());
}

// Replaces (and destroys) an installed implementation; null uninstalls.
template <typename Interface>
void Install(std::unique_ptr<Interface> implementation) {
  detail::SlotFor(typeid(Interface)) = std::shared_ptr<Interface>(std::move(implementation));
}

// Destroys every installed service (the application does this at exit, in its fixed order).
void UninstallAll();

}  // namespace services
