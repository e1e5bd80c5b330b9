#pragma once
// Dithering whole image blocks from their old palette onto a new one.
#include "core/anim_document.h"

namespace fw {

class Progress;

// Every 8-bit block on the global palette, from the document's current global palette onto
// `entries`. Transparent pixels become `transparentIndex`; with -1 each block takes the entry
// nearest its old transparent colour, unless an opaque pixel of that block lands there too, in
// which case it takes the lowest entry none of its opaque pixels uses. The background index
// moves to the nearest entry. The caller installs the palette and the colour tables after.
// A transparent index that is the last entry is kept for transparency alone: opaque pixels
// are never dithered onto it. `exact` dithers onto exact nearest entries (PrepareExactDithering).
bool DitherDocumentBlocks(AnimHeader& document, const Rgb* entries, int count, int transparentIndex,
                          Progress* progress, bool exact = false);
inline bool DitherDocumentBlocks(AnimHeader& document, const Palette& palette, int transparentIndex,
                                 Progress* progress, bool exact = false) {
  return DitherDocumentBlocks(document, palette.data(), palette.count(), transparentIndex, progress, exact);
}

// One block from its own palette in effect (normally its local palette), same rules.
bool DitherBlock(ImageBlock& block, const Rgb* entries, int count, int transparentIndex, bool exact = false);
inline bool DitherBlock(ImageBlock& block, const Palette& palette, int transparentIndex, bool exact = false) {
  return DitherBlock(block, palette.data(), palette.count(), transparentIndex, exact);
}

}  // namespace fw
