#pragma once
// Error-diffusion dithering through the inverse colour map: an ordered 4 x 4 offset chooses
// the map cell, and the remaining error spreads 7/3/5/1 sixteenths to the right and below.
// Rows run top to bottom, each left to right. Transparent source pixels are written as the
// destination transparent index and neither take nor spread error.
//
// The error rows are process-wide like the map; one run at a time.
#include <cstddef>
#include <cstdint>

#include "core/palette.h"

namespace fw {

// Builds or reuses the shared inverse map for the first `mapCount` entries and makes the
// error rows wide enough for `width`. On failure shows message 40167 or 40168.
bool PrepareDithering(const Rgb* entries, int mapCount, int width);
inline bool PrepareDithering(const Palette& palette, int width) {
  return PrepareDithering(palette.data(), palette.count(), width);
}

// Dithering onto each pixel's exact nearest entry (its colour plus the carried error) in place
// of the inverse map and its ordered offsets, for palettes the refined builder placed more
// finely than the map's cells can tell apart. The error still spreads 7/3/5/1. In force until
// the next preparation of either kind; the same messages on failure.
bool PrepareExactDithering(const Rgb* entries, int count, int width);
inline bool PrepareDithering(const Rgb* entries, int mapCount, int width, bool exact) {
  return exact ? PrepareExactDithering(entries, mapCount, width) : PrepareDithering(entries, mapCount, width);
}

// The 5-bit map coordinate of channel value v under matrix offset k (-1 to 6).
int DitherCell(int v, int k);

// 8-bit source rows with their palette onto the prepared palette. With a source transparent
// index (>= 0), those pixels become `dstTransparent`. `opaqueUsed`, when given, receives a
// flag for every destination index written for an opaque pixel. dst may equal src.
// False only when the error rows cannot be widened (message 40168).
bool DitherIndexedRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride, const Rgb* srcPalette,
                       int srcCount, int width, int height, int srcTransparent = -1, int dstTransparent = 0,
                       bool* opaqueUsed = nullptr);

// 24-bit rows (blue, green, red) onto the prepared palette, dithered or by plain map lookups
// (exact nearest entries after PrepareExactDithering); pixels whose mask byte is 0 become
// `maskedIndex`. False when memory runs out (message shown).
bool ConvertTrueColourRows(uint8_t* dst, size_t dstStride, const uint8_t* bgr, size_t bgrStride, const uint8_t* mask,
                           size_t maskStride, int width, int height, bool dither, uint8_t maskedIndex);

}  // namespace fw
