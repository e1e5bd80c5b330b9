#include "imaging/optimize_screen.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "imaging/bytes16.h"
#include "imaging/colour_index.h"

namespace fw {
namespace {

// For each index the first one with its colour (itself when the palette lacks it).
void FirstIndexes(const Palette* palette, uint8_t* first) {
  const ColourIndex colours(palette);
  const int count = palette ? std::min(palette->count(), 256) : 0;
  for (int v = 0; v < 256; ++v)
    first[v] = static_cast<uint8_t>(v < count ? colours.find(PackedColour((*palette)[v])) : v);
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
  coloursStale_ = false;
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

void OptimizeScreen::paintColours() {
  if (!coloursStale_) return;
  uint32_t colours[256] = {};
  for (int i = 0; indexPalette_ && i < indexPalette_->count() && i < 256; ++i)
    colours[i] = PackedColour((*indexPalette_)[i]);
  for (int y = 0; y < height_; ++y) {
    const size_t at = static_cast<size_t>(y) * stride_;
    for (int x = 0; x < width_; ++x) colour_[at + x] = colours[index_[at + x]];
  }
  coloursStale_ = false;
}

void OptimizeScreen::compareRowByIndex(const uint8_t* p, int w, int keyIndex, int paletteCount, size_t at,
                                       uint8_t* changed) {
  uint8_t* state = state_ + at;
  uint8_t* index = index_ + at;
  // Lanes drawn: all but the key's. A lane beyond the palette shows no colour anyone knows.
  Bytes16 keyed{};
  if (keyIndex >= 0) keyed = ~keyed;
  const Bytes16 keys = static_cast<uint8_t>(keyIndex) - Bytes16{};
  Bytes16 everyIndex{};
  if (paletteCount >= 256) everyIndex = ~everyIndex;
  const Bytes16 counts = static_cast<uint8_t>(paletteCount) - Bytes16{};
  const Bytes16 known = static_cast<uint8_t>(kKnown) - Bytes16{};
  const Bytes16 unknown = static_cast<uint8_t>(kUnknown) - Bytes16{};
  const Bytes16 ones = 1 - Bytes16{};
  // Below firstUpTo_ every index is its colour's first (palettes list a colour twice mostly in
  // their padding at the end), so a block of such indexes is its own first indexes.
  const Bytes16 firstUpTo = static_cast<uint8_t>(std::min(firstUpTo_, 255)) - Bytes16{};
  Bytes16 everyFirst{};
  if (firstUpTo_ > 255) everyFirst = ~everyFirst;
  int x = 0;
  for (; x + 16 <= w; x += 16) {
    const Bytes16 v = Load16(p + x), st = Load16(state + x), ix = Load16(index + x);
    Bytes16 f = v;
    if (AnyLane(~everyFirst & (v >= firstUpTo)))
      for (int k = 0; k < 16; ++k) f[k] = firstIndex_[v[k]];
    const Bytes16 drawn = ~(keyed & (v == keys));
    const Bytes16 inPalette = everyIndex | (v < counts);
    Store16(changed + x, drawn & ((st != known) | (ix != f) | ~inPalette) & ones);
    Store16(index + x, drawn ? f : ix);
    Store16(state + x, drawn ? (inPalette ? known : unknown) : st);
  }
  for (; x < w; ++x) {
    const int v = p[x];
    const bool drawn = v != keyIndex, inPalette = v < paletteCount;
    changed[x] = drawn && (state[x] != kKnown || index[x] != firstIndex_[v] || !inPalette);
    if (!drawn) continue;
    index[x] = firstIndex_[v];
    state[x] = inPalette ? kKnown : kUnknown;
  }
}

OptimizeScreen::Scan OptimizeScreen::compare(const ImageBlock& image) {
  const IndexedImage& pixels = *image.indexedImage;
  const int w = image.width, h = image.height;
  const int disposal = image.disposal();
  const Palette* palette = image.activePalette;
  // True colour draws what the indexes do not say.
  const bool foreign = image.hasTrueColour() || !palette;
  // The colour of each index; indexes beyond the palette show whatever a viewer's table
  // holds there and are never taken for a known colour.
  constexpr uint32_t kNoColour = 0xFF000000u;
  uint32_t colours[256];
  std::fill(colours, colours + 256, kNoColour);
  const int paletteCount = palette ? std::min(palette->count(), 256) : 0;
  for (int i = 0; i < paletteCount; ++i) colours[i] = PackedColour((*palette)[i]);
  // The model must keep every pixel such an image covers that is not plain background: its
  // disposal clears exactly its rectangle, so the rectangle may not shrink past them.
  const bool clearsAfter = foreign || disposal == kDisposalBackground;
  const bool accumulates = !foreign && disposal != kDisposalBackground && disposal != kDisposalPrevious;
  const bool leavesUnknown = foreign && disposal != kDisposalBackground && disposal != kDisposalPrevious;
  const bool keyed = image.transparent();
  const uint8_t key = image.transparentIndex;

  // While every image drawn has one palette, the screen is kept as that palette's first
  // indexes, which compare sixteen pixels at a time; the colours are painted from them once
  // another palette comes along.
  if (accumulates && onePalette_ && !indexPalette_) {
    indexPalette_ = palette;
    FirstIndexes(palette, firstIndex_);
    firstUpTo_ = 0;
    while (firstUpTo_ < 256 && firstIndex_[firstUpTo_] == firstUpTo_) ++firstUpTo_;
  }
  const bool byIndex = accumulates && onePalette_ && palette == indexPalette_;
  if (accumulates && palette != indexPalette_) onePalette_ = false;
  if (!byIndex) paintColours();

  changedStride_ = Stride8(w);
  Scan scan;
  scan.left = w;
  scan.top = h;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = pixels.row(y);
    const size_t at = static_cast<size_t>(image.top + y) * stride_ + static_cast<size_t>(image.left);
    uint32_t* colour = colour_ + at;
    uint8_t* state = state_ + at;
    uint8_t* changed = changed_ + static_cast<size_t>(y) * changedStride_;
    if (byIndex) {
      compareRowByIndex(p, w, keyed ? key : -1, paletteCount, at, changed);
    } else {
      for (int x = 0; x < w; ++x) {
        const uint8_t v = p[x];
        const uint32_t c = colours[v];
        bool keep = clearsAfter && state[x] != kBackground;
        if (!keyed || v != key) {
          // A known pixel holds a palette's colour, never kNoColour.
          if (state[x] != kKnown || colour[x] != c) keep = true;
          if (accumulates) {
            colour[x] = c;
            state[x] = c == kNoColour ? kUnknown : kKnown;
          } else if (leavesUnknown) {
            state[x] = kUnknown;
          }
        }
        changed[x] = keep;
      }
    }
    if (const int count = CountOnes(changed, w); count > 0) {
      const int first = static_cast<int>(static_cast<const uint8_t*>(std::memchr(changed, 1, w)) - changed);
      const int last = static_cast<int>(static_cast<const uint8_t*>(memrchr(changed, 1, w)) - changed);
      scan.changedCount += count;
      scan.left = std::min(scan.left, first);
      scan.right = std::max(scan.right, last + 1);
      scan.top = std::min(scan.top, y);
      scan.bottom = y + 1;
    }
  }
  if (byIndex) coloursStale_ = true;
  if (disposal == kDisposalBackground) setRect(image.left, image.top, w, h, kBackground);
  if (!scan.anyChanged()) scan.left = scan.top = 0;
  return scan;
}

}  // namespace fw
