// The LZW encoder's child table relies on a table being all zero whenever it grows, and on it
// keeping what it holds when it need not grow.
#include "core/large_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace fw {
namespace {

TEST(LargeTable, GrowingGivesZerosAndNotGrowingKeepsContents) {
  LargeTable<uint16_t> table;
  EXPECT_EQ(table.size(), 0u);
  for (const size_t count : {size_t{4096} << 2, size_t{4096} << 8, size_t{3} << 20}) {
    SCOPED_TRACE(count);
    table.growZeroed(count);
    ASSERT_EQ(table.size(), count);
    EXPECT_TRUE(std::all_of(table.data(), table.data() + count, [](uint16_t v) { return v == 0; }));
    std::fill(table.data(), table.data() + count, uint16_t{0xBEEF});
  }
  table.growZeroed(100);
  EXPECT_EQ(table.size(), size_t{3} << 20);
  EXPECT_EQ(table[0], 0xBEEF);
  EXPECT_EQ(table[(size_t{3} << 20) - 1], 0xBEEF);
}

}  // namespace
}  // namespace fw
