#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "view/ui_event.h"

namespace {

// Records what it hears into a shared log and runs an optional action on each event.
class RecordingObserver : public CUIEventObserver {
 public:
  RecordingObserver(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
  void OnUIEvent(const CUIEventParam& event) override {
    log_->push_back(name_ + ":" + std::to_string(event.GetType()));
    if (action) action(event);
  }
  std::function<void(const CUIEventParam&)> action;

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

std::string Entry(const std::string& name, const CUIEventParam& event) {
  return name + ":" + std::to_string(event.GetType());
}

TEST(UIEventTypes, EachClassHasItsOwnStableNumber) {
  const CUIEventViewImageChanged imageChanged;
  const CUIEventFolderImageCollected collected;
  const CUIEventViewZoomChanged zoomChanged(2.5f, 0.25f);
  const std::set<int> numbers = {imageChanged.GetType(), collected.GetType(), zoomChanged.GetType()};
  EXPECT_EQ(numbers.size(), 3u);
  for (int n : numbers) EXPECT_GE(n, 1);
  // Asking again, through another object or through the class, gives the same number.
  EXPECT_EQ(CUIEventViewImageChanged().GetType(), imageChanged.GetType());
  EXPECT_EQ(CUIEventViewImageChanged::Type(), imageChanged.GetType());
  EXPECT_EQ(CUIEventFolderImageCollected::Type(), collected.GetType());
  EXPECT_EQ(CUIEventViewZoomChanged(1.0f, 1.0f).GetType(), zoomChanged.GetType());
  // Through the base, as observers see it.
  const CUIEventParam& base = zoomChanged;
  EXPECT_EQ(base.GetType(), CUIEventViewZoomChanged::Type());
  EXPECT_FLOAT_EQ(zoomChanged.Zoom(), 2.5f);
  EXPECT_FLOAT_EQ(zoomChanged.FitRatio(), 0.25f);
}

TEST(UIEventBus, DeliversToEveryObserverInRegistrationOrder) {
  std::vector<std::string> log;
  {
    // Built from the last slot to the first, so registration order is the reverse of address order.
    std::optional<RecordingObserver> slots[3];
    slots[2].emplace(&log, "c");
    slots[0].emplace(&log, "a");
    slots[1].emplace(&log, "b");
    EXPECT_EQ(RegisteredUIEventObserverCount(), 3);

    const CUIEventViewImageChanged imageChanged;
    const CUIEventViewZoomChanged zoomChanged(1.5f, 0.5f);
    BroadcastUIEvent(imageChanged);
    BroadcastUIEvent(zoomChanged);
    EXPECT_EQ(log, (std::vector<std::string>{Entry("c", imageChanged), Entry("a", imageChanged),
                                              Entry("b", imageChanged), Entry("c", zoomChanged),
                                              Entry("a", zoomChanged), Entry("b", zoomChanged)}));

    // A destroyed observer hears nothing more; the others keep their order.
    slots[0].reset();
    log.clear();
    BroadcastUIEvent(imageChanged);
    EXPECT_EQ(log, (std::vector<std::string>{Entry("c", imageChanged), Entry("b", imageChanged)}));
  }
  // The registry is gone with the last observer, and broadcasting to nobody is harmless.
  EXPECT_EQ(RegisteredUIEventObserverCount(), 0);
  log.clear();
  BroadcastUIEvent(CUIEventFolderImageCollected());
  EXPECT_TRUE(log.empty());
}

TEST(UIEventBus, ObserversMayComeAndGoDuringDelivery) {
  std::vector<std::string> log;
  auto first = std::make_unique<RecordingObserver>(&log, "first");
  auto second = std::make_unique<RecordingObserver>(&log, "second");
  auto third = std::make_unique<RecordingObserver>(&log, "third");
  std::unique_ptr<RecordingObserver> latecomer;

  // The first observer destroys itself and the third one and creates a new one while handling.
  // Destroying itself comes last, as in any handler that deletes its own object.
  first->action = [&](const CUIEventParam&) {
    third.reset();
    latecomer = std::make_unique<RecordingObserver>(&log, "late");
    first.reset();
  };
  const CUIEventFolderImageCollected collected;
  BroadcastUIEvent(collected);
  EXPECT_EQ(log, (std::vector<std::string>{Entry("first", collected), Entry("second", collected)}));
  EXPECT_EQ(RegisteredUIEventObserverCount(), 2);

  // The newcomer hears the next event, after the observers registered before it.
  log.clear();
  BroadcastUIEvent(collected);
  EXPECT_EQ(log, (std::vector<std::string>{Entry("second", collected), Entry("late", collected)}));

  // The last observers leaving from inside a delivery, registry and all.
  second->action = [&](const CUIEventParam&) {
    latecomer.reset();
    second.reset();
  };
  log.clear();
  BroadcastUIEvent(collected);
  EXPECT_EQ(log, (std::vector<std::string>{Entry("second", collected)}));
  EXPECT_EQ(RegisteredUIEventObserverCount(), 0);
}

}  // namespace
