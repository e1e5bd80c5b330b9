#pragma once
// How a frame's planes are laid out for libpng (shared by the PNG and APNG writers).
#include "core/anim_document.h"
#include "formats/png_codec.h"

namespace fw {

// The frame's depth class as the APNG rules see it: 32 (true colour and alpha), 24 (true
// colour), 8 (indexed).
int PngDepthClass(const ImageBlock& frame);

// Largest index the frame's pixels use, -1 without indexed pixels.
int MaxIndexUsed(const ImageBlock& frame);

// Fills `out` for the frame. Palette frames get at least `minEntries` PLTE entries (so that
// every index a frame uses has one) and a tRNS chunk when transparent. False for a frame with
// no pixels.
bool DescribePngFrame(const ImageBlock& frame, int minEntries, PngPictureOut& out);

// The pAni data for an animation: count, then each delay in 1/100 s, little-endian.
std::vector<uint8_t> FilmstripChunkData(const AnimHeader& animation);

}  // namespace fw
