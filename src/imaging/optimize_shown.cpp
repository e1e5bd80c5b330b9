#include "imaging/optimize_shown.h"

#include <utility>

#include "imaging/bytes16.h"
#include "imaging/colour_index.h"

namespace fw {
namespace {

// Where every image so far was drawn with the image's own palette, the screen holds each
// known pixel's colour as that palette's first index for it, which is the answer, but for the
// image's transparent index: there the answer is the colour's next index, if any.
bool ShownByIndex(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed, size_t stride,
                  int fill, const ColourIndex& palette, uint8_t* shown) {
  if (!screen.indexesOf(image.activePalette)) return false;
  const int key = image.transparent() ? image.transparentIndex : -1;
  int keyAnswer = fill;
  if (key >= 0 && key < image.activePalette->count()) {
    const int other = palette.find(PackedColour((*image.activePalette)[key]));
    if (other >= 0) keyAnswer = other;
  }
  const Bytes16 keys = static_cast<uint8_t>(key) - Bytes16{};
  const Bytes16 keyAnswers = static_cast<uint8_t>(keyAnswer) - Bytes16{};
  Bytes16 keyMatters{};
  if (key >= 0) keyMatters = ~keyMatters;
  const size_t rowBytes = Stride8(image.width);
  const Bytes16 fills = static_cast<uint8_t>(fill) - Bytes16{};
  const Bytes16 known = static_cast<uint8_t>(OptimizeScreen::kKnown) - Bytes16{};
  for (int y = 0; y < image.height; ++y) {
    uint8_t* out = shown + static_cast<size_t>(y) * rowBytes;
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    const uint8_t* state = screen.stateRow(image.top + y) + image.left;
    const uint8_t* index = screen.indexRow(image.top + y) + image.left;
    int x = 0;
    for (; x + 16 <= image.width; x += 16) {
      const Bytes16 own = Load16(out + x), drawn = Load16(index + x);
      const Bytes16 wanted = (own == fills) & (Load16(c + x) == 0) & (Load16(state + x) == known);
      const Bytes16 answer = (keyMatters & (drawn == keys)) ? keyAnswers : drawn;
      Store16(out + x, wanted ? answer : own);
    }
    for (; x < image.width; ++x)
      if (out[x] == fill && !c[x] && state[x] == OptimizeScreen::kKnown)
        out[x] = static_cast<uint8_t>(index[x] == key ? keyAnswer : index[x]);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> ShownIndexes(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed,
                                  size_t stride, int fill) {
  const size_t rowBytes = Stride8(image.width);
  const PixelBytes& pixels = image.indexedImage->pixels;
  std::vector<uint8_t> shown(pixels.begin(), pixels.end());
  const ColourIndex palette(image.activePalette, image.transparent() ? image.transparentIndex : -1);
  if (ShownByIndex(screen, image, changed, stride, fill, palette, shown.data())) return shown;
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
