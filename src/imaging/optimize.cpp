// The optimizer's order of steps: clip, drop text and application blocks, palettes, images.
#include "imaging/optimize.h"

#include <new>
#include <vector>

#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "gif/gif_writer.h"
#include "imaging/optimize_backup.h"
#include "imaging/optimize_images.h"
#include "imaging/optimize_lzw.h"
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

constexpr const char* kOptionsChosen = "OptimizeChosen";

OptimizeOutcome Run(AnimHeader& document, uint32_t options, Progress* progress, const MeasuredLzwBytes* inputBytes) {
  OptimizeOutcome run;
  const std::vector<uint8_t> choicesBefore = LzwStreamChoices(document);
  // Set first, so that every size the image steps compare is what the file will take.
  PreferKeptLzwTables(document, options & optimize_bit::kKeepFullLzwTables);
  if (ClipToScreen(document)) run.changed = true;
  if (RemoveTextAndApplicationBlocks(document)) run.changed = true;
  if (options & (optimize_bit::kRemoveLocalPalettes | optimize_bit::kShrinkPalettes)) {
    if (!OptimizePalettes(document, options, progress, run.changed, run.approximatedFrames)) {
      run.complete = false;
      return run;
    }
  }
  ImageStepsResult images;
  if (options & optimize_bit::kCrop) {
    images = OptimizeImages(document, options, progress, inputBytes);
    run.changed |= images.changed;
    run.complete = images.complete;
  }
  run.measured = SettleLzwClearing(document, images.measured, images.weighed);
  if (LzwStreamChoices(document) != choicesBefore) run.changed = true;
  return run;
}

OptimizeOutcome RunGuarded(AnimHeader& document, uint32_t options, Progress* progress,
                           const MeasuredLzwBytes* inputBytes = nullptr) {
  OptimizeOutcome run;
  try {
    run = Run(document, options, progress, inputBytes);
  } catch (const std::bad_alloc&) {
    ShowMessage(optimize_msg::kNoImageMemory);
    run.changed = true;  // some step may have finished before memory ran out
    run.complete = false;
  }
  document.encodedSize = -1;
  return run;
}

// Whether the optimized document encodes larger than (or as large as) its input. A result
// smaller than the input with its frames' data as their file held it is smaller than the file;
// otherwise the input is weighed as Save would write it, which the user gets back.
bool NoSmallerThan(AnimHeader& result, const MeasuredLzwBytes& measured, OptimizeBackup& input) {
  const int64_t after = EncodedSizeMeasured(&result, measured, nullptr);
  if (after < 0) return false;
  int64_t before = input.encodedSize();
  if (before < 0 || after < before) return false;
  if (!input.keepsDataAsRead()) return true;
  // Without the input's size as written, the file's size is the only measure: keeping it is safe.
  if (!input.encodeDataAsRead(result)) return true;
  before = input.encodedSize();
  return before >= 0 && after >= before;
}

}  // namespace

OptimizeOutcome OptimizeReporting(AnimHeader& document, uint32_t options, Progress* progress) {
  return RunGuarded(document, options, progress);
}

bool Optimize(AnimHeader& document, uint32_t options, Progress* progress) {
  return RunGuarded(document, options, progress).changed;
}

OptimizeOutcome OptimizeNeverLarger(AnimHeader& document, uint32_t options, Progress* progress) {
  OptimizeBackup input(document);
  OptimizeOutcome run = RunGuarded(document, options, progress, input.kept() ? &input.inputBytes() : nullptr);
  if (input.kept() && run.changed && NoSmallerThan(document, run.measured, input) && input.putBack(document)) {
    document.encodedSize = -1;
    run.changed = false;
    run.approximatedFrames = 0;
    run.measured.clear();
  }
  return run;
}

void StoreOptimizeOptions(uint32_t word) {
  Prefs().write(pref::kOptimizeOptions, word);
  if (PreferenceStore* store = Prefs().store()) store->setNumber(kOptionsChosen, 1);
}

uint32_t BatchOptimizeOptions() {
  const PreferenceStore* store = Prefs().store();
  const bool chosen = store && store->exists() && store->number(kOptionsChosen).value_or(0) != 0;
  return chosen ? Prefs().read(pref::kOptimizeOptions) : optimize_bit::kLosslessDefault;
}

bool BatchOptimize(AnimHeader& document) {
  const OptimizeOutcome run = OptimizeNeverLarger(document, BatchOptimizeOptions(), nullptr);
  if (run.approximatedFrames > 0)
    Messages().showNote(FormatText(
        "Warning: merging the palettes approximated the colours of %d frame(s); the optimized animation does not "
        "show exactly what the input showed.",
        run.approximatedFrames));
  return run.complete;
}

}  // namespace fw
