#include "core/compositor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/canvas_span.h"
#include "core/frame_planes.h"

namespace fw {
namespace {

// Frame pixels over canvas pixels, skipping the transparent index; eight at a time, since
// this is the inner loop of every transparent frame.
void CopyKeyed(uint8_t* d, const uint8_t* s, size_t n, uint8_t key) {
  constexpr uint64_t kOnes = 0x0101010101010101u, kLow7 = 0x7F7F7F7F7F7F7F7Fu, kHigh = 0x8080808080808080u;
  const uint64_t keys = key * kOnes;
  size_t x = 0;
  for (; x + 8 <= n; x += 8) {
    uint64_t sv, dv;
    std::memcpy(&sv, s + x, 8);
    std::memcpy(&dv, d + x, 8);
    const uint64_t diff = sv ^ keys;  // a zero byte where the pixel is transparent
    // The high bit of each byte says "not zero"; the sum cannot carry into the next byte.
    const uint64_t opaque = (((diff & kLow7) + kLow7) | diff) & kHigh;
    const uint64_t take = (opaque >> 7) * 0xFF;
    dv = (sv & take) | (dv & ~take);
    std::memcpy(d + x, &dv, 8);
  }
  for (; x < n; ++x)
    if (s[x] != key) d[x] = s[x];
}

bool ValidPixels(const ImageBlock& f) {
  if (!f.indexedImage) return false;
  const IndexedImage& image = *f.indexedImage;
  return image.pixels.size() >= image.stride() * static_cast<size_t>(image.height);
}

// Coverage compositing of one pixel: S over D with source alpha t and canvas coverage c.
inline void Over(const uint8_t* s, unsigned t, uint8_t* d, uint8_t& c) {
  if (c == 0) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    c = static_cast<uint8_t>(t);
    return;
  }
  if (t == 255) {  // the general rule gives exactly S and full coverage
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    c = 255;
    return;
  }
  if (t == 0) return;  // and here exactly what was there
  const unsigned u = 255 - t;
  for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>(std::min(255u, (s[k] * t + d[k] * u) / 255));
  c = static_cast<uint8_t>(std::min(255u, t + c * u / 255));
}

}  // namespace

const Palette& DefaultCanvasPalette() {
  static const std::unique_ptr<Palette> palette = [] {
    static const Rgb colours[20] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    return Palette::Create(colours, 20);
  }();
  return *palette;
}

// Indexes drawn from different palettes cannot share one 8-bit canvas: such a canvas shows
// the right colours only in its true-colour plane.
static bool NeedsTrueColourCanvas(const AnimHeader& document) {
  const Palette* global = document.globalPalette.get();
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->hasTrueColour()) return true;
    if (f->localPalette && !(global && f->localPalette->sameEntries(*global))) return true;
  }
  return false;
}

Compositor::Compositor(const AnimHeader& document, bool trueColour)
    : document_(document), trueColourMode_(trueColour || NeedsTrueColourCanvas(document)) {}

void Compositor::release() {
  canvas_.reset();
  saved_ = Saved{};
  current_ = nullptr;
  currentIndex_ = -1;
}

bool Compositor::createCanvas(const ImageBlock& firstFrame) {
  ImagePtr canvas = CreateSizedImage(document_.screenWidth, document_.screenHeight);
  if (!canvas) return false;
  const Palette* table = document_.globalPalette ? document_.globalPalette.get() : &DefaultCanvasPalette();
  canvas->indexedImage = AllocIndexedImage(document_.screenWidth, document_.screenHeight, table);
  if (!canvas->indexedImage) return false;
  canvas->activePalette = document_.globalPalette.get();
  IndexedImage& image = *canvas->indexedImage;
  if (trueColourMode_) {
    canvas->trueColour.assign(Stride24(image.width) * static_cast<size_t>(image.height), 0);
    canvas->alpha.assign(image.stride() * static_cast<size_t>(image.height), 0);
  }
  FillIndexed(image, firstFrame.transparent() ? firstFrame.transparentIndex : document_.backgroundIndex);
  // A screen of 0 is stored as one pixel; that pixel is not part of the picture.
  canvasWidth_ = std::clamp(document_.screenWidth, 0, image.width);
  canvasHeight_ = std::clamp(document_.screenHeight, 0, image.height);
  canvas_ = std::move(canvas);
  return true;
}

bool Compositor::saveCanvas() {
  saved_.valid = false;
  saved_.indexed.assign(canvas_->indexedImage->pixels.begin(), canvas_->indexedImage->pixels.end());
  saved_.colour.assign(canvas_->trueColour.begin(), canvas_->trueColour.end());
  saved_.alpha.assign(canvas_->alpha.begin(), canvas_->alpha.end());
  saved_.valid = true;
  return true;
}

bool Compositor::draw(const ImageBlock& f, int index) {
  if (f.disposal() == kDisposalPrevious && !saveCanvas()) return false;

  if (ValidPixels(f)) {
    const IndexedImage& src = *f.indexedImage;
    const Span xs = ClipToCanvas(f.left, std::min(f.width, src.width), canvasWidth_);
    const Span ys = ClipToCanvas(f.top, std::min(f.height, src.height), canvasHeight_);
    if (!xs.empty() && !ys.empty()) {
      IndexedImage& dst = *canvas_->indexedImage;
      const size_t n = static_cast<size_t>(xs.end - xs.begin);
      const int64_t sx = int64_t{xs.begin} - f.left, sy = int64_t{ys.begin} - f.top;
      for (int y = ys.begin; y < ys.end; ++y) {
        const uint8_t* s = src.row(static_cast<int>(sy + (y - ys.begin))) + sx;
        uint8_t* d = dst.row(y) + xs.begin;
        if (!f.transparent()) {
          std::memcpy(d, s, n);
        } else {
          CopyKeyed(d, s, n, f.transparentIndex);
        }
      }
      if (trueColourMode_) drawTrueColour(f, xs.begin, ys.begin, xs.end, ys.end);
    }
  }

  canvas_->activePalette = f.activePalette;
  canvas_->transparentIndex = f.transparentIndex;
  canvas_->controlFlags = static_cast<uint8_t>(f.controlFlags & 0x1D);  // transparency and disposal
  canvas_->delay = f.delay;
  current_ = &f;
  currentIndex_ = index;
  return true;
}

