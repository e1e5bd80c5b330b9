#pragma once
// LZW data kept with the frame it was encoded from, so that writing the frame again copies the
// bytes instead of encoding them a second time. The optimizer measures every frame's final
// stream while choosing among clear rules; keeping the winner's bytes spares Save the same
// encoding. Frames change after that (edits, undo), so the data is only used while the frame
// still holds what it was encoded from: the pixels (by hash), their layout and the code size.
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// A hash of the width x height pixels of the plane, padding left out.
uint64_t HashFramePixels(const IndexedImage& image, int width, int height);

// Keeps `subBlocks` (what LzwEncode writes: data sub-blocks, no code size byte, no terminator)
// as the frame's data for `minCodeSize` and its current clear rule, or for every rule when
// the encoding never filled the table (no rule has anything to decide then).
void KeepLzwData(ImageBlock& frame, int minCodeSize, std::vector<uint8_t> subBlocks, bool tableFilled = true);
// The kept data when it still encodes the frame as it is with `minCodeSize` and its clear rule;
// nullptr otherwise.
const std::vector<uint8_t>* KeptLzwData(const ImageBlock& frame, int minCodeSize);
// The same, only for data that every clear rule writes.
const std::vector<uint8_t>* KeptLzwDataOfEveryRule(const ImageBlock& frame, int minCodeSize);

}  // namespace fw
