// Moving the selected frames together and cutting them to the rectangle of the current one.
#include <algorithm>

#include "core/frame_clip.h"
#include "core/undo_history.h"
#include "imaging/crop.h"

namespace fw {
namespace {

int32_t Narrow(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Keeps the part of the frame, placed at (u, v), that lies in the screen rectangle.
void MoveAndCut(ImageBlock& f, int64_t u, int64_t v, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  const int64_t newLeft = std::max(left, u), newTop = std::max(top, v);
  const int64_t width = std::min(u + f.width, right) - newLeft;
  const int64_t height = std::min(v + f.height, bottom) - newTop;
  if (width <= 0 || height <= 0) {
    CropFrame(f, 0, 0, 0, 0);  // nothing of it is kept: one transparent pixel at (0, 0)
    return;
  }
  if (newLeft != u || newTop != v || width != f.width || height != f.height)
    CropFrame(f, static_cast<int>(newLeft - u), static_cast<int>(newTop - v), static_cast<int>(width),
              static_cast<int>(height));
  f.left = Narrow(newLeft);
  f.top = Narrow(newTop);
}

}  // namespace

int ApplyMoveCrop(AnimHeader& doc, const MoveCropState& s) {
  if (s.animationMode) return CropAnimation(doc, s.left, s.top, s.right, s.bottom) ? 2 : 0;
  const ImageBlock* current = ImageAt(&doc, s.frameIndex);
  if (!current) return 0;
  bool anySelected = false;
  for (const ImageBlock* f = FirstImage(&doc); f && !anySelected; f = NextImage(f)) anySelected = f->selected;
  if (!anySelected) return 0;

  RecordUndo(undo_kind::kCropMoveFrames, doc, nullptr, {}, 0);
  const int64_t x0 = current->left, y0 = current->top;
  // The rectangle on the screen, after the move.
  const int64_t left = std::max<int64_t>(int64_t{s.left} + s.x, 0);
  const int64_t top = std::max<int64_t>(int64_t{s.top} + s.y, 0);
  const int64_t right = std::min<int64_t>(int64_t{s.right} + s.x, doc.screenWidth);
  const int64_t bottom = std::min<int64_t>(int64_t{s.bottom} + s.y, doc.screenHeight);
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (!f->selected) continue;
    MoveAndCut(*f, int64_t{s.x} + f->left - x0, int64_t{s.y} + f->top - y0, left, top, right, bottom);
  }
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  doc.encodedSize = -1;
  return 2;
}

}  // namespace fw
