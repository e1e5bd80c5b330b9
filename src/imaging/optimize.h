#pragma once
// The animation optimizer: makes a document smaller when written as GIF while every picture a
// viewer shows, and the total running time, stay as they were (the palette choices that may
// approximate colours are named below).
#include <cstdint>

#include "core/anim_document.h"

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
inline constexpr uint32_t kDefault = 1134;
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

// Optimizes the document in place. Returns true when anything changed. A stop request of the
// progress ends the run after the current image; the document is valid at every point.
bool Optimize(AnimHeader& document, uint32_t options, Progress* progress);

// The command line's optimize: the stored options word and no progress to show. False when
// it could not finish for lack of memory (the message was shown).
bool BatchOptimize(AnimHeader& document);

}  // namespace fw
