#pragma once
// The pixel octree: builds a palette from true-colour pixels and from usage-weighted palettes,
// reducing as it goes so memory stays bounded by the colour target. Leaves sit at depth 6,
// so a path uses bits 7 down to 2 of each channel.
//
// The same tree serves the lock-aware reduction: a leaf reached by a locked colour keeps that
// colour exactly, and merging avoids nodes that would join two locked colours.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/palette.h"
#include "imaging/nearest.h"

namespace fw {

struct OctreeNode {
  bool leaf = false;
  bool locked = false;
  Rgb lockedColour;
  double pixelCount = 0;
  double red = 0, green = 0, blue = 0;
  double weight = 0;  // pixels that passed through while the node was inner
  int32_t paletteIndex = 0;
  std::array<std::unique_ptr<OctreeNode>, 8> child;
  OctreeNode* nextReducible = nullptr;
};

class Octree {
 public:
  static constexpr int kDepth = 6;

  // Throws std::bad_alloc like any allocation; callers catch it at their operation boundary.
  explicit Octree(int maxColours);
  Octree(const Octree&) = delete;
  Octree& operator=(const Octree&) = delete;
  ~Octree();

  void addColour(Rgb c, double count, bool locked = false);
  // Skips entries whose count is 0 (or negative).
  void addPalette(const Palette& palette, const int32_t* counts);
  void addPalette(const Rgb* entries, int count, const int32_t* counts);
  // 24-bit rows (blue, green, red); pixels whose mask byte is 0 are left out. A null mask
  // takes every pixel.
  void addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask = nullptr,
                     size_t maskStride = 0);

  // Reduces to at most `colours` - (reserve ? 1 : 0) leaves and numbers them depth first; a
  // black transparent slot follows when reserved. nullptr when there would be no entry.
  std::unique_ptr<Palette> makePalette(int colours, bool reserveTransparent);
  // Same, into a buffer of 256 entries; returns the number written.
  int makeEntries(int colours, bool reserveTransparent, Rgb* out);

  // The palette index of the leaf the colour leads to; 0 when its path is missing.
  int lookup(Rgb c) const;
  RemapTable mapPalette(const Palette& source) const;
  void mapTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask,
                     size_t maskStride, uint8_t maskedIndex, uint8_t* out, size_t outStride) const;

  int leafCount() const { return leafCount_; }

 private:
  std::unique_ptr<OctreeNode> createNode(int level);
  bool reduceOnce();
  void number(OctreeNode& node, Rgb* out, int& next);

  std::unique_ptr<OctreeNode> root_;
  std::array<OctreeNode*, kDepth + 1> reducible_{};
  int leafCount_ = 0;
  int maxColours_;
};

}  // namespace fw
