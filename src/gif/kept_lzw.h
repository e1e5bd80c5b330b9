#pragma once
// LZW data kept with the frame it was encoded from, so that writing the frame again copies the
// bytes instead of encoding them a second time. The optimizer measures every frame's final
// stream while choosing among clear rules; keeping the winner's bytes spares Save the same
// encoding. Frames change after that (edits, undo), so the data is only used while the frame
// still holds what it was encoded from: the pixels (by hash), their layout and the code size.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// The data itself, with what it encodes. Data kept as read from a file was written by another
// encoder, so Save never copies it (its stream must be ours); it spares re-encoding a frame
// whose size or pixels are needed while the frame is still as it was read.
struct KeptLzwStream {
  uint64_t pixelHash = 0;
  int32_t width = 0, height = 0;
  int minCodeSize = 0;
  uint8_t clearRule = 0;
  bool interlaced = false;
  bool tableFilled = true;
  bool asRead = false;
  std::vector<uint8_t> subBlocks;
};

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

// The data of `subBlocks` laid end to end, followed by the zeros the LZW decoder may read ahead
// (not counted in `size`). A length byte that claims more than is left takes what is left.
std::vector<uint8_t> UnblockedLzwData(const std::vector<uint8_t>& subBlocks, size_t& size);

// Keeps the frame's data as its file held it: `size` bytes with the sub-block lengths removed,
// decoded with `minCodeSize` into the frame's current pixels.
void KeepReadLzwData(ImageBlock& frame, int minCodeSize, const uint8_t* data, size_t size);
// The data kept by KeepReadLzwData while the frame still holds the pixels read with it. The
// data is in its file's row order (`interlaced`), whatever the frame's flag says now.
std::shared_ptr<const KeptLzwStream> ReadLzwData(const ImageBlock& frame);

}  // namespace fw