// Frames without a true-colour plane contribute their palette colours, opaque except at the
// transparent index; they are expanded pixel by pixel rather than by adding planes to them,
// so the document is never touched.
void Compositor::drawTrueColour(const ImageBlock& f, int x0, int y0, int x1, int y1) {
  const IndexedImage& src = *f.indexedImage;
  const uint8_t* colour = TrueColourRows(f);
  const uint8_t* alpha = AlphaRows(f);
  const size_t srcStride24 = Stride24(src.width), srcStride8 = src.stride();
  const size_t dstStride24 = Stride24(canvas_->indexedImage->width), dstStride8 = canvas_->indexedImage->stride();
  const bool keyed = f.transparent();
  const uint8_t key = f.transparentIndex;
  uint32_t entries[256];
  if (!colour) PaletteEntries(f, entries);

  for (int y = y0; y < y1; ++y) {
    const size_t sy = static_cast<size_t>(int64_t{y} - f.top);
    const size_t sx0 = static_cast<size_t>(int64_t{x0} - f.left);
    const uint8_t* idx = src.pixels.data() + sy * srcStride8 + sx0;
    uint8_t* d = canvas_->trueColour.data() + static_cast<size_t>(y) * dstStride24 + static_cast<size_t>(x0) * 3;
    uint8_t* c = canvas_->alpha.data() + static_cast<size_t>(y) * dstStride8 + static_cast<size_t>(x0);
    const int n = x1 - x0;
    if (colour) {
      const uint8_t* s = colour + sy * srcStride24 + sx0 * 3;
      const uint8_t* a = alpha ? alpha + sy * srcStride8 + sx0 : nullptr;
      for (int x = 0; x < n; ++x) {
        // Without an alpha plane the transparent index still hides the pixel, as it does in
        // the 8-bit canvas, so both pictures agree.
        const unsigned t = a ? a[x] : (keyed && idx[x] == key ? 0 : 255);
        Over(s + 3 * x, t, d + 3 * x, c[x]);
      }
    } else {
      for (int x = 0; x < n; ++x) {
        const uint32_t e = entries[idx[x]];
        const uint8_t s[3] = {static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e >> 16)};
        Over(s, keyed && idx[x] == key ? 0 : 255, d + 3 * x, c[x]);
      }
    }
  }
}

bool Compositor::dispose(const ImageBlock& next) {
  const ImageBlock& f = *current_;
  switch (f.disposal()) {
    case kDisposalPrevious:
      if (!saved_.valid) return false;
      // The saved planes become the canvas; its old buffers stay for the next save to reuse.
      std::swap(canvas_->indexedImage->pixels, saved_.indexed);
      std::swap(canvas_->trueColour, saved_.colour);
      std::swap(canvas_->alpha, saved_.alpha);
      saved_.valid = false;
      return true;
    case kDisposalBackground: {
      const uint8_t fill = next.transparent() ? next.transparentIndex : document_.backgroundIndex;
      const Span xs = ClipToCanvas(f.left, f.width, canvasWidth_);
      const Span ys = ClipToCanvas(f.top, f.height, canvasHeight_);
      if (xs.empty() || ys.empty()) return true;
      IndexedImage& image = *canvas_->indexedImage;
      const size_t n = static_cast<size_t>(xs.end - xs.begin);
      for (int y = ys.begin; y < ys.end; ++y) std::memset(image.row(y) + xs.begin, fill, n);
      // Only the disposed rectangle becomes uncovered: the rest of the picture is still what
      // a viewer shows, so its coverage stays.
      if (trueColourMode_)
        for (int y = ys.begin; y < ys.end; ++y)
          std::memset(canvas_->alpha.data() + static_cast<size_t>(y) * image.stride() + xs.begin, 0, n);
      return true;
    }
    default:
      return true;
  }
}

const ImageBlock* Compositor::first() {
  release();
  const ImageBlock* f = FirstImage(&document_);
  if (!f) return nullptr;
  try {
    if (!createCanvas(*f) || !draw(*f, 0)) {
      release();
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    release();
    return nullptr;
  }
  return canvas_.get();
}

const ImageBlock* Compositor::next() {
  if (!canvas_ || !current_) return nullptr;
  const ImageBlock* f = NextImage(current_);
  if (!f) {
    release();
    return nullptr;
  }
  try {
    if (!dispose(*f) || !draw(*f, currentIndex_ + 1)) {
      release();
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    release();
    return nullptr;
  }
  return canvas_.get();
}

CompositorPtr CreateCompositor(const AnimHeader& document) {
  try {
    return std::make_unique<Compositor>(document);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const ImageBlock* FirstComposedFrame(Compositor& compositor) { return compositor.first(); }
const ImageBlock* NextComposedFrame(Compositor& compositor) { return compositor.next(); }
void FreeCompositor(CompositorPtr compositor) { compositor.reset(); }

}  // namespace fw
