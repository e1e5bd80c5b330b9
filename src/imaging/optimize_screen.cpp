#include "imaging/optimize_screen.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/colour_index.h"

namespace fw {
namespace {

// For each index the first one with its colour (itself when the palette lacks it).
void FirstIndexes(const Palette* palette, uint8_t* first) {
  const ColourIndex colours(palette);
  const int count = palette ? std::min(palette->count(), 256) : 0;
  for (int v = 0; v < 256; ++v) first[v] = static_cast<uint8_t>(v < count ? colours.find(PackedColour((*palette)[v])) : v);
}

}  // namespace

bool OptimizeScreen::allocate(int width, int height) {
  width_ = std::max(width, 1);
  height_ = std::max(height, 1);
  stride_ = Stride8(width_);
  // The changed plane holds one image at a time; images lie inside the screen, so a
  // screen-sized plane fits any of them in its own row layout.
  if (!PlaneSizeAllowed(stride_, static_cast<size_t>(height_) * 7)) return false;
  const size_t plane = stride_ * static_cast<size_t>(height_);
  try {
    colours_.assign(plane, 0);
    block_.assign(3 * plane, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  colour_ = colours_.data();
  state_ = block_.data();
  changed_ = state_ + plane;
  index_ = changed_ + plane;
  indexPalette_ = nullptr;
  onePalette_ = true;
  return true;
}

void OptimizeScreen::setRect(int left, int top, int width, int height, State state) {
  const int x0 = std::clamp(left, 0, width_), x1 = std::clamp(left + width, 0, width_);
  const int y0 = std::clamp(top, 0, height_), y1 = std::clamp(top + height, 0, height_);
  if (x0 >= x1) return;
  for (int y = y0; y < y1; ++y)
    std::memset(state_ + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x0), state,
                static_cast<size_t>(x1 - x0));
}

void OptimizeScreen::forget(int left, int top, int width, int height) { setRect(left, top, width, height, kUnknown); }

OptimizeScreen::Scan OptimizeScreen::compare(const ImageBlock& image) {
  const IndexedImage& pixels = *image.indexedImage;
  const int w = image.width, h = image.height;
  const int disposal = image.disposal();
  // True colour draws what the indexes do not say.
  const bool foreign = image.hasTrueColour() || !image.activePalette;
  // The colour of each index; indexes beyond the palette show whatever a viewer's table
  // holds there and are never taken for a known colour.
  constexpr uint32_t kNoColour = 0xFF000000u;
  uint32_t colours[256];
  std::fill(colours, colours + 256, kNoColour);
  if (image.activePalette)
    for (int i = 0; i < image.activePalette->count() && i < 256; ++i) {
      const Rgb c = (*image.activePalette)[i];
      colours[i] = uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
    }
  // The model must keep every pixel such an image covers that is not plain background: its
  // disposal clears exactly its rectangle, so the rectangle may not shrink past them.
  const bool clearsAfter = foreign || disposal == kDisposalBackground;
  const bool accumulates = !foreign && disposal != kDisposalBackground && disposal != kDisposalPrevious;
  const bool leavesUnknown = foreign && disposal != kDisposalBackground && disposal != kDisposalPrevious;
  const bool keyed = image.transparent();
  const uint8_t key = image.transparentIndex;

  if (accumulates) {
    if (!indexPalette_) {
      indexPalette_ = image.activePalette;
      FirstIndexes(indexPalette_, firstIndex_);
    }
    onePalette_ = onePalette_ && indexPalette_ == image.activePalette;
  }
  changedStride_ = Stride8(w);
  Scan scan;
  scan.left = w;
  scan.top = h;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = pixels.row(y);
    const size_t at = static_cast<size_t>(image.top + y) * stride_ + static_cast<size_t>(image.left);
    uint32_t* colour = colour_ + at;
    uint8_t* state = state_ + at;
    uint8_t* index = index_ + at;
    uint8_t* changed = changed_ + static_cast<size_t>(y) * changedStride_;
    int first = -1, last = -1, count = 0;
    for (int x = 0; x < w; ++x) {
      const uint8_t v = p[x];
      const uint32_t c = colours[v];
      bool keep = clearsAfter && state[x] != kBackground;
      if (!keyed || v != key) {
        if (state[x] != kKnown || colour[x] != c || c == kNoColour) keep = true;
        if (accumulates) {
          colour[x] = c;
          index[x] = firstIndex_[v];
          state[x] = c == kNoColour ? kUnknown : kKnown;
        } else if (leavesUnknown) {
          state[x] = kUnknown;
        }
      }
      changed[x] = keep;
      if (keep) {
        if (first < 0) first = x;
        last = x;
        ++count;
      }
    }
    if (count > 0) {
      scan.changedCount += count;
      scan.left = std::min(scan.left, first);
      scan.right = std::max(scan.right, last + 1);
      scan.top = std::min(scan.top, y);
      scan.bottom = y + 1;
    }
  }
  if (disposal == kDisposalBackground) setRect(image.left, image.top, w, h, kBackground);
  if (!scan.anyChanged()) scan.left = scan.top = 0;
  return scan;
}

}  // namespace fw
