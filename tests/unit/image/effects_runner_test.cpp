// The runner: order of calls, progress per row, stopping, refusal and destruction of the effect.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "effects_reference.h"
#include "image/effect/effects.h"

namespace {

namespace ref = effects_reference;

// Logs every call and counts the pixels it is handed, row by row.
class ProbeEffect : public FCImageEffect {
 public:
  ProbeEffect(std::vector<std::string>* log, int kind, bool* destroyed)
      : log_(log), kind_(kind), destroyed_(destroyed) {}
  ~ProbeEffect() override { *destroyed_ = true; }
  bool Accepts(const FCObjImage& image) const override {
    log_->push_back("accepts");
    return FCImageEffect::Accepts(image);
  }
  int ProcessKind() const override { return kind_; }
  void Prepare(FCObjImage&) override { log_->push_back("prepare"); }
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override {
    EXPECT_EQ(pixel, image.PixelPointer(x, y));
    if (x == 0) log_->push_back("row " + std::to_string(y));
  }
  void ProcessImage(FCObjImage&, FCProgressObserver*) override { log_->push_back("image"); }

 private:
  std::vector<std::string>* log_;
  int kind_;
  bool* destroyed_;
};

// Answers false at the percents listed and logs every report.
class ScriptedObserver : public FCProgressObserver {
 public:
  ScriptedObserver(std::vector<std::string>* log, std::vector<int> refuse)
      : log_(log), refuse_(std::move(refuse)) {}
  bool ReportProgress(int percent) override {
    log_->push_back("report " + std::to_string(percent));
    for (int r : refuse_)
      if (r == percent) return false;
    return true;
  }

 private:
  std::vector<std::string>* log_;
  std::vector<int> refuse_;
};

using Log = std::vector<std::string>;

Log RunProbe(int kind, int bits, int height, std::vector<int> refuse, bool withObserver = true) {
  Log log;
  bool destroyed = false;
  FCObjImage image;
  EXPECT_TRUE(image.Create(2, height, bits));
  ScriptedObserver observer(&log, std::move(refuse));
  ExecuteEffect(image, std::make_unique<ProbeEffect>(&log, kind, &destroyed),
                withObserver ? &observer : nullptr);
  EXPECT_TRUE(destroyed);
  return log;
}

}  // namespace

TEST(EffectRunner, WalksRowsAndReportsIntegerPercents) {
  EXPECT_EQ(RunProbe(1, 24, 3, {}), (Log{"accepts", "prepare", "report 0", "row 0", "report 33", "row 1",
                                    "report 66", "row 2", "report 100"}));
  EXPECT_EQ(RunProbe(1, 32, 2, {}, false), (Log{"accepts", "prepare", "row 0", "row 1"}));
  EXPECT_EQ(RunProbe(0, 32, 2, {}), (Log{"accepts", "prepare", "report 0", "image"}));
  EXPECT_EQ(RunProbe(5, 32, 2, {}), (Log{"accepts", "prepare", "report 0"}));
}

TEST(EffectRunner, RefusalAtStartStillDoesTheFirstRow) {
  EXPECT_EQ(RunProbe(1, 24, 4, {0}), (Log{"accepts", "prepare", "report 0", "row 0", "report 25"}));
  EXPECT_EQ(RunProbe(1, 24, 4, {0, 25}), (Log{"accepts", "prepare", "report 0", "row 0", "report 25"}));
  EXPECT_EQ(RunProbe(1, 24, 4, {50}), (Log{"accepts", "prepare", "report 0", "row 0", "report 25",
                                      "row 1", "report 50"}));
}

TEST(EffectRunner, RefusedImagesAreLeftAloneAndTheEffectIsStillDestroyed) {
  EXPECT_EQ(RunProbe(1, 8, 2, {}), (Log{"accepts"}));

  FCObjImage palette;
  ASSERT_TRUE(palette.Create(4, 4, 8));
  FCObjImage rgb;
  ASSERT_TRUE(rgb.Create(4, 4, 24));
  FCObjImage rgba;
  ASSERT_TRUE(rgba.Create(4, 4, 32));
  FCObjImage empty;
  std::vector<std::unique_ptr<FCImageEffect>> effects;
  effects.push_back(std::make_unique<FCEffectMirror>());
  effects.push_back(std::make_unique<FCEffectBrightnessContrast>(20, 0));
  effects.push_back(std::make_unique<FCEffectHueSaturation>(FCEffectHueSaturation::Tables{},
                                                            FCEffectHueSaturation::Tables{}));
  effects.push_back(std::make_unique<FCEffectSharp>());
  effects.push_back(std::make_unique<FCEffectCopyToClipboard>(L""));
  for (const auto& effect : effects) {
    EXPECT_FALSE(effect->Accepts(palette));
    EXPECT_FALSE(effect->Accepts(empty));
    EXPECT_TRUE(effect->Accepts(rgb));
    EXPECT_TRUE(effect->Accepts(rgba));
  }
  main_view::CEffectFillCurrentAlpha fill(50);
  EXPECT_FALSE(fill.Accepts(palette));
  EXPECT_FALSE(fill.Accepts(rgb));
  EXPECT_TRUE(fill.Accepts(rgba));
  // A kernel that does not match its size, or a zero divisor, is refused rather than run.
  EXPECT_FALSE(FCEffectConvolute({1, 2, 3}, 3, 1, 0).Accepts(rgb));
  EXPECT_FALSE(FCEffectConvolute({1}, 1, 0, 0).Accepts(rgb));
}

