#pragma once
// How many pixels the frames of one GIF may make the reader allocate. A frame whose data stops
// with an end code is accepted with the rest of it blank, so a dozen bytes can claim a frame of
// a gigabyte and a small file hundreds of them. Pixels that a frame's data could really have
// produced are always allowed, so a file whose frames are all complete never runs short, however
// many frames it has; only the blank remainder of frames claiming more than their data can fill
// is counted, against one limit for the whole read.
#include <cstdint>

namespace fw {

// The most pixels this many bytes of LZW data can decode to. A code of n bits (n <= 12) stands
// for a string no longer than 2^n, so no stream does better than 4096 pixels per 12 bits.
constexpr uint64_t MostPixelsFromData(uint64_t bytes) { return (bytes * 8 * 4096 + 11) / 12; }

// The blank pixels allowed in one read; tests and fuzzers lower it.
uint64_t MaxBlankPixels();
void SetMaxBlankPixels(uint64_t pixels);

class FramePixelBudget {
 public:
  // Counts a frame of `pixels` whose data is `dataBytes` long. False, counting nothing, when its
  // blank part would take the read past the limit.
  bool admit(uint64_t pixels, uint64_t dataBytes);

 private:
  uint64_t blank_ = 0;
};

}  // namespace fw
