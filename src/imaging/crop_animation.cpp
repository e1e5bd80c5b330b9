// Cropping the logical screen and every image with it.
#include <algorithm>

#include "core/frame_clip.h"
#include "core/undo_history.h"
#include "imaging/crop.h"

namespace fw {

bool CropAnimation(AnimHeader& doc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (doc.screenWidth <= 0 || doc.screenHeight <= 0) return false;
  left = std::clamp(left, 0, doc.screenWidth - 1);
  top = std::clamp(top, 0, doc.screenHeight - 1);
  right = std::clamp(right, left + 1, doc.screenWidth);
  bottom = std::clamp(bottom, top + 1, doc.screenHeight);
  if (left == 0 && top == 0 && right == doc.screenWidth && bottom == doc.screenHeight) {
    RecordUndo(undo_kind::kNop, doc, nullptr, {}, 0);
    return false;
  }
  RecordUndo(undo_kind::kCropAnimation, doc, nullptr, {}, 0);
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    const int64_t x = f->left, y = f->top;
    const int64_t keepLeft = std::max<int64_t>(x, left), keepTop = std::max<int64_t>(y, top);
    const int64_t keepRight = std::min<int64_t>(x + f->width, right);
    const int64_t keepBottom = std::min<int64_t>(y + f->height, bottom);
    if (keepRight <= keepLeft || keepBottom <= keepTop) {
      // Wholly outside: one transparent pixel, left at (0, 0) inside the new screen.
      CropFrame(*f, 0, 0, 0, 0);
      continue;
    }
    const int w = static_cast<int>(keepRight - keepLeft), h = static_cast<int>(keepBottom - keepTop);
    if (w != f->width || h != f->height)
      CropFrame(*f, static_cast<int>(keepLeft - x), static_cast<int>(keepTop - y), w, h);
    f->left = static_cast<int32_t>(keepLeft - left);
    f->top = static_cast<int32_t>(keepTop - top);
  }
  doc.screenWidth = right - left;
  doc.screenHeight = bottom - top;
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  doc.encodedSize = -1;
  return true;
}

}  // namespace fw
