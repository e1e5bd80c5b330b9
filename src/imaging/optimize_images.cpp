#include "imaging/optimize_images.h"

#include <new>

#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/optimize.h"
#include "imaging/optimize_removal.h"
#include "imaging/optimize_screen.h"
#include "imaging/optimize_transparency.h"

namespace fw {
namespace {

// Images the model can compare: pixels that cover the image exactly, inside the screen.
bool Comparable(const ImageBlock& f, const AnimHeader& document) {
  if (!f.indexedImage || f.width <= 0 || f.height <= 0) return false;
  const IndexedImage& pixels = *f.indexedImage;
  return pixels.width == f.width && pixels.height == f.height &&
         pixels.pixels.size() >= pixels.stride() * static_cast<size_t>(pixels.height) &&
         FrameInsideScreen(f, document.screenWidth, document.screenHeight);
}

// Cuts one compared image down; returns the image after it (the image itself may be gone).
ImageBlock* OptimizeOne(AnimHeader& document, ImageBlock& f, OptimizeScreen& screen, uint32_t options,
                        bool& changed) {
  const OptimizeScreen::Scan scan = screen.compare(f);
  int left = scan.left, top = scan.top, width = scan.right - scan.left, height = scan.bottom - scan.top;
  if (!scan.anyChanged()) {
    if ((options & optimize_bit::kRemoveFrames) && CanFoldIntoPrevious(f)) {
      changed = true;
      return FoldIntoPrevious(document, f);
    }
    left = top = 0;
    width = height = 1;
  }
  const uint8_t* kept = screen.changed() + static_cast<size_t>(top) * screen.changedStride() + left;
  if (width != f.width || height != f.height) {
    CropFrame(f, left, top, width, height);
    changed = true;
  }
  if ((options & optimize_bit::kTransparency) && scan.changedCount < int64_t{width} * height &&
      SubstituteTransparency(f, kept, screen.changedStride()))
    changed = true;
  return NextImage(&f);
}

}  // namespace

ImageStepsResult OptimizeImages(AnimHeader& document, uint32_t options, Progress* progress) {
  ImageStepsResult result;
  OptimizeScreen screen;
  if (!screen.allocate(document.screenWidth, document.screenHeight)) {
    ShowMessage(optimize_msg::kNoScreenPlanes);
    result.complete = false;
    return result;
  }
  SetProgressText(progress, MessageText(optimize_msg::kOptimizingImages));
  StartProgress(progress, document.frameCount);
  for (ImageBlock* f = FirstImage(&document); f;) {
    if (!Comparable(*f, document)) {
      // Whatever it shows, later images must not rely on the screen beneath it.
      screen.forget(f->left, f->top, f->width, f->height);
      f = NextImage(f);
    } else {
      try {
        f = OptimizeOne(document, *f, screen, options, result.changed);
      } catch (const std::bad_alloc&) {
        ShowMessage(optimize_msg::kNoImageMemory);
        result.complete = false;
        return result;
      }
    }
    if (!StepProgress(progress)) {
      result.complete = false;
      return result;
    }
  }
  if (result.changed) CountSelected(document);
  return result;
}

}  // namespace fw
