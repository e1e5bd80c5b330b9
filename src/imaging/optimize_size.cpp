#include "imaging/optimize_size.h"

#include <algorithm>
#include <cmath>

#include "gif/gif_writer.h"

namespace fw {
namespace {

int64_t PaletteBytes(const Palette* palette) { return palette ? 3 * (int64_t{1} << PaletteBits(palette->count())) : 0; }

// The fewest codes that can stand for `pixels` pixels: n codes cover at most n(n+1)/2.
int64_t FewestCodes(int64_t pixels) {
  int64_t n = static_cast<int64_t>(std::sqrt(2.0 * static_cast<double>(pixels)));
  while (n > 0 && n * (n + 1) / 2 >= pixels) --n;
  while (n * (n + 1) / 2 < pixels) ++n;
  return n;
}

}  // namespace

int64_t FrameSizeLowerBound(const ImageBlock& frame) {
  const int64_t pixels = int64_t{std::max(frame.width, 0)} * std::max(frame.height, 0);
  const int64_t bits = FewestCodes(pixels) * (FrameMinCodeSize(frame) + 1);
  const int64_t data = (bits + 7) / 8;
  const int64_t lengthBytes = (data + 254) / 255;
  // Control extension, descriptor, local table, code size byte, data, terminator.
  return 8 + 10 + PaletteBytes(frame.localPalette.get()) + 1 + data + lengthBytes + 1;
}

}  // namespace fw
