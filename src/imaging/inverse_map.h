#pragma once
// The inverse colour map: for every cell of a 32 x 32 x 32 cube of colours, the index of the
// palette entry nearest the cell's centre. One process-wide map, rebuilt only when it is asked
// for a palette whose bytes differ from the one it was built for.
//
// Like the ditherer's error rows, the map is shared: only one dithering or mapping run may use
// it at a time (the workers' cancel-and-wait rule guarantees that).
#include <array>
#include <cstdint>
#include <memory>

#include "core/palette.h"

namespace fw {

class InverseColourMap {
 public:
  static constexpr int kCells = 32 * 32 * 32;

  static size_t Cell(int r, int g, int b) { return size_t(r >> 3) * 1024 + size_t(g >> 3) * 32 + size_t(b >> 3); }

  // Builds the map for the first `count` entries unless it already holds them. False when
  // memory runs out (the map is then invalid).
  bool prepare(const Rgb* entries, int count);
  void invalidate() { valid_ = false; }

  uint8_t at(size_t cell) const { return map_[cell]; }
  uint8_t lookup(Rgb c) const { return map_[Cell(c.r, c.g, c.b)]; }
  const uint8_t* data() const { return map_.get(); }
  const Rgb* entries() const { return cached_.data(); }
  int count() const { return count_; }

  // How many times the map has been rebuilt in this process.
  int builds() const { return builds_; }

 private:
  std::unique_ptr<uint8_t[]> map_;
  std::array<Rgb, 256> cached_{};
  int count_ = 0;
  bool valid_ = false;
  int builds_ = 0;
};

InverseColourMap& SharedInverseMap();

}  // namespace fw
