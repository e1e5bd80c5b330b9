#include "core/frame_clip.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/display_mask.h"
#include "core/message_sink.h"
#include "core/string_table.h"

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
  // The mask describes the old rows; it is built again from the cropped ones at the end.
  DropDisplayMask(frame);
  if (w <= 0 || h <= 0) {
    SetImageHeaderSize(image, 1, 1);
    frame.width = frame.height = 1;
    frame.left = frame.top = 0;
    if (!frame.transparent()) {
      frame.transparentIndex = 0;
      frame.controlFlags |= 1;
    }
    image.pixels.assign(Stride8(1), frame.transparentIndex);
    frame.trueColour.clear();
    frame.alpha.clear();
    frame.displayColour.clear();
    BuildDisplayMask(frame);
    return;
  }
  // Never read outside the stored planes, whatever the caller asked for.
  x = std::clamp(x, 0, image.width - 1);
  y = std::clamp(y, 0, image.height - 1);
  w = std::min(w, image.width - x);
  h = std::min(h, image.height - y);
  const int oldWidth = image.width;
  const size_t oldHeight = static_cast<size_t>(image.height);
  if (image.pixels.size() < Stride8(oldWidth) * oldHeight) {
    BuildDisplayMask(frame);
    return;
  }
  // Planes shorter than the frame cannot be cut safely; they are dropped instead.
  if (frame.trueColour.size() < Stride24(oldWidth) * oldHeight) frame.trueColour.clear();
  if (frame.trueColour.empty() || frame.alpha.size() < Stride8(oldWidth) * oldHeight) frame.alpha.clear();

  CompactRows(image.pixels.data(), Stride8(oldWidth), Stride8(w), x, y, h, 1, w);
  image.pixels.resize(Stride8(w) * static_cast<size_t>(h));
  frame.displayColour.clear();
  if (frame.hasTrueColour()) {
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
  BuildDisplayMask(frame);
}

bool FrameInsideScreen(const ImageBlock& f, int screenWidth, int screenHeight) {
  // 64-bit sums: offsets near the int32 limits must not wrap into the screen.
  return f.left >= 0 && f.top >= 0 && int64_t{f.left} + f.width <= screenWidth &&
         int64_t{f.top} + f.height <= screenHeight;
}

int ClipFrameToScreen(ImageBlock& f, int screenWidth, int screenHeight) {
  if (FrameInsideScreen(f, screenWidth, screenHeight)) return 1;
  const int64_t left = f.left, top = f.top;
  const int64_t x = std::max<int64_t>(0, -left);
  const int64_t y = std::max<int64_t>(0, -top);
  const int64_t w = std::min<int64_t>(left + f.width, screenWidth) - std::max<int64_t>(left, 0);
  const int64_t h = std::min<int64_t>(top + f.height, screenHeight) - std::max<int64_t>(top, 0);
  if (w <= 0 || h <= 0 || x >= f.width || y >= f.height) {
    CropFrame(f, 0, 0, 0, 0);  // wholly outside: the 1 x 1 transparent frame at (0, 0)
  } else {
    CropFrame(f, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
  }
  return 0;
}

void ClipAllToScreen(AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    ClipFrameToScreen(*f, document.screenWidth, document.screenHeight);
}

bool AnyFrameOutsideScreen(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (!FrameInsideScreen(*f, document.screenWidth, document.screenHeight)) return true;
  return false;
}

int ClipBeforeSave(AnimHeader& document, bool interactive) {
  if (!AnyFrameOutsideScreen(document)) return 1;
  if (interactive) {
    const Answer answer =
        Messages().ask(msg::kClipFramesQuestion, MessageText(msg::kClipFramesQuestion),
                       MessageText(msg::kClipFramesCaption), Buttons::YesNo, Answer::Yes);
    if (answer != Answer::Yes) return 0;
  }
  ClipAllToScreen(document);
  return 1;
}

}  // namespace fw
