// The reduce-colours trial on its worker: what it reports, what it leaves, and cancelling it.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "core/progress.h"
#include "core/string_table.h"
#include "core/workers.h"
#include "imaging/reduce_trial.h"
#include "support/test_support.h"

namespace fw {
namespace {

class RecordingHook : public ProgressHook {
 public:
  void showWindow() override {}
  void setRange(int) override {}
  void setPosition(int) override {}
  void setText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.push_back(text);
  }
  void pumpEvents() override { pumped_ = true; }
  void closeWindow() override {}
  std::vector<std::string> texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }
  bool pumped_ = false;

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

AnimPtr Colourful(int frames) {
  AnimPtr doc = test::NewDocument(48, 32, 256);
  std::vector<Rgb> ramp(256);
  for (int i = 0; i < 256; ++i)
    ramp[static_cast<size_t>(i)] = Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)};
  doc->globalPalette->writeEntries(0, 256, ramp.data());
  for (int i = 0; i < frames; ++i) test::AddFrame(*doc, 0, 0, 48, 32, [i](int x, int y) { return (x * 5 + y * 3 + i) % 256; });
  return doc;
}

TEST(ReduceTrial, ReducesACopyAndReportsItsTexts) {
  test::ScopedMessages messages;
  AnimPtr doc = Colourful(3);
  AnimPtr before = CopyAnimation(*doc, nullptr);
  RecordingHook hook;
  ReduceTrial trial(*doc, &hook);
  std::atomic<int> finished{0};
  ColourLocks locks;
  trial.start({16, false}, locks, [&] { ++finished; });
  trial.wait();
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(trial.failed());
  EXPECT_GT(trial.size(), 0);
  AnimPtr copy = trial.takeCopy();
  ASSERT_TRUE(copy);
  EXPECT_LE(copy->globalPalette->count(), 16);
  // The copy's texts, then the size's; the worker never runs the interface's events.
  const std::vector<std::string> texts = hook.texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts.front(), MessageText(40114));
  EXPECT_EQ(texts.back(), MessageText(40113));
  EXPECT_FALSE(hook.pumped_);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_TRUE(messages.ids().empty());
}

TEST(ReduceTrial, CancelledTrialReportsNothingAndKeepsNothing) {
  AnimPtr doc = Colourful(60);
  ReduceTrial trial(*doc);
  std::atomic<int> finished{0};
  ColourLocks locks;
  trial.start({8, true}, locks, [&] { ++finished; });
  // A second start replaces the first: only one result ever arrives.
  trial.start({32, true}, locks, [&] { ++finished; });
  trial.cancel();
  EXPECT_FALSE(trial.running());
  EXPECT_FALSE(trial.takeCopy());
  EXPECT_EQ(IsCancelled(worker::kReduceTrial), 0u);
  trial.start({32, false}, locks, [&] { ++finished; });
  trial.wait();
  EXPECT_LE(finished, 2);
  EXPECT_TRUE(trial.takeCopy());
  EXPECT_TRUE(ProgressContinues());
}

}  // namespace
}  // namespace fw
