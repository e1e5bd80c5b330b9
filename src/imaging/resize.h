#pragma once
// Resizing the whole animation or the selected frames, by nearest neighbour (palette and
// pixel values kept) or by the bicubic filter (new true colour, then the palette conversion).
#include <cstdint>

#include "core/anim_document.h"

namespace fw {

class Progress;

namespace resize_msg {
inline constexpr int kNoMemoryBicubic = 40105;
inline constexpr int kScaling = 40106;        // progress text
inline constexpr int kResizeFramesTitle = 40313;
}  // namespace resize_msg

// Old size: the logical screen for the whole animation, the current frame's image size for
// selected frames. Every image in scope scales by new / old on each axis.
struct ScaleRecord {
  int32_t oldWidth = 1, oldHeight = 1;
  int32_t newWidth = 1, newHeight = 1;
  bool selectedOnly = false;
};

// A length after scaling, rounded to nearest and never below 1.
int32_t ScaleLength(int32_t length, int32_t oldSize, int32_t newSize);
// A position after scaling, rounded to nearest (may be negative; never clamped).
int32_t ScalePosition(int32_t position, int32_t oldSize, int32_t newSize);

bool InResizeScope(const ImageBlock& image, const ScaleRecord& scale);
// Images in scope with true-colour data: only the bicubic method may be offered then.
bool ScopeHasTrueColour(const AnimHeader& document, bool selectedOnly);
// Bicubic scaling of transparent or offset frames that are not restored to the background
// may look wrong once played: the dialog warns about it.
bool BicubicMayShowErrors(const AnimHeader& document, bool selectedOnly);

// Each image in scope stretched by picking source pixel floor(i * S / D): palette,
// transparent index and pixel values are kept. 1 done; 0 when memory ran out or the user
// stopped it (message shown for memory; the document is unchanged either way).
int ResizeNearest(const ScaleRecord& scale, AnimHeader& document, Progress* progress);
// Each image in scope resampled by the bicubic filter into true colour, then the palette
// conversion with the stored merge word. 1 done; 2 cancelled (palette question or progress);
// 0 failure (message shown). The document changes only on success.
int ResizeBicubic(const ScaleRecord& scale, AnimHeader& document, Progress* progress);

// The resize command after the dialog's OK: records the undo step, runs the method, then
// fits the logical screen (the new size for the whole animation, the extent of all images
// for selected frames) and recounts the colour usage. 0 when nothing changed (same size,
// nothing in scope, failure or cancel: no undo step is left behind), else 1.
int ResizeAnimation(AnimHeader& document, const ScaleRecord& scale, bool bicubic, Progress* progress);

}  // namespace fw
