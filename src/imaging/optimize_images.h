#pragma once
// The optimizer's image steps: each image is cut down to what it changes on screen, pixels
// that repeat the screen may turn transparent, and images that change nothing are removed.
#include <cstdint>

#include "core/anim_document.h"
#include "gif/gif_writer.h"
#include "imaging/optimize_lzw.h"

namespace fw {

class Progress;

struct ImageStepsResult {
  bool changed = false;
  bool complete = true;  // false when memory ran out (message shown) or the progress stopped
  // The LZW data bytes of images measured as the steps left them, under the rule they hold.
  MeasuredLzwBytes measured;
  // The clear rule that won on the images that weighed every rule.
  LzwRuleVotes weighed;
};

// Runs the steps for options bit 2 with bits 4 and 64 as given. Images must lie inside the
// logical screen (the optimizer clips them first). `inputBytes`, when given, holds the LZW data
// bytes of images as the optimization found them (before any palette step): an image that comes
// out smaller than that needs no measuring as it came to keep its promise of never growing.
ImageStepsResult OptimizeImages(AnimHeader& document, uint32_t options, Progress* progress,
                                const MeasuredLzwBytes* inputBytes = nullptr);

}  // namespace fw
