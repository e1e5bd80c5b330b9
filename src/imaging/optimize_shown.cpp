#include "imaging/optimize_shown.h"

#include <algorithm>
#include <utility>

namespace fw {
namespace {

// The palette's colours in order, each with its first index, for lookups by colour.
class ColourIndex {
 public:
  explicit ColourIndex(const ImageBlock& image) {
    const Palette* palette = image.activePalette;
    const int count = palette ? std::min(palette->count(), 256) : 0;
    for (int i = 0; i < count; ++i) {
      if (image.transparent() && i == image.transparentIndex) continue;
      const Rgb c = (*palette)[i];
      entries_.emplace_back(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b, static_cast<uint8_t>(i));
    }
    // Stable, so that of a colour listed twice the first index is kept.
    std::stable_sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }),
                   entries_.end());
  }

  // -1 when the palette lacks the colour.
  int find(uint32_t colour) {
    if (colour == lastColour_) return lastIndex_;
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), colour,
                                     [](const auto& e, uint32_t c) { return e.first < c; });
    lastColour_ = colour;
    lastIndex_ = at != entries_.end() && at->first == colour ? at->second : -1;
    return lastIndex_;
  }

 private:
  std::vector<std::pair<uint32_t, uint8_t>> entries_;
  uint32_t lastColour_ = 0xFFFFFFFFu;
  int lastIndex_ = -1;
};

}  // namespace

std::vector<uint8_t> ShownIndexes(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed,
                                  size_t stride) {
  const size_t rowBytes = Stride8(image.width);
  const PixelBytes& pixels = image.indexedImage->pixels;
  std::vector<uint8_t> shown(pixels.begin(), pixels.end());
  ColourIndex palette(image);
  for (int y = 0; y < image.height; ++y) {
    uint8_t* out = shown.data() + static_cast<size_t>(y) * rowBytes;
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x) {
      if (c[x] || screen.state(image.left + x, image.top + y) != OptimizeScreen::kKnown) continue;
      const int index = palette.find(screen.colour(image.left + x, image.top + y));
      if (index >= 0) out[x] = static_cast<uint8_t>(index);
    }
  }
  return shown;
}

}  // namespace fw
