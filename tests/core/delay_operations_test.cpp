// The timing editor's all-frames operations and the preview's timing rules.
#include <gtest/gtest.h>

#include "core/delay_operations.h"
#include "core/playback_timing.h"

namespace fw {
namespace {

TEST(DelayOperations, EachOperationStopsAtZeroAndAtTheGifMaximum) {
  using enum DelayOperation;
  EXPECT_EQ(ApplyDelayOperation(kSet, 7, 12), 12);
  EXPECT_EQ(ApplyDelayOperation(kSet, 7, -3), 0);
  EXPECT_EQ(ApplyDelayOperation(kSet, 7, 70000), 65535);
  EXPECT_EQ(ApplyDelayOperation(kAdd, 7, 5), 12);
  EXPECT_EQ(ApplyDelayOperation(kAdd, 7, -10), 0);
  EXPECT_EQ(ApplyDelayOperation(kAdd, 65530, 10), 65535);
  EXPECT_EQ(ApplyDelayOperation(kSubtract, 7, 5), 2);
  EXPECT_EQ(ApplyDelayOperation(kSubtract, 7, 10), 0);
  EXPECT_EQ(ApplyDelayOperation(kSubtract, 7, -3), 10);
  // Multiply and divide use the operand's magnitude and keep fractions.
  EXPECT_EQ(ApplyDelayOperation(kMultiply, 3, 1.5), 4.5);
  EXPECT_EQ(ApplyDelayOperation(kMultiply, 3, -2), 6);
  EXPECT_EQ(ApplyDelayOperation(kMultiply, 40000, 2), 65535);
  EXPECT_EQ(ApplyDelayOperation(kDivide, 9, 2), 4.5);
  EXPECT_EQ(ApplyDelayOperation(kDivide, 9, -0.5), 18);
  EXPECT_EQ(ApplyDelayOperation(kDivide, 9, 0), 0);
}

TEST(DelayOperations, OperandsAreWholeExceptForMultiplyAndDivide) {
  using enum DelayOperation;
  EXPECT_EQ(ParseDelayOperand(" 12 ", kSet), 12);
  EXPECT_EQ(ParseDelayOperand("+4", kAdd), 4);
  EXPECT_EQ(ParseDelayOperand("-4", kSubtract), -4);
  EXPECT_EQ(ParseDelayOperand("2.5", kSet), std::nullopt);
  EXPECT_EQ(ParseDelayOperand("2.5", kMultiply), 2.5);
  EXPECT_EQ(ParseDelayOperand(".5", kDivide), 0.5);
  for (const char* bad : {"", "-", "x", "1x", "1e3", "+-2", "nan", "inf"})
    EXPECT_EQ(ParseDelayOperand(bad, kMultiply), std::nullopt) << bad;
}

TEST(DelayOperations, TypedDelaysAreBroughtIntoRangeAndStoredRounded) {
  EXPECT_EQ(ParseDelay("25"), 25);
  EXPECT_EQ(ParseDelay("70000"), 65535);
  EXPECT_EQ(ParseDelay("99999999999999"), 65535);
  EXPECT_EQ(ParseDelay("-5"), 0);
  EXPECT_EQ(ParseDelay("1.5"), std::nullopt);
  EXPECT_EQ(ParseDelay("-"), std::nullopt);
  EXPECT_EQ(StoredDelay(4.5), 5);
  EXPECT_EQ(StoredDelay(4.49), 4);
  EXPECT_EQ(StoredDelay(-1), 0);
  EXPECT_EQ(StoredDelay(1e9), 65535);
}

TEST(PlaybackTiming, IntervalRoundsTheDelayAndNeverDropsToZero) {
  EXPECT_EQ(PreviewInterval(0, 100), 1);
  EXPECT_EQ(PreviewInterval(10, 100), 100);
  EXPECT_EQ(PreviewInterval(4.5, 100), 50);
  EXPECT_EQ(PreviewInterval(4.49, 100), 40);
  EXPECT_EQ(PreviewInterval(7, 0), 70);      // no time base stored: hundredths
  EXPECT_EQ(PreviewInterval(10, 300), 30);   // 1000 / 300 counts as 3 ms a tick
  EXPECT_EQ(PreviewInterval(5, 2000), 1);    // below a millisecond a tick
  EXPECT_EQ(PreviewInterval(65535, 1), 65535000);
}

TEST(PlaybackTiming, LoopCountDecidesAfterEachPass) {
  int loops = 2;
  EXPECT_TRUE(PreviewContinuesAfterLastFrame(loops, false));
  EXPECT_FALSE(PreviewContinuesAfterLastFrame(loops, false));
  loops = 1;
  EXPECT_TRUE(PreviewContinuesAfterLastFrame(loops, true));
  EXPECT_EQ(loops, 1);
  loops = 0;
  for (int pass = 0; pass < 5; ++pass) EXPECT_TRUE(PreviewContinuesAfterLastFrame(loops, false));
}

}  // namespace
}  // namespace fw
