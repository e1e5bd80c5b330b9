#include "imaging/merge_table.h"

namespace fw {

int MergeTable(std::vector<Rgb>& running, const Rgb* source, int sourceCount, RemapTable& table, int32_t* runningUsage,
               const int32_t* sourceUsage) {
  table.fill(-1);
  int result = merge_result::kLossless;
  size_t freeSlot = 0;
  for (int j = 0; j < sourceCount && j < 256; ++j) {
    if (sourceUsage[j] == 0) continue;
    const Rgb colour = source[j];
    const NearestResult nearest = NearestByDistance(running.data(), static_cast<int>(running.size()), colour);
    int chosen = nearest.index;
    if (nearest.exact) {
      if (runningUsage[chosen] == 0) result |= merge_result::kUnusedEntryTaken;
    } else {
      while (freeSlot < running.size() && runningUsage[freeSlot] != 0) ++freeSlot;
      if (freeSlot < running.size()) {
        running[freeSlot] = colour;
        chosen = static_cast<int>(freeSlot);
        result |= merge_result::kPaletteChanged;
      } else if (running.size() < 256) {
        running.push_back(colour);
        chosen = static_cast<int>(running.size()) - 1;
        runningUsage[chosen] = 0;
        result |= merge_result::kPaletteChanged;
      } else {
        result &= ~merge_result::kLossless;
      }
    }
    runningUsage[chosen] += sourceUsage[j];
    table[size_t(j)] = static_cast<int16_t>(chosen);
  }
  return result;
}

}  // namespace fw
