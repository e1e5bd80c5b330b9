#include "imaging/pixel_edit.h"

#include <algorithm>
#include <utility>

namespace fw {

void EditRect::add(int x, int y) {
  if (empty()) {
    left = x;
    top = y;
    right = x + 1;
    bottom = y + 1;
    return;
  }
  left = std::min(left, x);
  top = std::min(top, y);
  right = std::max(right, x + 1);
  bottom = std::max(bottom, y + 1);
}

namespace {

bool Inside(const IndexedImage& image, int x, int y) {
  return x >= 0 && y >= 0 && x < image.width && y < image.height && !image.pixels.empty();
}

// The 24-bit and alpha twins of a run of pixels that now hold `index`.
void WriteTwins(PixelPlanes& planes, int y, int from, int to, uint8_t index) {
  const IndexedImage& image = *planes.image;
  const size_t h = static_cast<size_t>(image.height);
  if (planes.trueColour && planes.trueColour->size() >= h * Stride24(image.width)) {
    const uint32_t entry = planes.entries ? planes.entries[index] : image.colourTable[index];
    uint8_t* row = planes.trueColour->data() + static_cast<size_t>(y) * Stride24(image.width);
    for (int x = from; x < to; ++x) {
      row[3 * x] = static_cast<uint8_t>(entry);
      row[3 * x + 1] = static_cast<uint8_t>(entry >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(entry >> 16);
    }
  }
  if (planes.alpha && planes.alpha->size() >= h * Stride8(image.width)) {
    uint8_t* row = planes.alpha->data() + static_cast<size_t>(y) * Stride8(image.width);
    std::fill(row + from, row + to, index == planes.transparentIndex ? uint8_t{0} : uint8_t{255});
  }
}

}  // namespace

EditRect SetPixelIndex(PixelPlanes& planes, int x, int y, uint8_t index) {
  EditRect changed;
  if (!planes.image || !Inside(*planes.image, x, y)) return changed;
  uint8_t& pixel = planes.image->row(y)[x];
  if (pixel == index) return changed;
  pixel = index;
  WriteTwins(planes, y, x, x + 1, index);
  changed.add(x, y);
  return changed;
}

EditRect FloodFillIndex(PixelPlanes& planes, int x, int y, uint8_t index) {
  EditRect changed;
  if (!planes.image || !Inside(*planes.image, x, y)) return changed;
  IndexedImage& image = *planes.image;
  const uint8_t old = image.row(y)[x];
  if (old == index) return changed;
  const int width = image.width, height = image.height;
  std::vector<std::pair<int, int>> seeds{{x, y}};
  while (!seeds.empty()) {
    const auto [sx, sy] = seeds.back();
    seeds.pop_back();
    uint8_t* row = image.row(sy);
    if (row[sx] != old) continue;
    int from = sx, to = sx + 1;
    while (from > 0 && row[from - 1] == old) --from;
    while (to < width && row[to] == old) ++to;
    std::fill(row + from, row + to, index);
    WriteTwins(planes, sy, from, to, index);
    changed.add(from, sy);
    changed.add(to - 1, sy);
    // One seed per stretch of the old index in the neighbouring rows: every such stretch
    // touching the run is part of the area.
    for (int ny : {sy - 1, sy + 1}) {
      if (ny < 0 || ny >= height) continue;
      const uint8_t* next = image.row(ny);
      for (int nx = from; nx < to; ++nx)
        if (next[nx] == old && (nx == from || next[nx - 1] != old)) seeds.emplace_back(nx, ny);
    }
  }
  return changed;
}

}  // namespace fw
