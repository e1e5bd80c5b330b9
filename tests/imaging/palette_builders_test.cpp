// The palette builders: median cut, pixel octree and lock-aware octree.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "imaging/median_cut.h"
#include "core/indexed_image.h"
#include "imaging/octree.h"
#include "imaging/palette_reduce.h"

namespace fw {
namespace {

struct Weighted {
  std::array<Rgb, 256> entries{};
  std::array<int32_t, 256> counts{};
  void set(int i, Rgb c, int32_t n) {
    entries[size_t(i)] = c;
    counts[size_t(i)] = n;
  }
};

TEST(MedianCut, QuantisesToSixBitsAndExpandsAgain) {
  Weighted w;
  w.set(0, {128, 128, 128}, 5);
  w.set(1, {255, 0, 0}, 9);
  w.set(2, {0, 0, 255}, 1);
  ASSERT_EQ(MedianCutReduce(w.entries.data(), w.counts.data(), 8, nullptr), 3);
  // Most used first.
  EXPECT_EQ(w.entries[0], (Rgb{255, 0, 0}));
  EXPECT_EQ(w.entries[1], (Rgb{129, 129, 129}));
  EXPECT_EQ(w.entries[2], (Rgb{0, 0, 255}));
}

TEST(MedianCut, StopsEarlyWhenEveryBoxIsOneCellAndPoolsSharedCells) {
  Weighted w;
  // Three colours in one cell (same top six bits) and one elsewhere: two cells in all.
  w.set(0, {64, 64, 64}, 2);
  w.set(1, {65, 66, 67}, 2);
  w.set(2, {67, 67, 67}, 2);
  w.set(3, {200, 10, 10}, 1);
  EXPECT_EQ(MedianCutReduce(w.entries.data(), w.counts.data(), 16, nullptr), 2);
  EXPECT_EQ(w.entries[0], (Rgb{64, 64, 64}));  // 16 * 255 / 63
  // Later entries of the buffer are left as they were.
  EXPECT_EQ(w.entries[2], (Rgb{67, 67, 67}));
}

TEST(MedianCut, OrdersEqualCountsStablyAndLeavesUnusedOut) {
  Weighted w;
  w.set(0, {0, 0, 0}, 4);
  w.set(1, {253, 254, 255}, 4);
  w.set(2, {100, 0, 0}, 0);  // unused: no weight, no box
  EXPECT_EQ(MedianCutReduce(w.entries.data(), w.counts.data(), 4, nullptr), 2);
  // The split keeps the low half in the old box (table slot 0).
  EXPECT_EQ(w.entries[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(w.entries[1], (Rgb{255, 255, 255}));
}

TEST(MedianCut, ReachesTheTargetOnManyColours) {
  Weighted w;
  for (int i = 0; i < 256; ++i) w.set(i, {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)}, 1 + i % 5);
  const int n = MedianCutReduce(w.entries.data(), w.counts.data(), 17, nullptr);
  EXPECT_EQ(n, 17);
}

TEST(MedianCut, NoUsageGivesOneBlackEntry) {
  Weighted w;
  w.set(0, {9, 9, 9}, 0);
  EXPECT_EQ(MedianCutReduce(w.entries.data(), w.counts.data(), 8, nullptr), 1);
  EXPECT_EQ(w.entries[0], (Rgb{0, 0, 0}));
}

TEST(Octree, MeansLeavesAndAnswersZeroForUnknownColours) {
  Octree tree(16);
  tree.addColour({10, 20, 30}, 1);
  tree.addColour({11, 21, 31}, 3);  // same leaf: bits 7..2 agree
  tree.addColour({200, 100, 0}, 1);
  auto palette = tree.makePalette(16, true);
  ASSERT_NE(palette, nullptr);
  ASSERT_EQ(palette->count(), 3);
  EXPECT_EQ((*palette)[0], (Rgb{10, 20, 30}));  // (10 + 33) / 4 truncated, and so on
  EXPECT_EQ((*palette)[1], (Rgb{200, 100, 0}));
  EXPECT_EQ((*palette)[2], (Rgb{0, 0, 0}));  // the transparent slot
  EXPECT_EQ(tree.lookup({200, 100, 0}), 1);
  EXPECT_EQ(tree.lookup({0, 255, 0}), 0);
}

TEST(Octree, ReducesTheLightestDeepestNodeWithTiesToTheNewest) {
  // Two level-5 parents: one holding two light colours, one holding two heavy ones. Cutting
  // to three leaves merges the light pair.
  Octree tree(256);
  tree.addColour({0, 0, 0}, 100);
  tree.addColour({0, 0, 4}, 100);
  tree.addColour({128, 128, 128}, 1);
  tree.addColour({128, 128, 132}, 1);
  auto palette = tree.makePalette(3, false);
  ASSERT_EQ(palette->count(), 3);
  EXPECT_EQ((*palette)[0], (Rgb{0, 0, 0}));
  EXPECT_EQ((*palette)[1], (Rgb{0, 0, 4}));
  EXPECT_EQ((*palette)[2], (Rgb{128, 128, 130}));

  // Equal weights: the more recently created node goes first.
  Octree ties(256);
  ties.addColour({0, 0, 0}, 1);
  ties.addColour({0, 0, 4}, 1);
  ties.addColour({128, 128, 128}, 1);
  ties.addColour({128, 128, 132}, 1);
  auto tied = ties.makePalette(3, false);
  ASSERT_EQ(tied->count(), 3);
  EXPECT_EQ((*tied)[2], (Rgb{128, 128, 130}));
}

TEST(Octree, StaysWithinTheTargetOnTrueColour) {
  std::vector<uint8_t> rows(Stride24(64) * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = rows.data() + size_t(y) * Stride24(64) + 3 * size_t(x);
      p[0] = uint8_t(x * 4);
      p[1] = uint8_t(y * 4);
      p[2] = uint8_t((x ^ y) * 4);
    }
  std::vector<uint8_t> mask(Stride8(64) * 64, 255);
  mask[0] = 0;
  Octree tree(64);
  tree.addTrueColour(64, 64, rows.data(), Stride24(64), mask.data(), Stride8(64));
  auto palette = tree.makePalette(64, true);
  ASSERT_NE(palette, nullptr);
  EXPECT_LE(palette->count(), 64);
  std::vector<uint8_t> out(Stride8(64) * 64);
  tree.mapTrueColour(64, 64, rows.data(), Stride24(64), mask.data(), Stride8(64), 63, out.data(), Stride8(64));
  EXPECT_EQ(out[0], 63);
  for (int x = 1; x < 64; ++x) EXPECT_LT(out[size_t(x)], palette->count() - 1);
}

TEST(LockAwareReduce, KeepsLockedColoursExactlyEvenWhenRare) {
  Weighted w;
  for (int i = 0; i < 200; ++i) w.set(i, {uint8_t(i), uint8_t(i), uint8_t(255 - i)}, 1000);
  w.set(200, {3, 201, 77}, 1);   // rare but locked
  w.set(201, {250, 5, 9}, 0);    // locked but unused
  w.set(202, {4, 200, 76}, 500); // shares a leaf region with the rare locked colour
  ColourLocks locks;
  locks.lock(200);
  locks.lock(201);
  const int n = LockAwareReduce(w.entries.data(), w.counts.data(), 16, locks);
  ASSERT_GT(n, 0);
  ASSERT_LE(n, 16);
  const auto begin = w.entries.begin(), end = w.entries.begin() + n;
  EXPECT_NE(std::find(begin, end, Rgb{3, 201, 77}), end);
  EXPECT_EQ(std::find(begin, end, Rgb{250, 5, 9}), end);
}

TEST(LockAwareReduce, RaisesSmallTargetsToEight) {
  Weighted w;
  for (int i = 0; i < 64; ++i) w.set(i, {uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i * 2)}, 10);
  ColourLocks locks;
  locks.lock(5);
  const int n = LockAwareReduce(w.entries.data(), w.counts.data(), 2, locks);
  EXPECT_LE(n, 8);
  EXPECT_GT(n, 2);
}

TEST(LockAwareReduce, MoreLockedColoursThanTheTargetStillEnds) {
  // Sixty-four locked colours in pairs that share level-5 parents: no merge is free of two
  // locked children, yet the target must be reached.
  Weighted w;
  ColourLocks locks;
  for (int i = 0; i < 64; ++i) {
    w.set(i, {uint8_t((i / 2) * 8), uint8_t(i % 2 * 4), 0}, 3);
    locks.lock(i);
  }
  EXPECT_LE(LockAwareReduce(w.entries.data(), w.counts.data(), 8, locks), 8);
}

}  // namespace
}  // namespace fw
