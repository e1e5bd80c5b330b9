#include <gtest/gtest.h>

#include <cstring>

#include "core/preferences.h"

namespace fw {
namespace {

std::vector<uint8_t> Block(std::initializer_list<std::pair<int, uint32_t>> words, size_t bytes = 76) {
  std::vector<uint8_t> block(bytes, 0);
  for (auto [index, value] : words)
    if (static_cast<size_t>(index) * 4 + 4 <= bytes) std::memcpy(block.data() + index * 4, &value, 4);
  return block;
}

}  // namespace

TEST(Preferences, FirstRunDefaults) {
  MemoryPreferenceStore store;
  store.present = false;
  Preferences p;
  p.load(&store);
  EXPECT_EQ(p.read(pref::kDefaultDelay), 10u);
  EXPECT_EQ(p.read(pref::kFrameSizePolicy), 32u);
  EXPECT_EQ(p.read(pref::kOptimizeOptions), 1134u);
  EXPECT_EQ(p.read(pref::kOptionFlags), 1u << 23);
  EXPECT_EQ(p.read(pref::kPaletteMerge), 0x880001u);
  EXPECT_EQ(p.read(pref::kUndoLevels), 20u);
  EXPECT_EQ(p.timeBase(), 100);
  EXPECT_EQ(p.read(pref::kSaveAsMemory), 1u);
}

TEST(Preferences, OldBlocksAndTranslations) {
  MemoryPreferenceStore store;
  // An older version: a short block without the word count; zero time base and save memory.
  store.binaries["Pref"] = Block({{0, 7}, {2, 1}}, 12);
  Preferences p;
  p.load(&store);
  EXPECT_EQ(p.read(pref::kDefaultDelay), 7u);
  EXPECT_EQ(p.read(pref::kFrameSizePolicy), 36u);  // stored 1
  EXPECT_EQ(p.read(pref::kUndoLevels), 100u);
  EXPECT_EQ(p.read(pref::kOptimizeOptions), 1134u);  // beyond the short block: default kept
  for (auto [stored, read] : {std::pair{2u, 16u}, {3u, 32u}, {0u, 32u}, {36u, 36u}}) {
    store.binaries["Pref"] = Block({{2, stored}, {14, 0}, {16, 0}});
    store.numbers["NPref"] = 19;
    p.load(&store);
    EXPECT_EQ(p.read(pref::kFrameSizePolicy), read);
    EXPECT_EQ(p.raw(pref::kFrameSizePolicy), stored);
    EXPECT_EQ(p.read(pref::kTimeBase), 100u);
    EXPECT_EQ(p.read(pref::kSaveAsMemory), 1u);
    EXPECT_EQ(p.read(pref::kUndoLevels), 0u);  // a current block keeps what it says
  }
}

TEST(Preferences, OversizedBlockIsRefused) {
  MemoryPreferenceStore store;
  store.binaries["Pref"] = Block({{0, 99}}, 120);
  store.numbers["NPref"] = 19;
  Preferences p;
  p.load(&store);
  EXPECT_EQ(p.read(pref::kDefaultDelay), 10u);
}

TEST(Preferences, WritesStoreTheWholeBlock) {
  MemoryPreferenceStore store;
  Preferences p;
  p.load(&store);
  p.setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
  p.write(pref::kDefaultDelay, 3);
  ASSERT_EQ(store.binaries["Pref"].size(), 76u);
  EXPECT_EQ(store.numbers["NPref"], 19u);
  Preferences again;
  again.load(&store);
  EXPECT_TRUE(again.bit(pref::kOptionFlags, pref::kInterlaceAllowed));
  EXPECT_EQ(again.read(pref::kDefaultDelay), 3u);
  // A store that cannot be written keeps the value for this run only.
  store.present = false;
  p.write(pref::kDefaultDelay, 4);
  EXPECT_EQ(p.read(pref::kDefaultDelay), 4u);
}

}  // namespace fw
