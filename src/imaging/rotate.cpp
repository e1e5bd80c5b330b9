// Quarter turns, half turns and mirrorings of frame planes.
#include <new>
#include <vector>

#include "core/undo_history.h"
#include "imaging/transforms.h"

namespace fw {
namespace {

bool QuarterTurn(int code) { return code == transform::kRotateClockwise || code == transform::kRotateCounterClockwise; }

// Where source pixel (x, y) of a w x h plane lands.
struct Mapping {
  int code, w, h;
  void operator()(int x, int y, int& nx, int& ny) const {
    switch (code) {
      case transform::kRotateClockwise: nx = h - 1 - y; ny = x; break;
      case transform::kRotateCounterClockwise: nx = y; ny = w - 1 - x; break;
      case transform::kRotateHalf: nx = w - 1 - x; ny = h - 1 - y; break;
      case transform::kMirrorLeftRight: nx = w - 1 - x; ny = y; break;
      default: nx = x; ny = h - 1 - y; break;
    }
  }
};

// Transforms a plane of `bpp` bytes per pixel with rows of `stride(width)` bytes.
template <typename Bytes>
Bytes TransformPlane(const uint8_t* src, int w, int h, int bpp, size_t (*stride)(int), int code) {
  const bool quarter = QuarterTurn(code);
  const int nw = quarter ? h : w, nh = quarter ? w : h;
  const size_t srcStride = stride(w), dstStride = stride(nw);
  Bytes out(dstStride * static_cast<size_t>(nh), 0);
  const Mapping map{code, w, h};
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = src + static_cast<size_t>(y) * srcStride;
    for (int x = 0; x < w; ++x) {
      int nx, ny;
      map(x, y, nx, ny);
      uint8_t* d = out.data() + static_cast<size_t>(ny) * dstStride + static_cast<size_t>(nx) * bpp;
      for (int k = 0; k < bpp; ++k) d[k] = row[static_cast<size_t>(x) * bpp + k];
    }
  }
  return out;
}

size_t Stride8Of(int w) { return Stride8(w); }
size_t Stride24Of(int w) { return Stride24(w); }

}  // namespace

bool RotateFrame(AnimHeader& document, ImageBlock& frame, int code, bool* screenGrew) {
  if (screenGrew) *screenGrew = false;
  if (!frame.indexedImage) return false;
  IndexedImage& image = *frame.indexedImage;
  const int w = image.width, h = image.height;
  try {
    PixelBytes pixels = TransformPlane<PixelBytes>(image.pixels.data(), w, h, 1, Stride8Of, code);
    std::vector<uint8_t> colour, alpha;
    using Bytes = std::vector<uint8_t>;
    if (frame.hasTrueColour()) colour = TransformPlane<Bytes>(frame.trueColour.data(), w, h, 3, Stride24Of, code);
    if (!frame.alpha.empty()) alpha = TransformPlane<Bytes>(frame.alpha.data(), w, h, 1, Stride8Of, code);
    // Nothing below can fail: the frame changes all at once or not at all.
    image.pixels = std::move(pixels);
    if (frame.hasTrueColour()) frame.trueColour = std::move(colour);
    if (!frame.alpha.empty()) frame.alpha = std::move(alpha);
    frame.displayColour.clear();
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (QuarterTurn(code)) {
    SetImageHeaderSize(image, h, w);
    std::swap(frame.width, frame.height);
    const int right = frame.left + frame.width, bottom = frame.top + frame.height;
    if (right > document.screenWidth || bottom > document.screenHeight) {
      document.screenWidth = std::max(document.screenWidth, right);
      document.screenHeight = std::max(document.screenHeight, bottom);
      if (screenGrew) *screenGrew = true;
    }
  }
  return true;
}

bool RotateAllFrames(AnimHeader& document, int code) {
  const int W = document.screenWidth, H = document.screenHeight;
  bool ok = true;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    const int x = f->left, y = f->top, w = f->width, h = f->height;
    // The screen is turned as a whole afterwards, so it must not grow per frame here.
    const int keepW = document.screenWidth, keepH = document.screenHeight;
    if (!RotateFrame(document, *f, code)) {
      ok = false;
      continue;
    }
    document.screenWidth = keepW;
    document.screenHeight = keepH;
    switch (code) {
      case transform::kRotateClockwise: f->left = H - y - h; f->top = x; break;
      case transform::kRotateHalf: f->left = W - x - w; f->top = H - y - h; break;
      case transform::kRotateCounterClockwise: f->left = y; f->top = W - x - w; break;
      case transform::kMirrorLeftRight: f->left = W - x - w; break;
      default: f->top = H - y - h; break;
    }
  }
  if (QuarterTurn(code)) std::swap(document.screenWidth, document.screenHeight);
  return ok;
}

void InstallTransformUndo() {
  SetRotationApplier([](AnimHeader& document, int command, int frameIndex) {
    if (frameIndex < 0) {
      RotateAllFrames(document, command);
    } else if (ImageBlock* f = ImageAt(&document, frameIndex)) {
      RotateFrame(document, *f, command);
    }
  });
}

}  // namespace fw
