#pragma once
// PNG and animated PNG (APNG) files: reading into documents, writing one frame or a whole
// animation. The private pAni chunk marks a PNG holding a horizontal filmstrip with delays.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/load_result.h"

namespace fw {

// 1 with a document, 0 on failure. Fewer than 8 bytes fail silently; a wrong signature shows
// 40330. A damaged file keeps the frames completed before the damage (40330 shown).
LoadResult ReadPngFile(const std::string& path);
LoadResult ReadPngBytes(const uint8_t* data, size_t size);
// The first frame of PNG data in memory (icon entries), with a local copy of the palette.
ImagePtr ReadPngMemory(const uint8_t* data, size_t size);

// One frame as a PNG: RGBA with true colour and alpha, RGB with true colour only, otherwise
// palette (with tRNS when the frame is transparent). With an animation, a pAni chunk carries
// its frame count and delays. 1 or 0 (40368 shown for an encoding error; a file that cannot
// be created fails without a message).
int WritePng(const std::string& path, const ImageBlock& frame, const AnimHeader* animation);
// Into [begin, end); `written` receives the length. Fails when the range is too small.
int WritePngMemory(uint8_t* begin, uint8_t* end, const ImageBlock& frame, const AnimHeader* animation,
                   size_t* written);
// The length WritePng would write; 0 on failure.
size_t PngEncodedSize(const ImageBlock& frame, const AnimHeader* animation);

// Whether every frame can go into one APNG; shows the reason and returns 0 when not.
int CheckApngSavable(const AnimHeader& document);
// The whole animation as an APNG (a one-frame document as a plain PNG with pAni). 1 or 0.
int WriteApng(const std::string& path, AnimHeader& document);

}  // namespace fw
