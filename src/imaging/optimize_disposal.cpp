#include "imaging/optimize_disposal.h"

#include <cstring>

namespace fw {
namespace {

bool HasReadablePixels(const ImageBlock& f) {
  if (!f.indexedImage || f.width <= 0 || f.height <= 0) return false;
  const IndexedImage& pixels = *f.indexedImage;
  return pixels.width == f.width && pixels.height == f.height &&
         pixels.pixels.size() >= pixels.stride() * static_cast<size_t>(pixels.height);
}

}  // namespace

bool CoversOpaquely(const ImageBlock& frame, int left, int top, int width, int height) {
  // True-colour planes with alpha draw what the indexes do not say.
  if (!HasReadablePixels(frame) || frame.hasTrueColour()) return false;
  if (left < frame.left || top < frame.top || int64_t{left} + width > int64_t{frame.left} + frame.width ||
      int64_t{top} + height > int64_t{frame.top} + frame.height)
    return false;
  if (!frame.transparent()) return true;
  const uint8_t key = frame.transparentIndex;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = frame.indexedImage->row(top - frame.top + y) + (left - frame.left);
    if (std::memchr(row, key, static_cast<size_t>(width))) return false;
  }
  return true;
}

int LeaveWhereCoveredNext(AnimHeader& document) {
  int changed = 0;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    const int disposal = f->disposal();
    if (disposal != kDisposalBackground && disposal != kDisposalPrevious) continue;
    // After the last frame the first one is drawn again, by viewers that loop.
    const ImageBlock* next = NextImage(f);
    if (!next && document.frameCount > 1) next = FirstImage(&document);
    if (!next || next == f || next->disposal() == kDisposalPrevious) continue;
    if (!CoversOpaquely(*next, f->left, f->top, f->width, f->height)) continue;
    SetDisposal(*f, kDisposalLeave);
    ++changed;
  }
  return changed;
}

}  // namespace fw
