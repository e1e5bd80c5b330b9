#pragma once
// The reduce-colours operation: the global palette and every larger local palette are cut
// down to a target number of colours, the pixels remapped or dithered, transparency and the
// background colour kept.
#include "core/anim_document.h"
#include "imaging/palette_reduce.h"

namespace fw {

class Progress;

// `target` is 2 to 256. With locks the global palette goes through the lock-aware octree.
// False when memory runs out (message shown; the document is unchanged where the failure
// came before any pixel moved) or when the progress was stopped during the local palettes
// (the frames done so far keep their new palettes).
bool ReducePalettes(AnimHeader& document, int target, bool dither, const ColourLocks* locks, Progress* progress,
                    PaletteMethod method = PaletteMethod::kMedianCut);

}  // namespace fw
