// The scaling rules shared by both methods, and what the dialog asks about its scope.
#include <algorithm>

#include "imaging/resize.h"

namespace fw {

int32_t ScaleLength(int32_t length, int32_t oldSize, int32_t newSize) {
  oldSize = std::max(oldSize, 1);
  const int64_t scaled = (int64_t{length} * newSize + oldSize / 2) / oldSize;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, 1, INT32_MAX));
}

int32_t ScalePosition(int32_t position, int32_t oldSize, int32_t newSize) {
  oldSize = std::max(oldSize, 1);
  const int64_t scaled = (int64_t{position} * newSize + oldSize / 2) / oldSize;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, INT32_MIN, INT32_MAX));
}

bool InResizeScope(const ImageBlock& image, const ScaleRecord& scale) { return !scale.selectedOnly || image.selected; }

bool ScopeHasTrueColour(const AnimHeader& document, bool selectedOnly) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if ((!selectedOnly || f->selected) && f->hasTrueColour()) return true;
  return false;
}

bool BicubicMayShowErrors(const AnimHeader& document, bool selectedOnly) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (selectedOnly && !f->selected) continue;
    if ((f->transparent() || f->left != 0 || f->top != 0) && f->disposal() != kDisposalBackground) return true;
  }
  return false;
}

}  // namespace fw
