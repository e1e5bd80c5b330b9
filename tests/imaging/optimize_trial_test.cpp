// The optimize dialog's trial machinery: a trial on a copy, cancelled and restarted, its size,
// and accepting it with an undo step.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/progress.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "imaging/optimize_trial.h"
#include "samples/sample_drawings.h"
#include "support/test_support.h"

namespace fw {
namespace {

// Holds the first trial at its first progress step until that trial is cancelled, so a test
// can cancel a trial that is certainly in the middle of its work.
class HoldFirstTrial : public ProgressHook {
 public:
  std::atomic<bool> holding{false};
  std::atomic<int> positions{0};

  void showWindow() override {}
  void setRange(int) override {}
  void setPosition(int) override {
    if (positions++ != 0) return;
    holding = true;
    while (!IsCancelled(worker::kOptimizeTrial)) std::this_thread::yield();
  }
  void setText(const std::string&) override {}
  void pumpEvents() override {}
  void closeWindow() override {}
};

AnimPtr Optimized(const AnimHeader& doc, uint32_t options) {
  AnimPtr copy = CopyAnimation(doc, nullptr);
  Optimize(*copy, options, nullptr);
  return copy;
}

class OptimizeTrialTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override { ClearUndo(); }
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(OptimizeTrialTest, TrialOptimizesACopyAndAcceptingItCanBeUndone) {
  AnimPtr doc = samples::ScreenCapture(160, 120, 6);
  AnimPtr original = CopyAnimation(*doc, nullptr);
  AnimPtr expected = Optimized(*doc, optimize_bit::kDefault);

  OptimizeTrial trial(*doc);
  std::atomic<int32_t> reported{-2};
  trial.start(optimize_bit::kDefault, [&](int32_t size) { reported = size; });
  trial.wait();
  EXPECT_EQ(test::DocumentDifference(*doc, *original), "");  // the document is only read
  ASSERT_NE(trial.copy(), nullptr);
  EXPECT_EQ(test::DocumentDifference(*trial.copy(), *expected), "");
  EXPECT_EQ(trial.size(), EncodedSize(expected.get(), true, nullptr));
  EXPECT_EQ(reported.load(), trial.size());

  ASSERT_TRUE(trial.accept());
  EXPECT_EQ(test::DocumentDifference(*doc, *expected), "");
  EXPECT_EQ(CurrentUndoKind(), undo_kind::kOptimize);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *original), "");

  // A trial that encodes to the document's own size changes nothing when accepted.
  AnimPtr done = Optimized(*original, optimize_bit::kDefault);
  OptimizeTrial again(*done);
  again.start(optimize_bit::kDefault);
  EXPECT_FALSE(again.accept());
  EXPECT_EQ(UndoCount(), 1);
}

TEST_F(OptimizeTrialTest, RestartingOrCancellingDropsTheRunningTrialWhichReportsNothing) {
  AnimPtr doc = samples::VideoClip(160, 120, 12);
  HoldFirstTrial hook;
  OptimizeTrial trial(*doc, &hook);
  std::atomic<int> firstReports{0}, secondReports{0};
  trial.start(optimize_bit::kDefault, [&](int32_t) { ++firstReports; });
  while (!hook.holding) std::this_thread::yield();
  EXPECT_TRUE(trial.running());
  EXPECT_EQ(trial.size(), -1);

  trial.start(optimize_bit::kCrop, [&](int32_t) { ++secondReports; });  // cancels and waits first
  trial.wait();
  EXPECT_EQ(firstReports.load(), 0);
  EXPECT_EQ(secondReports.load(), 1);
  EXPECT_EQ(IsCancelled(worker::kOptimizeTrial), 0u);
  EXPECT_EQ(trial.size(), EncodedSize(Optimized(*doc, optimize_bit::kCrop).get(), true, nullptr));

  hook.positions = 0;
  hook.holding = false;
  trial.start(optimize_bit::kDefault);
  while (!hook.holding) std::this_thread::yield();
  trial.cancel();
  EXPECT_FALSE(trial.running());
  EXPECT_EQ(trial.copy(), nullptr);
  EXPECT_FALSE(trial.accept());
  EXPECT_EQ(UndoCount(), 0);
}

TEST_F(OptimizeTrialTest, TheCopyTellsWhetherFrameRemovalCanMatter) {
  AnimPtr doc = test::NewDocument(8, 6, 4);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 8, 6, [](int, int) { return 1; });
  OptimizeTrial trial(*doc);
  trial.start(optimize_bit::kCrop);
  trial.wait();
  EXPECT_TRUE(trial.copyHasSinglePixelImage());
  EXPECT_EQ(trial.copyFrameCount(), 3);
  trial.start(optimize_bit::kCrop | optimize_bit::kRemoveFrames);
  trial.wait();
  EXPECT_FALSE(trial.copyHasSinglePixelImage());
  EXPECT_EQ(trial.copyFrameCount(), 1);
}

TEST_F(OptimizeTrialTest, OptimizingDirectlyRecordsAStepOnlyForAChange) {
  AnimPtr doc = samples::Sprite(40, 40, 8);
  AnimPtr original = CopyAnimation(*doc, nullptr);
  ASSERT_TRUE(OptimizeWithUndo(*doc, optimize_bit::kDefault, nullptr));
  EXPECT_FALSE(OptimizeWithUndo(*doc, optimize_bit::kDefault, nullptr));
  EXPECT_EQ(UndoCount(), 1);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *original), "");
}

}  // namespace fw
