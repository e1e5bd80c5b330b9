#pragma once
// The optimizer's model of the logical screen while it walks the images in order: for each
// screen pixel the colour last drawn there and what is known about it, and per image which
// of its pixels must be kept. Colours rather than indexes, so that images with palettes of
// their own are compared like any other.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class OptimizeScreen {
 public:
  // What the model knows about a screen pixel. Background is what a viewer shows where
  // nothing has been drawn since the start or since a restore to background; unknown is
  // something drawn that the index plane cannot describe (an image with its own palette).
  enum State : uint8_t { kBackground = 0, kKnown = 1, kUnknown = 2 };

  // Which pixels of one image change the picture, in image coordinates.
  struct Scan {
    int changedCount = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // smallest rectangle of changed pixels; right, bottom exclusive
    bool anyChanged() const { return changedCount > 0; }
    int64_t area() const { return int64_t{right - left} * (bottom - top); }
  };

  // All planes as one zero-filled block, rows padded to four bytes. False when the size is
  // refused or memory runs out.
  bool allocate(int width, int height);

  // Compares an image lying inside the screen with the model: fills the changed plane (in
  // the image's own row layout, Stride8(width)) and then updates the model with what the
  // image leaves on screen after its disposal.
  Scan compare(const ImageBlock& image);

  // Marks the rectangle unknown: for images the model cannot read.
  void forget(int left, int top, int width, int height);

  // 1 where the pixel of the image last compared must be kept.
  const uint8_t* changed() const { return changed_; }
  size_t changedStride() const { return changedStride_; }

  State state(int x, int y) const {
    return static_cast<State>(state_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x)]);
  }
  // Row y of the planes, for loops over many pixels. The colours are brought up to date only
  // when an image is compared by colour: while indexesOf(its palette) holds, read the indexes.
  const uint32_t* colourRow(int y) const { return colour_ + static_cast<size_t>(y) * stride_; }
  const uint8_t* stateRow(int y) const { return state_ + static_cast<size_t>(y) * stride_; }
  // The first index of the colour each known pixel shows, in the palette every image drawn so
  // far had, as long as they all had the same one: indexesOf(palette) says whether that is it.
  const uint8_t* indexRow(int y) const { return index_ + static_cast<size_t>(y) * stride_; }
  bool indexesOf(const Palette* palette) const { return onePalette_ && palette && indexPalette_ == palette; }

 private:
  void setRect(int left, int top, int width, int height, State state);
  // The colour plane, brought up to date from the indexes.
  void paintColours();
  void compareRowByIndex(const uint8_t* p, int w, int keyIndex, int paletteCount, size_t at, uint8_t* changed);

  int width_ = 0, height_ = 0;
  size_t stride_ = 0, changedStride_ = 0;
  std::vector<uint32_t> colours_;
  std::vector<uint8_t> block_;
  uint32_t* colour_ = nullptr;
  uint8_t* state_ = nullptr;
  uint8_t* changed_ = nullptr;
  uint8_t* index_ = nullptr;
  const Palette* indexPalette_ = nullptr;
  uint8_t firstIndex_[256] = {};
  int firstUpTo_ = 256;
  bool onePalette_ = true, coloursStale_ = false;
};

}  // namespace fw
