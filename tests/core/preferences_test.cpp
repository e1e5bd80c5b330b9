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
  EXPECT_EQ(p.read(pref::kOptimizeOptions), 5230u);
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
  EXPECT_EQ(p.read(pref::kOptimizeOptions), 5230u);  // beyond the short block: default kept
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

namespace fw {

TEST(Preferences, WordsOutsideTheirRangesFallBackToDefaultsUntilSaved) {
  MemoryPreferenceStore store;
  store.numbers["NPref"] = 19;
  // Each word just outside what its page or command can store.
  store.binaries["Pref"] = Block({{0, 0xFFFFFFFF}, {1, 65537}, {2, 5}, {7, 3u << 24}, {9, 6}, {10, 0x880003},
                                  {12, 10000}, {14, 1}, {16, 11}, {17, 10000001}, {18, 0x1000000}});
  const std::vector<uint8_t> stored = store.binaries["Pref"];
  Preferences p;
  p.load(&store);
  const Preferences defaults;
  for (int index : {0, 1, 2, 7, 9, 10, 12, 14, 16, 17, 18})
    EXPECT_EQ(p.raw(index), defaults.raw(index)) << "word " << index;
  EXPECT_EQ(p.timeBase(), 100);
  // Loading does not write: the store keeps its words until preferences are next saved.
  EXPECT_EQ(store.binaries["Pref"], stored);

  // The edges themselves are kept.
  store.binaries["Pref"] = Block({{0, 65535}, {1, 65536}, {2, 20}, {7, 2u << 24 | 0xFFFFFF}, {9, 5}, {10, 0x330310},
                                  {12, 9999}, {14, 10}, {16, 10 | 10 << 8 | 0xABCDu << 16}, {17, 10000000},
                                  {18, 0xFFFFFF}});
  p.load(&store);
  EXPECT_EQ(p.raw(0), 65535u);
  EXPECT_EQ(p.raw(1), 65536u);
  EXPECT_EQ(p.raw(2), 20u);
  EXPECT_EQ(p.raw(7), 2u << 24 | 0xFFFFFF);
  EXPECT_EQ(p.raw(9), 5u);
  EXPECT_EQ(p.raw(10), 0x330310u);
  EXPECT_EQ(p.raw(12), 9999u);
  EXPECT_EQ(p.timeBase(), 10);
  EXPECT_EQ(p.raw(16), 10u | 10u << 8 | 0xABCDu << 16);
  EXPECT_EQ(p.raw(17), 10000000u);
  EXPECT_EQ(p.raw(18), 0xFFFFFFu);
  // Two methods at once, or a colour count below 8 colours, is no choice the page offers.
  for (uint32_t word : {0x880005u, 0x820001u, 0x280001u, 0x880020u, 0x1880001u}) {
    store.binaries["Pref"] = Block({{10, word}});
    p.load(&store);
    EXPECT_EQ(p.raw(pref::kPaletteMerge), 0x880001u) << std::hex << word;
  }

  // An empty block is no block: defaults, and nothing read from it.
  store.binaries["Pref"] = {};
  p.load(&store);
  EXPECT_EQ(p.raw(pref::kDefaultDelay), 10u);
  EXPECT_EQ(p.timeBase(), 100);
}

}  // namespace fw
