#include "formats/apng_source_blend.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/frame_planes.h"

namespace fw {
namespace {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 0;
};
using Picture = std::vector<Rgba>;

Rgba FramePixel(const ImageBlock& f, const uint8_t* colour, const uint8_t* alpha, const uint32_t* entries, int x,
                int y) {
  const int w = PlaneWidth(f);
  if (colour) {
    const uint8_t* c = colour + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
    const uint8_t a = alpha ? alpha[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] : 255;
    return {c[2], c[1], c[0], a};
  }
  if (!f.indexedImage) return {};
  const uint8_t index = f.indexedImage->row(y)[x];
  if (f.transparent() && index == f.transparentIndex) return {};
  const uint32_t e = entries[index];
  return {static_cast<uint8_t>(e >> 16), static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e), 255};
}

// The APNG "over" operator on straight (not premultiplied) colours.
void Over(const Rgba& s, Rgba& d) {
  if (s.a == 255 || d.a == 0) {
    d = s;
    return;
  }
  if (s.a == 0) return;
  const int outA = s.a + d.a * (255 - s.a) / 255;
  auto mix = [&](int sc, int dc) { return static_cast<uint8_t>((sc * s.a + dc * d.a * (255 - s.a) / 255) / outA); };
  d = {mix(s.r, d.r), mix(s.g, d.g), mix(s.b, d.b), static_cast<uint8_t>(outA)};
}

// Plays the animation by the APNG rules; each picture goes to `shown`. `matters` tells whether
// a "source" frame changed a pixel that drawing it over would have left different.
void Play(const ImageBlock* start, int width, int height, std::vector<Picture>& shown,
          bool& matters) {
  Picture canvas(static_cast<size_t>(width) * static_cast<size_t>(height)), saved;
  matters = false;
  for (const ImageBlock* f = start; f; f = NextImage(f)) {
    if (f->disposal() == kDisposalPrevious) saved = canvas;
    const uint8_t* colour = TrueColourRows(*f);
    const uint8_t* alpha = AlphaRows(*f);
    uint32_t entries[256];
    PaletteEntries(*f, entries);
    const int fw = PlaneWidth(*f), fh = PlaneHeight(*f);
    const int x0 = std::max(0, -f->left), y0 = std::max(0, -f->top);
    const int x1 = std::min(fw, width - f->left), y1 = std::min(fh, height - f->top);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const Rgba s = FramePixel(*f, colour, alpha, entries, x, y);
        Rgba& d = canvas[static_cast<size_t>(f->top + y) * static_cast<size_t>(width) + static_cast<size_t>(f->left + x)];
        if (f->blend) {
          Over(s, d);
        } else {
          matters |= s.a != 255 && d.a != 0;
          d = s;
        }
      }
    shown.push_back(canvas);
    if (f->disposal() == kDisposalPrevious && f != start) {
      canvas = saved;
    } else if (f->disposal() == kDisposalBackground || f->disposal() == kDisposalPrevious) {
      // A first frame restoring to "previous" restores to the clear canvas.
      for (int y = std::max(0, f->top); y < std::min(height, f->top + fh); ++y)
        for (int x = std::max(0, f->left); x < std::min(width, f->left + fw); ++x)
          canvas[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = {};
    }
  }
}

}  // namespace

bool ReproduceSourceBlending(AnimHeader& doc) {
  const int width = doc.screenWidth, height = doc.screenHeight;
  ImageBlock* first = FirstImage(&doc);
  if (!first || width <= 0 || height <= 0) return true;
  ImageBlock* start = doc.hideFirstFrame && NextImage(first) ? NextImage(first) : first;
  try {
    std::vector<Picture> shown;
    bool matters = false;
    Play(start, width, height, shown, matters);
    if (!matters) return true;

    // Build every replacement first, so that running out of memory leaves the document whole.
    std::vector<ImagePtr> frames;
    size_t k = 0;
    for (const ImageBlock* f = start; f; f = NextImage(f), ++k) {
      ImagePtr picture = CreateSizedImage(width, height);
      if (!picture) return false;
      picture->delay = f->delay;
      picture->blend = 1;
      SetDisposal(*picture, kDisposalBackground);
      uint8_t* colour = AddTrueColour(*picture, true);
      uint8_t* alpha = AddAlpha(*picture, true);
      if (!colour || !alpha) return false;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const Rgba& p = shown[k][static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
          uint8_t* c = colour + static_cast<size_t>(y) * Stride24(width) + 3 * static_cast<size_t>(x);
          c[0] = p.b;
          c[1] = p.g;
          c[2] = p.r;
          alpha[static_cast<size_t>(y) * Stride8(width) + static_cast<size_t>(x)] = p.a;
        }
      frames.push_back(std::move(picture));
    }
    // The hidden picture, when there is one, stays; after it the canvas is clear again.
    if (start != first) SetDisposal(*first, kDisposalBackground);
    while (ImageBlock* old = start != first ? NextImage(first) : FirstImage(&doc)) {
      DetachBlock(old);
      --doc.frameCount;
    }
    for (ImagePtr& f : frames) AppendBlock(doc, std::move(f));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace fw
