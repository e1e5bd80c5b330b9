#include "imaging/optimize_removal.h"

#include "core/preferences.h"

namespace fw {

bool CanFoldIntoPrevious(const ImageBlock& image) {
  const ImageBlock* previous = PrevImage(&image);
  if (!previous) return false;
  // Restoring the background or the previous picture makes the screen during this image's
  // time differ from what the previous image showed.
  const int disposal = previous->disposal();
  if (disposal == kDisposalBackground || disposal == kDisposalPrevious) return false;
  const int64_t sum = int64_t{previous->delay} + image.delay;
  if (sum > INT32_MAX) return false;
  return GifDelayFromDocument(static_cast<int32_t>(sum), Prefs().timeBase()) <= 0xFFFF;
}

ImageBlock* FoldIntoPrevious(AnimHeader& document, ImageBlock& image) {
  ImageBlock* next = NextImage(&image);
  PrevImage(&image)->delay += image.delay;
  RemoveBlock(&image);
  --document.frameCount;
  return next;
}

}  // namespace fw
