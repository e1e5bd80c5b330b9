#include "core/true_colour_release.h"

#include "core/frame_planes.h"

namespace fw {

bool KeepsTrueColour(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->hasTrueColour()) return true;
  return false;
}

int ReleaseTrueColour(AnimHeader& document) {
  int released = 0;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!f->hasTrueColour() || !f->indexedImage) continue;
    RemoveTrueColour(*f);
    ++released;
  }
  return released;
}

}  // namespace fw
