// Background workers: start, cancel and wait under load, and what the two measurements leave.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/workers.h"
#include "support/test_support.h"

namespace fw {
namespace {

struct RecordingDisplay : SizeDisplay {
  std::atomic<int> calculating{0};
  std::atomic<int> shown{0};
  std::atomic<int32_t> last{-2};
  void showCalculating() override { ++calculating; }
  void showSize(int32_t bytes) override {
    last = bytes;
    ++shown;
  }
};

std::atomic<int> g_measures{0};

int32_t SlowMeasure(AnimHeader* doc) {
  ++g_measures;
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (doc->encodedSize == -1) doc->encodedSize = doc->frameCount * 100;
  return doc->encodedSize;
}

}  // namespace

TEST(Workers, CancelAndWaitOnIdleKindReturnsAtOnce) {
  ASSERT_EQ(IsRunning(~0u), 0u);
  CancelAndWait(worker::kSize | worker::kUsage);
  EXPECT_EQ(IsCancelled(~0u), 0u);
  WaitForWorkers(worker::kUsage);
}

TEST(Workers, SecondRefreshCancelsTheFirstAndCompletes) {
  AnimPtr doc = test::NewDocument(4, 4, 4);
  test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 0; });
  SetEncodedSizeMeasure(SlowMeasure);
  RecordingDisplay display;
  RefreshSize(doc.get(), true, &display);
  RefreshSize(doc.get(), true, &display);
  WaitForWorkers(worker::kSize);
  EXPECT_EQ(display.calculating, 2);
  EXPECT_EQ(display.last, 100);
  EXPECT_EQ(IsCancelled(worker::kSize), 0u);  // the cancelled worker acknowledged
  // A valid cached size is reported again without invalidation.
  doc->encodedSize = 1234;
  RefreshSize(doc.get(), false, &display);
  WaitForWorkers(worker::kSize);
  EXPECT_EQ(display.last, 1234);
  SetEncodedSizeMeasure(nullptr);
}

TEST(Workers, ManyRestartsNeverDeadlock) {
  AnimPtr doc = test::NewDocument(64, 64, 256);
  for (int i = 0; i < 20; ++i) test::AddFrame(*doc, 0, 0, 64, 64, [i](int x, int y) { return (x + y + i) & 255; });
  SetEncodedSizeMeasure(SlowMeasure);
  RecordingDisplay display;
  for (int i = 0; i < 200; ++i) {
    RefreshSize(doc.get(), true, &display);
    RefreshColourUsage(doc.get());
    if (i % 7 == 0) CancelAndWait(worker::kDocument);
  }
  CancelAndWait(worker::kDocument);
  EXPECT_EQ(IsRunning(~0u), 0u);
  EXPECT_EQ(IsCancelled(~0u), 0u);
  SetEncodedSizeMeasure(nullptr);
}

TEST(Workers, UsageSkipsLocalPalettesAndPadding) {
  AnimPtr doc = test::NewDocument(8, 8, 4);
  test::AddFrame(*doc, 0, 0, 3, 3, [](int, int) { return 2; });  // odd width: padding must not count
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 1; });
  const Rgb two[2] = {};
  SetLocalPalette(local, Palette::Create(two, 2));
  doc->colourUsage.fill(77);
  RefreshColourUsage(doc.get());
  WaitForWorkers(worker::kUsage);
  EXPECT_EQ(doc->colourUsage[2], 9);
  EXPECT_EQ(doc->colourUsage[1], 0);
  EXPECT_EQ(doc->colourUsage[0], 0);

  SetLocalPalette(*FirstImage(doc.get()), Palette::Create(two, 2));
  RefreshColourUsage(doc.get());
  WaitForWorkers(worker::kUsage);
  for (int32_t n : doc->colourUsage) EXPECT_EQ(n, 0);
}

}  // namespace fw
