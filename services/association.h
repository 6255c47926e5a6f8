#pragma once
// Registration as the default viewer, through the association library.
namespace services {

class IAssociation {
 public:
  virtual ~IAssociation() = default;
  // Asked once on a thread of its own at start-up.
  [[nodiscard]] virtual bool IsDefaultViewer() = 0;
  virtual void SetDefaultViewerEnabled(bool enabled) = 0;
};

}  // namespace services
