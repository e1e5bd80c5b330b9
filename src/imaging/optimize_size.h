#pragma once
// Sizes the optimizer compares so that it never makes a file larger. Encoding a large frame
// only to learn that a much smaller result beats it is wasted time, so each comparison first
// tries a lower bound that any GIF encoder must reach.
#include <cstdint>

#include "core/anim_document.h"

namespace fw {

// Bytes WriteGifFrame writes for the frame at the least, whatever LZW strings it finds: the
// k-th code after a clear stands for at most k pixels, and every code takes at least the
// minimum code size plus one bit.
int64_t FrameSizeLowerBound(const ImageBlock& frame);

}  // namespace fw
