#include "core/frame_clip.h"

#include <algorithm>
#include <cstring>

namespace fw {
namespace {

// Moves the rows of a sub-rectangle to the start of a plane, in place.
void CompactRows(uint8_t* plane, size_t oldStride, size_t newStride, int x, int y, int h, size_t bytesPerPixel,
                 int w) {
  for (int row = 0; row < h; ++row) {
    const uint8_t* src = plane + (static_cast<size_t>(y + row) * oldStride) + static_cast<size_t>(x) * bytesPerPixel;
    std::memmove(plane + static_cast<size_t>(row) * newStride, src, static_cast<size_t>(w) * bytesPerPixel);
  }
}

}  // namespace

void CropFrame(ImageBlock& frame, int x, int y, int w, int h) {
  if (!frame.indexedImage) return;
  IndexedImage& image = *frame.indexedImage;
  if (w <= 0 || h <= 0) {
    SetImageHeaderSize(image, 1, 1);
    frame.width = frame.height = 1;
    frame.left = frame.top = 0;
    if (!frame.transparent()) {
      frame.transparentIndex = 0;
      SetTransparency(frame, true);
    }
    image.pixels.assign(Stride8(1), frame.transparentIndex);
    frame.trueColour.clear();
    frame.alpha.clear();
    frame.displayColour.clear();
    return;
  }
  // Never read outside the stored planes, whatever the caller asked for.
  x = std::clamp(x, 0, image.width - 1);
  y = std::clamp(y, 0, image.height - 1);
  w = std::min(w, image.width - x);
  h = std::min(h, image.height - y);
  const int oldWidth = image.width;

  CompactRows(image.pixels.data(), Stride8(oldWidth), Stride8(w), x, y, h, 1, w);
  image.pixels.resize(Stride8(w) * static_cast<size_t>(h));
  if (frame.hasTrueColour()) {
    frame.displayColour.clear();
    if (!frame.alpha.empty()) {
      CompactRows(frame.alpha.data(), Stride8(oldWidth), Stride8(w), x, y, h, 1, w);
      frame.alpha.resize(Stride8(w) * static_cast<size_t>(h));
    }
    CompactRows(frame.trueColour.data(), Stride24(oldWidth), Stride24(w), x, y, h, 3, w);
    frame.trueColour.resize(Stride24(w) * static_cast<size_t>(h));
  }
  SetImageHeaderSize(image, w, h);
  frame.width = w;
  frame.height = h;
  frame.left += x;
  frame.top += y;
}

bool FrameInsideScreen(const ImageBlock& f, int screenWidth, int screenHeight) {
  return f.left >= 0 && f.top >= 0 && f.left + f.width <= screenWidth && f.top + f.height <= screenHeight;
}

int ClipFrameToScreen(ImageBlock& f, int screenWidth, int screenHeight) {
  if (FrameInsideScreen(f, screenWidth, screenHeight)) return 1;
  const int x = std::max(0, -f.left);
  const int y = std::max(0, -f.top);
  const int w = std::min(f.left + f.width, screenWidth) - std::max(f.left, 0);
  const int h = std::min(f.top + f.height, screenHeight) - std::max(f.top, 0);
  CropFrame(f, x, y, w, h);
  return 0;
}

void ClipAllToScreen(AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    ClipFrameToScreen(*f, document.screenWidth, document.screenHeight);
}

}  // namespace fw
