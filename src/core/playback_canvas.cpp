#include "core/playback_canvas.h"

#include <algorithm>
#include <new>

#include "core/canvas_span.h"
#include "core/frame_planes.h"

namespace fw {
namespace {

bool AnyRestoresPrevious(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->disposal() == kDisposalPrevious) return true;
  return false;
}

inline uint32_t Opaque(uint8_t r, uint8_t g, uint8_t b) {
  return 0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

inline uint32_t Blend(const uint8_t* bgr, unsigned alpha, uint32_t under) {
  const unsigned rest = 255 - alpha;
  const auto channel = [&](unsigned source, int shift) {
    return (source * alpha + ((under >> shift) & 0xFF) * rest) / 255;
  };
  return 0xFF000000u | channel(bgr[2], 16) << 16 | channel(bgr[1], 8) << 8 | channel(bgr[0], 0);
}

}  // namespace

bool PlaybackCanvas::attach(const AnimHeader* document, uint32_t background, bool hideFirstFrame) {
  document_ = document;
  background_ = 0xFF000000u | (background & 0xFFFFFFu);
  hideFirstFrame_ = hideFirstFrame;
  return rebuild();
}

void PlaybackCanvas::detach() {
  document_ = nullptr;
  std::vector<uint32_t>().swap(pixels_);
  width_ = height_ = 0;
  composed_ = 0;
  last_ = nullptr;
  keepsRestorePicture_ = false;
}

bool PlaybackCanvas::rebuild() {
  if (!document_) return false;
  const AnimHeader* document = document_;
  composed_ = 0;
  last_ = nullptr;
  // The old canvas goes first, so that a larger one is not made beside it.
  std::vector<uint32_t>().swap(pixels_);
  const int width = std::max(1, document->screenWidth);
  const int height = std::max(1, document->screenHeight);
  const bool keep = AnyRestoresPrevious(*document);
  const size_t rows = static_cast<size_t>(height) * (keep ? 2 : 1);
  if (!PlaneSizeAllowed(4 * static_cast<size_t>(width), rows)) {
    detach();
    return false;
  }
  try {
    pixels_.assign(static_cast<size_t>(width) * rows, background_);
  } catch (const std::bad_alloc&) {
    detach();
    return false;
  }
  document_ = document;
  width_ = width;
  height_ = height;
  keepsRestorePicture_ = keep;
  return true;
}

void PlaybackCanvas::setBackground(uint32_t background) {
  background_ = 0xFF000000u | (background & 0xFFFFFFu);
  clear();
}

void PlaybackCanvas::clear() {
  composed_ = 0;
  last_ = nullptr;
  if (!pixels_.empty()) std::fill_n(pixels_.begin(), static_cast<size_t>(width_) * height_, background_);
}

void PlaybackCanvas::compose(int number, bool seek) {
  if (!document_ || number < 1 || number > document_->frameCount || number == composed_) return;
  if (seek && number < composed_) clear();
  // Bounded, so that a frame count that disagrees with the list cannot loop forever.
  for (int guard = 2 * document_->frameCount + 2; composed_ != number && guard > 0; --guard) {
    const ImageBlock* next = last_ ? NextImage(last_) : nullptr;
    int nextNumber = composed_ + 1;
    if (!next) {
      // A loop starts over as the first play did: whatever the last frames left on the
      // screen would otherwise show through the first frame again, every loop.
      clear();
      next = FirstImage(document_);
      nextNumber = 1;
    }
    if (!next) return;
    step(*next, !(hideFirstFrame_ && nextNumber == 1));
    composed_ = nextNumber;
  }
}

void PlaybackCanvas::step(const ImageBlock& frame, bool drawIt) {
  if (last_) {
    if (last_->disposal() == kDisposalBackground) fillRect(*last_);
    else if (last_->disposal() == kDisposalPrevious) restoreScreen();
  }
  if (frame.disposal() == kDisposalPrevious) saveScreen();
  if (drawIt) draw(frame);
  last_ = &frame;
}

void PlaybackCanvas::fillRect(const ImageBlock& frame) {
  const Span xs = ClipToCanvas(frame.left, frame.width, width_);
  const Span ys = ClipToCanvas(frame.top, frame.height, height_);
  if (xs.empty() || ys.empty()) return;
  for (int y = ys.begin; y < ys.end; ++y) std::fill(row(y) + xs.begin, row(y) + xs.end, background_);
}

void PlaybackCanvas::saveScreen() {
  if (!keepsRestorePicture_) return;
  const size_t n = static_cast<size_t>(width_) * height_;
  std::copy_n(pixels_.begin(), n, pixels_.begin() + static_cast<std::ptrdiff_t>(n));
}

void PlaybackCanvas::restoreScreen() {
  if (!keepsRestorePicture_) return;
  const size_t n = static_cast<size_t>(width_) * height_;
  std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(n), n, pixels_.begin());
}

void PlaybackCanvas::draw(const ImageBlock& frame) {
  const IndexedImage* image = frame.indexedImage.get();
  if (!image || image->pixels.size() < image->stride() * static_cast<size_t>(image->height)) return;
  const Span xs = ClipToCanvas(frame.left, std::min(frame.width, image->width), width_);
  const Span ys = ClipToCanvas(frame.top, std::min(frame.height, image->height), height_);
  if (xs.empty() || ys.empty()) return;

  const uint8_t* colour = TrueColourRows(frame);
  const uint8_t* alpha = colour ? AlphaRows(frame) : nullptr;
  // The display copy stands in for the true-colour plane wherever a frame is shown opaque.
  const size_t stride24 = Stride24(image->width);
  if (colour && !alpha && frame.displayColour.size() >= stride24 * static_cast<size_t>(image->height))
    colour = frame.displayColour.data();
  const bool keyed = frame.transparent();
  const uint8_t key = frame.transparentIndex;

  for (int y = ys.begin; y < ys.end; ++y) {
    const size_t sy = static_cast<size_t>(int64_t{y} - frame.top);
    const size_t sx0 = static_cast<size_t>(int64_t{xs.begin} - frame.left);
    const uint8_t* index = image->row(static_cast<int>(sy)) + sx0;
    const uint8_t* bgr = colour ? colour + sy * stride24 + 3 * sx0 : nullptr;
    const uint8_t* a = alpha ? alpha + sy * image->stride() + sx0 : nullptr;
    uint32_t* d = row(y) + xs.begin;
    const int n = xs.end - xs.begin;
    for (int x = 0; x < n; ++x) {
      if (a) {
        d[x] = Blend(bgr + 3 * x, a[x], d[x]);
      } else if (keyed && index[x] == key) {
        continue;
      } else if (bgr) {
        d[x] = Opaque(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
      } else {
        d[x] = 0xFF000000u | (image->colourTable[index[x]] & 0xFFFFFFu);
      }
    }
  }
}

}  // namespace fw
