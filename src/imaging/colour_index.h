#pragma once
// A palette's colours, each with its first index, in a small open-addressed table: looked up
// for pixel after pixel, where a search through the sorted colours mispredicted a branch at
// nearly every step.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/palette.h"

namespace fw {

inline uint32_t PackedColour(Rgb c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }

class ColourIndex {
 public:
  // Every entry but `skipped` (none when negative).
  explicit ColourIndex(const Palette* palette, int skipped = -1) {
    slots_.fill(kEmpty);
    const int count = palette ? std::min(palette->count(), 256) : 0;
    for (int i = 0; i < count; ++i) {
      if (i == skipped) continue;
      const uint32_t colour = PackedColour((*palette)[i]);
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

}  // namespace fw
