#pragma once
// The information panel (file facts, camera data, the map link), owned by the toolbar while open.
#include <windows.h>

#include <memory>

namespace services {

class IInfoPanel {
 public:
  // Destroying the object closes the panel.
  virtual ~IInfoPanel() = default;
  // Places the panel against the toolbar button (screen coordinates).
  virtual void Place(const RECT& buttonScreenRect) = 0;
};

class IInfoPanelFactory {
 public:
  virtual ~IInfoPanelFactory() = default;
  virtual std::unique_ptr<IInfoPanel> CreateInfoPanel(HWND mainWindow) = 0;
};

}  // namespace services
