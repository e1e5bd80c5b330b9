#pragma once
// Median cut over a weighted palette: reduces up to 256 colours, each weighted by the number
// of pixels that use it, to at most `target` colours on a 6-bit-per-channel histogram.
#include <cstdint>

#include "core/palette.h"

namespace fw {

class Progress;

// `entries` holds 256 colours in and the result out: the first n entries are overwritten,
// most used first; later entries are left alone. Returns n, which is 0 only when the
// histogram cannot be allocated. One progress step per split.
int MedianCutReduce(Rgb* entries, const int32_t* counts, int target, Progress* progress);

}  // namespace fw
