#pragma once
// The animation optimizer: makes a document smaller when written as GIF while every picture a
// viewer shows, and the total running time, stay as they were (the palette choices that may
// approximate colours are named below).
#include <cstdint>

#include "core/anim_document.h"
#include "gif/gif_writer.h"

namespace fw {

class Progress;

// Bits of the options word (preference word 5).
namespace optimize_bit {
inline constexpr uint32_t kCrop = 2;                 // crop each image to what it changes on screen
inline constexpr uint32_t kTransparency = 4;         // unchanged pixels become transparent when smaller
inline constexpr uint32_t kRemoveLocalPalettes = 8;  // fold local palettes into the global one
inline constexpr uint32_t kMapIntoGlobal = 16;       // ... approximating colours when the global one is full
inline constexpr uint32_t kShrinkPalettes = 32;      // drop palette entries no pixel uses
inline constexpr uint32_t kRemoveFrames = 64;        // delete images that change nothing
inline constexpr uint32_t kAdaptiveGlobal = 1024;    // ... building a new adaptive global palette if needed
inline constexpr uint32_t kManualTrial = 2048;       // the dialog's manual mode; no effect here
// Frames whose LZW table fills keep it full a while before clearing, as measuring says is smaller;
// and with kTransparency the LZW encoder picks, pixel by pixel, between transparency and the
// colour an unchanged pixel shows.
inline constexpr uint32_t kKeepFullLzwTables = 4096;
inline constexpr uint32_t kDefault = 5230;
// The default with local palettes merged only where that keeps every colour: what the command
// line uses until the user has chosen options in the dialog.
inline constexpr uint32_t kLosslessDefault = kDefault & ~kAdaptiveGlobal;
}  // namespace optimize_bit

namespace optimize_msg {
inline constexpr int kNoScreenPlanes = 40131;
inline constexpr int kNoImageMemory = 40132;
inline constexpr int kNoTrialMemory = 40133;
inline constexpr int kRemovingLocalPalettes = 40139;
inline constexpr int kShrinkingGlobalPalette = 40140;
inline constexpr int kShrinkingLocalPalettes = 40141;
inline constexpr int kOptimizingImages = 40142;
inline constexpr int kCopyingAnimation = 40143;
inline constexpr int kMeasuringSize = 40144;
inline constexpr int kUndoName = 40261;
}  // namespace optimize_msg

struct OptimizeOutcome {
  bool changed = false;
  bool complete = true;  // false when memory ran out (the message was shown) or the progress stopped
  // Images whose shown colours a new adaptive or a mapped global palette changed.
  int approximatedFrames = 0;
  // The data sizes the run measured of the images it leaves, for EncodedSizeMeasured until
  // the document next changes.
  MeasuredLzwBytes measured;
};

// Optimizes the document in place. A stop request of the progress ends the run after the
// current image; the document is valid at every point. No image ends up larger than it was.
OptimizeOutcome OptimizeReporting(AnimHeader& document, uint32_t options, Progress* progress);
// The same, true when anything changed.
bool Optimize(AnimHeader& document, uint32_t options, Progress* progress);

// Optimize, keeping the document as it was when the result would not be smaller: smaller than
// the input with its frames' data as their file held them (where they still hold what was
// read), or else smaller than the input as Save writes it. Without memory for a copy of the
// input the result is kept as it is.
OptimizeOutcome OptimizeNeverLarger(AnimHeader& document, uint32_t options, Progress* progress);

// The options the dialog's OK stores, and a note that the user chose them.
void StoreOptimizeOptions(uint32_t word);
// The command line's options: the stored word once the user has chosen one in the dialog;
// before that the default with lossless merging, since -z promises not to change the picture.
uint32_t BatchOptimizeOptions();

// The command line's optimize: no progress to show, never a larger file, and a warning when
// colours were approximated. False when it could not finish for lack of memory (the message
// was shown).
bool BatchOptimize(AnimHeader& document);

}  // namespace fw
