#include "imaging/palette_reduce.h"

#include <algorithm>
#include <new>

#include "imaging/median_cut.h"
#include "imaging/refined_palette.h"
#include "imaging/octree.h"

namespace fw {

int LockAwareReduce(Rgb* entries, const int32_t* counts, int target, const ColourLocks& locks) {
  try {
    const int colours = std::clamp(target, 8, 256);
    Octree tree(colours);
    for (int i = 0; i < 256; ++i)
      if (counts[i] > 0) tree.addColour(entries[i], counts[i], locks.locked[size_t(i)]);
    Rgb out[256];
    const int n = tree.makeEntries(colours, false, out);
    std::copy(out, out + n, entries);
    return n;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int PaletteReduce(Rgb* entries, const int32_t* counts, int target, const ColourLocks* locks, Progress* progress,
                  PaletteMethod method) {
  if (locks) return LockAwareReduce(entries, counts, target, *locks);
  if (method == PaletteMethod::kRefined) return RefinedPaletteReduce(entries, counts, target, progress);
  return MedianCutReduce(entries, counts, target, progress);
}

}  // namespace fw
