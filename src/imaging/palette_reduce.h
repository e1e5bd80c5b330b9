#pragma once
// Reducing a weighted palette to fewer colours: median cut, or the lock-aware octree when the
// user has locked colours of the global palette.
#include <array>
#include <cstdint>

#include "core/palette.h"

namespace fw {

class Progress;

// One flag per global palette index, filled by the lock-colour chooser.
struct ColourLocks {
  std::array<bool, 256> locked{};
  bool anyLocked = false;

  void lock(int index) {
    locked[static_cast<size_t>(index)] = true;
    anyLocked = true;
  }
};

// How a palette without locked colours is reduced.
enum class PaletteMethod { kMedianCut, kRefined };

// Locked colours that some pixel uses come out exactly. Targets below 8 are raised to 8.
// Same buffer convention as MedianCutReduce; 0 when memory runs out.
int LockAwareReduce(Rgb* entries, const int32_t* counts, int target, const ColourLocks& locks);

// The median cut (or the refined builder) without a lock list, the lock-aware octree with one.
int PaletteReduce(Rgb* entries, const int32_t* counts, int target, const ColourLocks* locks, Progress* progress,
                  PaletteMethod method = PaletteMethod::kMedianCut);

}  // namespace fw
