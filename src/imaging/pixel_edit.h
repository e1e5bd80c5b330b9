#pragma once
// Touching up a frame's index pixels: set one pixel, or flood-fill the 4-connected area of
// one index. Where the frame also carries 24-bit data, the same pixels get the palette colour
// in that plane so the two never disagree.
#include <cstdint>
#include <vector>

#include "core/indexed_image.h"

namespace fw {

// The area an edit changed, in pixels; empty when nothing changed.
struct EditRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
  void add(int x, int y);
};

// The planes an edit writes. `trueColour` (rows of Stride24 bytes, blue green red) and `alpha`
// (rows of Stride8) may be empty; `transparentIndex` is -1 when the frame has none. The 24-bit
// plane takes its colours from `entries` (0x00RRGGBB, the palette in effect), not from the
// image's colour table, which may show a display colour at the transparent index.
struct PixelPlanes {
  IndexedImage* image = nullptr;
  const uint32_t* entries = nullptr;
  std::vector<uint8_t>* trueColour = nullptr;
  std::vector<uint8_t>* alpha = nullptr;
  int transparentIndex = -1;
};

// Writes `index` at (x, y); the changed rect (empty outside the picture or when the pixel
// already had that index).
EditRect SetPixelIndex(PixelPlanes& planes, int x, int y, uint8_t index);
// Replaces the 4-connected area of the index at (x, y) by `index`, walking runs on an
// explicit stack so a fill of a whole large frame needs no deep recursion.
EditRect FloodFillIndex(PixelPlanes& planes, int x, int y, uint8_t index);

}  // namespace fw
