#include "imaging/blend_draw.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/frame_planes.h"

namespace fw {
namespace {

// S over D with source alpha t and destination coverage c, as the compositor composes.
inline void Over(const uint8_t* s, unsigned t, uint8_t* d, uint8_t& c) {
  if (t == 0) return;
  if (t == 255 || c == 0) {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    c = c == 0 ? static_cast<uint8_t>(t) : 255;
    return;
  }
  const unsigned u = 255 - t;
  for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>(std::min(255u, (s[k] * t + d[k] * u) / 255));
  c = static_cast<uint8_t>(std::min(255u, t + c * u / 255));
}

void PaletteColours(const Palette* palette, uint32_t* entries) {
  std::fill(entries, entries + 256, 0u);
  if (!palette) return;
  for (int i = 0; i < palette->count(); ++i) entries[i] = ColourEntry((*palette)[i]);
}

}  // namespace

ImagePtr NewBlendFrame(int width, int height, Palette* palette, uint8_t fill, bool trueColour, bool fillTransparent) {
  ImagePtr frame = CreateSizedImage(width, height);
  if (!frame) return nullptr;
  frame->activePalette = palette;
  std::unique_ptr<IndexedImage> image = AllocIndexedImage(width, height, palette);
  if (!image) return nullptr;
  FillIndexed(*image, fill);
  frame->indexedImage = std::move(image);
  if (!trueColour) return frame;
  if (!PlaneSizeAllowed(Stride24(width), static_cast<size_t>(height))) return nullptr;
  try {
    const Rgb c = palette && fill < palette->count() ? (*palette)[fill] : Rgb{};
    frame->trueColour.resize(Stride24(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
      uint8_t* d = frame->trueColour.data() + static_cast<size_t>(y) * Stride24(width);
      for (int x = 0; x < width; ++x) {
        d[3 * x] = c.b;
        d[3 * x + 1] = c.g;
        d[3 * x + 2] = c.r;
      }
    }
    frame->alpha.assign(Stride8(width) * static_cast<size_t>(height), fillTransparent ? 0 : 255);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return frame;
}

void DrawComposed(ImageBlock& frame, const ImageBlock& canvas, int screenWidth, int screenHeight, int x, int y,
                  const Palette* fallbackPalette) {
  if (!canvas.indexedImage || !frame.indexedImage) return;
  const IndexedImage& src = *canvas.indexedImage;
  IndexedImage& dst = *frame.indexedImage;
  const int w = std::min(screenWidth, src.width), h = std::min(screenHeight, src.height);
  // The part of the canvas that lands inside the frame.
  const int x0 = std::max(0, -x), y0 = std::max(0, -y);
  const int x1 = std::min(w, dst.width - x), y1 = std::min(h, dst.height - y);
  if (x0 >= x1 || y0 >= y1) return;

  const bool keyed = canvas.transparent();
  const uint8_t key = canvas.transparentIndex;
  for (int sy = y0; sy < y1; ++sy) {
    const uint8_t* s = src.row(sy);
    uint8_t* d = dst.row(sy + y) + x;
    for (int sx = x0; sx < x1; ++sx)
      if (!keyed || s[sx] != key) d[sx] = s[sx];
  }
  if (!frame.hasTrueColour()) return;

  const uint8_t* colour = TrueColourRows(canvas);
  const uint8_t* coverage = colour ? AlphaRows(canvas) : nullptr;
  uint32_t entries[256];
  PaletteColours(canvas.activePalette ? canvas.activePalette : fallbackPalette, entries);
  const size_t srcStride24 = Stride24(src.width), srcStride8 = src.stride();
  const size_t dstStride24 = Stride24(dst.width), dstStride8 = dst.stride();
  for (int sy = y0; sy < y1; ++sy) {
    const uint8_t* idx = src.row(sy);
    uint8_t* d = frame.trueColour.data() + static_cast<size_t>(sy + y) * dstStride24;
    uint8_t* c = frame.alpha.data() + static_cast<size_t>(sy + y) * dstStride8;
    for (int sx = x0; sx < x1; ++sx) {
      const size_t dx = static_cast<size_t>(sx + x);
      const uint8_t* own = colour ? colour + static_cast<size_t>(sy) * srcStride24 + static_cast<size_t>(sx) * 3 : nullptr;
      const unsigned t = coverage ? coverage[static_cast<size_t>(sy) * srcStride8 + static_cast<size_t>(sx)] : 0;
      if (coverage && t > 0) {
        Over(own, t, d + dx * 3, c[dx]);
        continue;
      }
      if (keyed && idx[sx] == key) continue;
      if (own && !coverage) {
        Over(own, 255, d + dx * 3, c[dx]);
        continue;
      }
      // Uncovered canvas pixels that the 8-bit picture draws (its fill) show in true colour
      // too, or the two pictures of the frame would disagree.
      const uint32_t e = entries[idx[sx]];
      const uint8_t p[3] = {static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e >> 16)};
      Over(p, 255, d + dx * 3, c[dx]);
    }
  }
}

}  // namespace fw
