#pragma once
// Nearest-colour searches and the remap tables built from them.
#include <array>
#include <cstdint>

#include "core/palette.h"

namespace fw {

// One destination index per source palette index; -1 where there is no destination
// (including every index beyond the source palette).
using RemapTable = std::array<int16_t, 256>;

struct NearestResult {
  int index = 0;
  bool exact = false;
};

// Smallest squared RGB distance; ties go to the lower index. An empty list answers 0.
NearestResult NearestByDistance(const Rgb* entries, int count, Rgb colour);
inline int NearestIndex(const Palette& palette, Rgb colour) {
  return NearestByDistance(palette.data(), palette.count(), colour).index;
}

// Each source entry's nearest destination entry; all -1 when there is no source palette.
RemapTable BuildRemapTable(const Palette* source, const Rgb* destination, int destinationCount);
inline RemapTable BuildRemapTable(const Palette* source, const Palette& destination) {
  return BuildRemapTable(source, destination.data(), destination.count());
}

RemapTable EmptyRemapTable();

}  // namespace fw
