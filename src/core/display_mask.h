#pragma once
// The transparency display mask of a frame and the colour its transparent index shows while
// the mask exists. Both only serve drawing: nothing that reads or writes files looks at them.
#include <cstddef>
#include <cstdint>

#include "core/anim_document.h"

namespace fw {

// Bytes per mask row: one bit per pixel, padded to 32 bits.
inline constexpr size_t MaskStride(int width) { return (static_cast<size_t>(width) + 31) / 32 * 4; }

// Shown behind transparent pixels when the preference asks for nothing else.
inline constexpr uint32_t kButtonFaceEntry = 0xF0F0F0;

bool HasDisplayMask(const ImageBlock& frame);
// True where the mask marks the pixel (x, y) transparent; false outside the mask.
bool MaskIsSet(const ImageBlock& frame, int x, int y);

// The colour-table entry (0x00RRGGBB) that the transparent index shows while the mask exists,
// from the strip transparency preference. `dropping` gives the palette's own colour.
uint32_t TransparentDisplayEntry(const ImageBlock& frame, bool dropping);

// Drops the old mask and, when transparency is on and the frame has pixels, builds it again
// and sets the transparent display colour. Without memory the frame is left without a mask.
void BuildDisplayMask(ImageBlock& frame);
// Restores the palette colour at the transparent index and releases the mask.
void DropDisplayMask(ImageBlock& frame);
// For the frames of a document after the transparency display preference changed, or after
// pixels were written directly into their indexed rows.
void RebuildDisplayMasks(AnimHeader& document);

}  // namespace fw
