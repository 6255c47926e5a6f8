#pragma once
// The UI event bus: the image view and its drawing announce that the shown picture, the folder
// list or the zoom changed; the toolbar, the menu button and the information panel listen.
// Everything here runs on the user-interface thread, synchronously.

// Base of all UI events. Each concrete class draws its type number from one process-wide
// counter (starting at 1) the first time it is asked; the number stays for the life of the process.
class CUIEventParam {
 public:
  virtual ~CUIEventParam() = default;
  virtual int GetType() const = 0;

 protected:
  CUIEventParam() = default;
  CUIEventParam(const CUIEventParam&) = default;
  CUIEventParam& operator=(const CUIEventParam&) = default;
  // The next type number of the process.
  static int NextTypeNumber();
};

// The view shows another picture.
class CUIEventViewImageChanged : public CUIEventParam {
 public:
  static int Type();
  int GetType() const override { return Type(); }
};

// The folder list finished collecting the pictures of the current folder.
class CUIEventFolderImageCollected : public CUIEventParam {
 public:
  static int Type();
  int GetType() const override { return Type(); }
};

// The view drawing changed the zoom; carries the new zoom and the ratio that fits the window.
class CUIEventViewZoomChanged : public CUIEventParam {
 public:
  CUIEventViewZoomChanged(float zoom, float fitRatio) : zoom_(zoom), fit_ratio_(fitRatio) {}
  static int Type();
  int GetType() const override { return Type(); }
  float Zoom() const { return zoom_; }
  float FitRatio() const { return fit_ratio_; }

 private:
  float zoom_;
  float fit_ratio_;
};

// A listener. Constructing one registers it with the bus; destroying it unregisters it, which
// is safe at any time, also from inside a delivery.
class CUIEventObserver {
 public:
  CUIEventObserver();
  virtual ~CUIEventObserver();
  CUIEventObserver(const CUIEventObserver&) = delete;
  CUIEventObserver& operator=(const CUIEventObserver&) = delete;

  virtual void OnUIEvent(const CUIEventParam& event) = 0;
};

// Hands the event to every registered observer in the order they registered. An observer
// destroyed during the delivery is not called any more; one created during it gets the next event.
void BroadcastUIEvent(const CUIEventParam& event);

// The number of registered observers (0 while the registry does not exist).
int RegisteredUIEventObserverCount();
