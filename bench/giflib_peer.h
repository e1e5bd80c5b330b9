#pragma once
// giflib driven the way a careful application drives it, as the yardstick for our codec.
// Everything works from memory so that neither side pays for file input or output.
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw::bench {

// Encodes the document's blocks with giflib into `out` (cleared first): the same palettes,
// graphic control blocks, loop block and extension blocks our writer produces, the pixels fed
// one row at a time with EGifPutLine in stream order. False when giflib reports an error.
bool GiflibEncode(const AnimHeader& doc, std::vector<uint8_t>& out);
// The same encode into a callback that only counts: the bytes of the file, -1 on an error.
int64_t GiflibEncodedSize(const AnimHeader& doc);

// Full decode with DGifSlurp: giflib keeps every frame as a saved image, like a document does,
// and releases them at the end. Returns the frame count, -1 on an error. When `frameHashes` is
// given it receives FrameHash of every decoded frame.
int GiflibDecodeSlurp(const std::vector<uint8_t>& bytes, std::vector<uint64_t>* frameHashes = nullptr);

// Full decode with the record loop: DGifGetLine writes each frame into one reused buffer and
// extensions are skipped. This is the cheapest way giflib can decode every pixel.
int GiflibDecodeLines(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& frameBuffer,
                      std::vector<uint64_t>* frameHashes = nullptr);

// FNV-1a over width x height pixels stored `stride` bytes apart, row by row.
uint64_t FrameHash(const uint8_t* pixels, int width, int height, size_t stride);
// Hash of every image of the document, in order, over the frame's own width and height.
std::vector<uint64_t> DocumentFrameHashes(const AnimHeader& doc);

}  // namespace fw::bench
