#pragma once
// GIF variable-length LZW decoding straight into a frame's rows.
#include <cstddef>
#include <cstdint>

#include "core/indexed_image.h"

namespace fw {

enum class LzwResult {
  kComplete,   // every pixel of the frame was filled
  kEndedEarly, // an end code came first; the remaining pixels are 0
  kRanOut,     // the data ended (or was unreadable) before the frame was filled
  kCorrupt,    // a code that no table could hold
};

// Decodes with the calling thread's code table, which is reset for every image.
class LzwDecoder {
 public:
  // `data` holds the image's data sub-blocks with their length bytes removed; it must be
  // followed by at least 8 readable bytes (callers pad with zeros). `terminated` says whether
  // the zero-length terminator was found: an end code on unterminated data counts as ran out.
  // `width` x `height` pixels (interlaced in the four GIF passes when asked) are written into
  // the rows of `image`, which must be exactly that large; every byte of its plane is set,
  // padding and the pixels an early end leaves included (to 0), so it may start undefined.
  LzwResult decode(const uint8_t* data, size_t size, bool terminated, int minCodeSize,
                   IndexedImage& image, int width, int height, bool interlaced);
};

// The decoder of the calling thread.
LzwDecoder& ThreadLzwDecoder();

}  // namespace fw
