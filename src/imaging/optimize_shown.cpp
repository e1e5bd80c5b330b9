#include "imaging/optimize_shown.h"

#include <algorithm>
#include <array>
#include <utility>

#include "imaging/bytes16.h"

namespace fw {
namespace {

// The palette's colours, each with its first index, in a small open-addressed table: looked
// up for every unchanged pixel, where a search through the sorted colours mispredicted a
// branch at nearly every step.
class ColourIndex {
 public:
  explicit ColourIndex(const ImageBlock& image) {
    slots_.fill(kEmpty);
    const Palette* palette = image.activePalette;
    const int count = palette ? std::min(palette->count(), 256) : 0;
    for (int i = 0; i < count; ++i) {
      if (image.transparent() && i == image.transparentIndex) continue;
      const Rgb c = (*palette)[i];
      const uint32_t colour = uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
      size_t at = Slot(colour);
      while (slots_[at] != kEmpty && static_cast<uint32_t>(slots_[at]) != colour) at = (at + 1) & kMask;
      // Of a colour listed twice the first index is kept.
      if (slots_[at] == kEmpty) slots_[at] = uint64_t{static_cast<uint32_t>(i)} << 32 | colour;
    }
  }

  // -1 when the palette lacks the colour.
  int find(uint32_t colour) const {
    for (size_t at = Slot(colour);; at = (at + 1) & kMask) {
      const uint64_t slot = slots_[at];
      if (slot == kEmpty) return -1;
      if (static_cast<uint32_t>(slot) == colour) return static_cast<int>(slot >> 32);
    }
  }

 private:
  // Four times as many slots as colours, so probes are short; colours have no bits above 24,
  // so the empty mark can be no colour's.
  static constexpr size_t kSlots = 1024, kMask = kSlots - 1;
  static constexpr uint64_t kEmpty = ~uint64_t{0};
  static size_t Slot(uint32_t colour) { return (colour * 0x9E3779B1u) >> 22; }
  std::array<uint64_t, kSlots> slots_;
};

}  // namespace

std::vector<uint8_t> ShownIndexes(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed,
                                  size_t stride, int fill) {
  const size_t rowBytes = Stride8(image.width);
  const PixelBytes& pixels = image.indexedImage->pixels;
  std::vector<uint8_t> shown(pixels.begin(), pixels.end());
  const ColourIndex palette(image);
  // Neighbouring pixels often show the same colour (flat areas, backgrounds).
  uint32_t lastColour = ~uint32_t{0};
  int lastIndex = -1;
  const auto showColour = [&](uint8_t& out, uint32_t colour) {
    if (colour != lastColour) {
      lastColour = colour;
      lastIndex = palette.find(colour);
    }
    if (lastIndex >= 0) out = static_cast<uint8_t>(lastIndex);
  };
  const Bytes16 fills = static_cast<uint8_t>(fill) - Bytes16{};
  const Bytes16 known = static_cast<uint8_t>(OptimizeScreen::kKnown) - Bytes16{};
  for (int y = 0; y < image.height; ++y) {
    uint8_t* out = shown.data() + static_cast<size_t>(y) * rowBytes;
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    const uint8_t* state = screen.stateRow(image.top + y) + image.left;
    const uint32_t* colour = screen.colourRow(image.top + y) + image.left;
    int x = 0;
    // Sixteen pixels at a time: which of them to look up varies from pixel to pixel, and a
    // branch on each mispredicted wherever it did.
    for (; x + 16 <= image.width; x += 16) {
      const Bytes16 wanted = (Load16(out + x) == fills) & (Load16(c + x) == 0) & (Load16(state + x) == known);
      uint32_t lanes = LaneMask(wanted);
      while (lanes) {
        const int k = __builtin_ctz(lanes);
        lanes &= lanes - 1;
        showColour(out[x + k], colour[x + k]);
      }
    }
    for (; x < image.width; ++x)
      if (out[x] == fill && !c[x] && state[x] == OptimizeScreen::kKnown) showColour(out[x], colour[x]);
  }
  return shown;
}

}  // namespace fw