TEST(EffectRunner, FastEffectsHonourTheStopLikeThePixelWalk) {
  const auto check = [](std::unique_ptr<FCImageEffect> effect, void (*reference)(FCObjImage&)) {
    const FCObjImage source = ref::RandomImage(40, -5, 32, 77);
    FCObjImage actual = source;
    Log log;
    ScriptedObserver observer(&log, {0});
    ExecuteEffect(actual, std::move(effect), &observer);
    EXPECT_EQ(log, (Log{"report 0", "report 20"}));
    EXPECT_TRUE(observer.IsStopped());
    // Row 0 as the formula makes it, rows 1..4 untouched.
    FCObjImage expected = source;
    reference(expected);
    EXPECT_TRUE(std::equal(actual.RowPointer(0), actual.RowPointer(0) + 160, expected.RowPointer(0)));
    EXPECT_TRUE(std::equal(actual.RowPointer(1), actual.RowPointer(1) + 4 * 160, source.RowPointer(1)));
  };
  check(std::make_unique<FCEffectMirror>(), ref::Mirror);
  check(std::make_unique<FCEffectBrightnessContrast>(20, 0),
        [](FCObjImage& i) { ref::BrightnessContrast(i, 20, 0); });
  check(std::make_unique<FCEffectSharp>(),
        [](FCObjImage& i) { ref::Convolute(i, {-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0); });
  check(std::make_unique<main_view::CEffectFillCurrentAlpha>(60), [](FCObjImage& i) { ref::FillAlpha(i, 60); });
}

// A background task's alive flag cleared while the effect runs stops it after the current row.
TEST(EffectRunner, ProgressFollowsTheKeepGoingFlag) {
  std::atomic<LONG> alive{1};
  view_effect::CEffectProgress progress(&alive);
  EXPECT_TRUE(progress.ReportProgress(50));
  alive = 0;
  EXPECT_FALSE(progress.ReportProgress(50));
  EXPECT_FALSE(progress.IsStopped());

  class ClearAtRow : public FCImageEffect {
   public:
    ClearAtRow(std::atomic<LONG>* flag, int* rows) : flag_(flag), rows_(rows) {}
    void ProcessPixelAt(FCObjImage&, int x, int y, uint8_t*) override {
      if (x != 0) return;
      ++*rows_;
      if (y == 2) *flag_ = 0;
    }

   private:
    std::atomic<LONG>* flag_;
    int* rows_;
  };
  alive = 1;
  int rows = 0;
  FCObjImage image;
  ASSERT_TRUE(image.Create(3, 10, 32));
  view_effect::CEffectProgress observer(&alive);
  ExecuteEffect(image, std::make_unique<ClearAtRow>(&alive, &rows), &observer);
  EXPECT_EQ(rows, 3);
  EXPECT_TRUE(observer.IsStopped());
}

TEST(ViewEnhancement, ModesPickTheirEffects) {
  const FCObjImage source = ref::RandomImage(19, 6, 32, 3);
  for (int mode : {0, 4, -1}) {
    FCObjImage image = source;
    ApplyViewEnhancement(image, mode, nullptr);
    EXPECT_EQ(ref::Bytes(image), ref::Bytes(source)) << mode;
  }
  FCObjImage brighter = source;
  FCObjImage expected = source;
  ApplyViewEnhancement(brighter, 1, nullptr);
  ref::BrightnessContrast(expected, 20, 0);
  EXPECT_EQ(ref::Bytes(brighter), ref::Bytes(expected));

  // Without a mode argument the process-wide choice counts.
  AppConfig& config = AppConfig::Get();
  const int saved = config.view_enhance_mode;
  config.view_enhance_mode = 3;
  FCObjImage sharper = source;
  expected = source;
  ApplyViewEnhancement(sharper, nullptr);
  ref::Convolute(expected, {-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0);
  EXPECT_EQ(ref::Bytes(sharper), ref::Bytes(expected));
  config.view_enhance_mode = 0;
  FCObjImage unchanged = source;
  ApplyViewEnhancement(unchanged, nullptr);
  EXPECT_EQ(ref::Bytes(unchanged), ref::Bytes(source));
  config.view_enhance_mode = saved;
}
