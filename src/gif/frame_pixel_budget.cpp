#include "gif/frame_pixel_budget.h"

#include <atomic>

namespace fw {
namespace {
// 64 Mi pixels: a few dozen blank screen-sized frames, enough for the damaged files the reader
// means to keep, and 64 MiB at most for a file that claims what it does not hold.
std::atomic<uint64_t> g_maxBlankPixels{uint64_t{1} << 26};
}  // namespace

uint64_t MaxBlankPixels() { return g_maxBlankPixels.load(); }
void SetMaxBlankPixels(uint64_t pixels) { g_maxBlankPixels.store(pixels); }

bool FramePixelBudget::admit(uint64_t pixels, uint64_t dataBytes) {
  const uint64_t fillable = MostPixelsFromData(dataBytes);
  const uint64_t blank = pixels > fillable ? pixels - fillable : 0;
  const uint64_t limit = MaxBlankPixels();
  if (blank > 0 && (blank_ > limit || blank > limit - blank_)) return false;
  blank_ += blank;
  return true;
}

}  // namespace fw
