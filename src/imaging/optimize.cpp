// The optimizer's order of steps: clip, drop text and application blocks, palettes, images.
#include "imaging/optimize.h"

#include <new>

#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "imaging/optimize_images.h"
#include "imaging/optimize_palette.h"

namespace fw {
namespace {

bool Overlaps(const ImageBlock& f, const AnimHeader& document) {
  return f.left < document.screenWidth && f.top < document.screenHeight && int64_t{f.left} + f.width > 0 &&
         int64_t{f.top} + f.height > 0;
}

bool ClipToScreen(AnimHeader& document) {
  bool changed = false;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (FrameInsideScreen(*f, document.screenWidth, document.screenHeight)) continue;
    // An image wholly off screen is left as one transparent pixel at the screen's corner; a
    // restore to background there would wipe a pixel the image never covered.
    if (!Overlaps(*f, document) && f->disposal() == kDisposalBackground) SetDisposal(*f, kDisposalLeave);
    ClipFrameToScreen(*f, document.screenWidth, document.screenHeight);
    changed = true;
  }
  return changed;
}

// The loop count lives in the header, so application blocks carry nothing the writer needs;
// plain text is not drawn by viewers. Comments stay.
bool RemoveTextAndApplicationBlocks(AnimHeader& document) {
  bool changed = false;
  for (GifBlock* b = document.blockList->next; b;) {
    GifBlock* next = b->next;
    if (b->kind == block_kind::kPlainText || b->kind == block_kind::kApplication) {
      RemoveBlock(b);
      changed = true;
    }
    b = next;
  }
  return changed;
}

struct RunResult {
  bool changed = false;
  bool complete = true;
};

RunResult Run(AnimHeader& document, uint32_t options, Progress* progress) {
  RunResult run;
  if (ClipToScreen(document)) run.changed = true;
  if (RemoveTextAndApplicationBlocks(document)) run.changed = true;
  if (options & (optimize_bit::kRemoveLocalPalettes | optimize_bit::kShrinkPalettes)) {
    if (!OptimizePalettes(document, options, progress, run.changed)) {
      run.complete = false;
      return run;
    }
  }
  if (options & optimize_bit::kCrop) {
    const ImageStepsResult images = OptimizeImages(document, options, progress);
    run.changed |= images.changed;
    run.complete = images.complete;
  }
  return run;
}

RunResult RunGuarded(AnimHeader& document, uint32_t options, Progress* progress) {
  RunResult run;
  try {
    run = Run(document, options, progress);
  } catch (const std::bad_alloc&) {
    ShowMessage(optimize_msg::kNoImageMemory);
    run.changed = true;  // some step may have finished before memory ran out
    run.complete = false;
  }
  document.encodedSize = -1;
  return run;
}

}  // namespace

bool Optimize(AnimHeader& document, uint32_t options, Progress* progress) {
  return RunGuarded(document, options, progress).changed;
}

bool BatchOptimize(AnimHeader& document) {
  return RunGuarded(document, Prefs().read(pref::kOptimizeOptions), nullptr).complete;
}

}  // namespace fw
