#pragma once
// How many pixels the frames of one GIF may make the reader allocate. A frame whose data stops
// with an end code is accepted with the rest of it blank, so a dozen bytes can claim a frame of
// a gigabyte and a small file hundreds of them. Pixels that a frame's data could really have
// produced are always allowed, so a file whose frames are all complete never runs short of the
// read's budget however many frames it has (the document's pixel limit still applies); only the
// blank remainder of frames claiming more than their data can fill is counted. A GIF frame is
// one byte per pixel, so its blank pixels are counted as bytes of the core's read budget.
#include <cstdint>

#include "core/read_budget.h"

namespace fw {

// The most pixels this many bytes of LZW data can decode to. A code of n bits (n <= 12) stands
// for a string no longer than 2^n, so no stream does better than 4096 pixels per 12 bits.
constexpr uint64_t MostPixelsFromData(uint64_t bytes) { return (bytes * 8 * 4096 + 11) / 12; }

// The blank pixels allowed in one read; tests and fuzzers lower it.
inline uint64_t MaxBlankPixels() { return MaxUnbackedBytes(); }
inline void SetMaxBlankPixels(uint64_t pixels) { SetMaxUnbackedBytes(pixels); }

class FramePixelBudget {
 public:
  // Counts a frame of `pixels` whose data is `dataBytes` long. False, counting nothing, when its
  // blank part would take the read past the limit.
  bool admit(uint64_t pixels, uint64_t dataBytes) { return budget_.admitUnbacked(pixels, MostPixelsFromData(dataBytes)); }
  // The frame joins the document: false after the message when the document would grow too large.
  bool admitFrame(uint64_t pixels) { return budget_.admitFrame(static_cast<int64_t>(pixels)); }

 private:
  ReadBudgetScope budget_;
};

}  // namespace fw
