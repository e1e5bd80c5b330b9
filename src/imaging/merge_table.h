#pragma once
// The merge table: matches a source palette against a running palette, filling unused entries
// and appending before any colour has to be approximated.
#include <cstdint>
#include <vector>

#include "core/palette.h"
#include "imaging/nearest.h"

namespace fw {

namespace merge_result {
inline constexpr int kLossless = 1;
inline constexpr int kPaletteChanged = 2;
inline constexpr int kUnusedEntryTaken = 4;  // an exact match landed on a previously unused entry
}  // namespace merge_result

// `running` (at most 256 entries) grows or has unused entries replaced; `runningUsage` (256)
// gains the source usage of every placed colour; `table` receives the destination of every
// source entry, -1 for the unused ones. Returns merge_result bits.
int MergeTable(std::vector<Rgb>& running, const Rgb* source, int sourceCount, RemapTable& table, int32_t* runningUsage,
               const int32_t* sourceUsage);

}  // namespace fw
