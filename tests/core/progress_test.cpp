// Progress objects: the divisor, absent objects, and stopping a GIF read or write midway.
#include <gtest/gtest.h>

#include "core/progress.h"
#include "core/workers.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "support/test_support.h"

namespace fw {
namespace {

// Presses Escape after a given number of pumps.
struct EscapeAfter : ProgressHook {
  int pumpsLeft;
  int range = -1, position = -1, shows = 0, closes = 0;
  explicit EscapeAfter(int pumps) : pumpsLeft(pumps) {}
  void showWindow() override { ++shows; }
  void setRange(int maximum) override { range = maximum; }
  void setPosition(int p) override { position = p; }
  void setText(const std::string&) override {}
  void pumpEvents() override {
    if (--pumpsLeft == 0) RequestProgressStop();
  }
  void closeWindow() override { ++closes; }
};

AnimPtr TenFrames() {
  AnimPtr doc = test::NewDocument(16, 16, 16);
  for (int i = 0; i < 10; ++i) test::AddFrame(*doc, 0, 0, 16, 16, [i](int x, int) { return (x + i) & 15; });
  return doc;
}

}  // namespace

TEST(Progress, DivisorKeepsTheRangeSmall) {
  EXPECT_EQ(ProgressDivisor(0), 1);
  EXPECT_EQ(ProgressDivisor(1000), 1);
  EXPECT_EQ(ProgressDivisor(1001), 10);
  EXPECT_EQ(ProgressDivisor(123456), 1000);
}

TEST(Progress, AbsentObjectAlwaysContinues) {
  EXPECT_EQ(CreateProgress(nullptr, progress_flag::kOwnWindow), nullptr);
  EXPECT_TRUE(StepProgress(nullptr));
  EXPECT_TRUE(SetProgressPosition(nullptr, 5));
  StartProgress(nullptr, 10);
}

TEST(Progress, WindowAppearsLazilyAndRangeUsesTheDivisor) {
  EscapeAfter hook(-1);
  auto p = CreateProgress(&hook, progress_flag::kOwnWindow);
  EXPECT_EQ(hook.shows, 0);
  StartProgress(p.get(), 123456);
  EXPECT_EQ(hook.shows, 1);
  EXPECT_EQ(hook.range, 123);
  EXPECT_TRUE(SetProgressPosition(p.get(), 50000));
  EXPECT_EQ(hook.position, 50);
  CloseProgress(p.get());
  EXPECT_EQ(hook.closes, 1);
}

TEST(Progress, CancelBitStopsADialogProgress) {
  EscapeAfter hook(-1);
  auto p = CreateProgress(&hook, progress_flag::kInOwnerDialog, worker::kOptimizeTrial);
  EXPECT_TRUE(StepProgress(p.get()));
  SetCancel(worker::kOptimizeTrial, true);
  EXPECT_FALSE(StepProgress(p.get()));
  SetCancel(worker::kOptimizeTrial, false);
  CloseProgress(p.get());
  EXPECT_TRUE(ProgressContinues());
}

TEST(Progress, EscapeDuringReadKeepsFramesWithoutMessage) {
  test::ScopedMessages messages;
  AnimPtr doc = TenFrames();
  MemorySink sink;
  ASSERT_EQ(WriteGifStream(sink, *doc, nullptr), 1);

  EscapeAfter hook(4);
  auto p = CreateProgress(&hook, progress_flag::kOwnWindow | progress_flag::kNoPumping);
  MemoryByteSource source(sink.bytes.data(), sink.bytes.size());
  uint8_t signature[6];
  source.readExact(signature, 6);
  ReadResult r = ReadGifFile(source, p.get());  // the reader turns pumping back on
  CloseProgress(p.get());
  EXPECT_EQ(r.status, kReadPartial);
  ASSERT_NE(r.document, nullptr);
  EXPECT_GT(r.document->frameCount, 0);
  EXPECT_LT(r.document->frameCount, 10);
  EXPECT_TRUE(messages.ids().empty());
}

TEST(Progress, EscapeDuringWriteEndsWithoutTrailer) {
  AnimPtr doc = TenFrames();
  EscapeAfter hook(3);
  auto p = CreateProgress(&hook, progress_flag::kOwnWindow);
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, *doc, p.get()), 2);
  CloseProgress(p.get());
  ASSERT_FALSE(sink.bytes.empty());
  EXPECT_NE(sink.bytes.back(), 0x3B);
}

}  // namespace fw
