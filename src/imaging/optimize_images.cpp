#include "imaging/optimize_images.h"

#include <new>
#include <vector>

#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "imaging/optimize_disposal.h"
#include "imaging/optimize_lzw.h"
#include "imaging/optimize_removal.h"
#include "imaging/optimize_screen.h"
#include "imaging/optimize_shown.h"
#include "imaging/optimize_size.h"
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

// Disposal "leave" in place of a restore that gives the same screen. With no pixel to keep,
// the image draws nothing over background and nothing new over a known picture, so neither
// restore has anything to undo.
void LeaveWhenNothingChanged(ImageBlock& f, const OptimizeScreen::Scan& scan, bool& changed) {
  const int disposal = f.disposal();
  if (scan.anyChanged() || (disposal != kDisposalBackground && disposal != kDisposalPrevious)) return;
  SetDisposal(f, kDisposalLeave);
  changed = true;
}

// Puts the image as it came back in place of its optimized form, keeping the disposal the
// optimized one has (a restore rewritten to "leave" is what the following images were
// compared with). Both draw the same screen: the crop only left out pixels that change
// nothing, also under the image's disposal.
ImageBlock* PutBack(ImagePtr original, ImageBlock& optimized) {
  SetDisposal(*original, optimized.disposal());
  ImageBlock* back = original.release();
  InsertAfter(optimized.prev, back);
  RemoveBlock(&optimized);
  return back;
}

// Whether the optimized image encodes larger than it came, `size` being its encoded size when
// known (else 0) and becoming that of the image to keep when known (else 0). The original is
// only encoded when the optimized size reaches what any encoding of the original must take,
// and only as far as that size.
bool LargerThan(const ImageBlock& optimized, int64_t& size, const ImageBlock& original) {
  if (size <= 0) size = FrameEncodedSize(optimized);
  if (size < FrameSizeLowerBound(original)) return false;
  const int64_t originalSize = FrameEncodedSizeBelow(original, size);
  if (originalSize >= size) return false;
  size = originalSize;
  return true;
}

// The encoded size of the image as the optimization found it, with its header as it is now
// (which palette steps only ever make smaller); 0 when unknown.
int64_t InputSize(const ImageBlock& f, const MeasuredLzwBytes* inputBytes) {
  if (!inputBytes) return 0;
  const auto it = inputBytes->find(&f);
  const int64_t overhead = FrameOverheadSize(f);
  return it != inputBytes->end() && overhead > 0 ? it->second + overhead : 0;
}

// What the steps learn from one image for the next: which transparency candidates win, and
// which clear rule.
struct StepHistory {
  CandidateHistory candidates;
  RulesAsMeasured rules;
};

// Notes the LZW data bytes of an image whose encoded size was measured as it now is, and
// settles its clear rule.
void NoteMeasured(ImageBlock& f, int64_t size, ImageStepsResult& result, RulesAsMeasured& rules) {
  const int64_t overhead = FrameOverheadSize(f);
  if (size > overhead && overhead > 0) result.measured[&f] = size - overhead;
  rules.settle(f, result.measured, result.weighed);
}

// Cuts one compared image down; returns the image after it (the image itself may be gone).
ImageBlock* OptimizeOne(AnimHeader& document, ImageBlock& f, OptimizeScreen& screen, StepHistory& history,
                        uint32_t options, int64_t inputSize, ImageStepsResult& result) {
  if (f.lzwClearRule) f.lzwClearRule = history.rules.next();
  const OptimizeScreen::Scan scan = screen.compare(f);
  LeaveWhenNothingChanged(f, scan, result.changed);
  int left = scan.left, top = scan.top, width = scan.right - scan.left, height = scan.bottom - scan.top;
  if (!scan.anyChanged()) {
    if ((options & optimize_bit::kRemoveFrames) && CanFoldIntoPrevious(f)) {
      result.changed = true;
      return FoldIntoPrevious(document, f);
    }
    left = top = 0;
    width = height = 1;
  }
  const bool crops = width != f.width || height != f.height;
  const bool substitutes = (options & optimize_bit::kTransparency) && scan.changedCount < int64_t{width} * height;
  if (!crops && !substitutes) return NextImage(&f);

  // Uncropped, the image is only altered by a substitution, which is kept only when it measures
  // smaller than the image as it came: there is nothing to put back.
  ImagePtr original = crops ? CopyImage(f, f.activePalette) : nullptr;
  const uint8_t* kept = screen.changed() + static_cast<size_t>(top) * screen.changedStride() + left;
  bool altered = false;
  if (crops) {
    CropFrame(f, left, top, width, height);
    altered = true;
  }
  int64_t size = 0;
  if (substitutes) {
    ShownUnder shown;
    if (options & optimize_bit::kKeepFullLzwTables)
      shown = [&](int fill) { return ShownIndexes(screen, f, kept, screen.changedStride(), fill); };
    if (SubstituteTransparency(f, kept, screen.changedStride(), &size, shown, &history.candidates, inputSize))
      altered = true;
  }
  if (!altered) {
    NoteMeasured(f, size, result, history.rules);
    return NextImage(&f);
  }
  result.changed = true;
  if (original && LargerThan(f, size, *original)) {
    ImageBlock* back = PutBack(std::move(original), f);
    NoteMeasured(*back, size, result, history.rules);
    return NextImage(back);
  }
  NoteMeasured(f, size, result, history.rules);
  return NextImage(&f);
}

}  // namespace

ImageStepsResult OptimizeImages(AnimHeader& document, uint32_t options, Progress* progress,
                                const MeasuredLzwBytes* inputBytes) {
  ImageStepsResult result;
  OptimizeScreen screen;
  if (!screen.allocate(document.screenWidth, document.screenHeight)) {
    ShowMessage(optimize_msg::kNoScreenPlanes);
    result.complete = false;
    return result;
  }
  if (LeaveWhereCoveredNext(document) > 0) result.changed = true;
  SetProgressText(progress, MessageText(optimize_msg::kOptimizingImages));
  StartProgress(progress, document.frameCount);
  StepHistory history;
  for (ImageBlock* f = FirstImage(&document); f;) {
    if (!Comparable(*f, document)) {
      // Whatever it shows, later images must not rely on the screen beneath it.
      screen.forget(f->left, f->top, f->width, f->height);
      f = NextImage(f);
    } else {
      try {
        f = OptimizeOne(document, *f, screen, history, options, InputSize(*f, inputBytes), result);
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
