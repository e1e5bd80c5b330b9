#pragma once
// The refined palette: a slower, closer palette than the median cut or the octree. Boxes of
// exact colours are split where the split removes the most squared error (not at the median),
// then the colours are refined by weighted k-means, each colour moving to the mean of the
// pixels nearest it. Works on exact 24-bit colours, so flat screenshots keep their few
// colours exactly and photographs lose the least error a palette of that size allows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/palette.h"

namespace fw {

class Progress;

// Every distinct colour seen with how many pixels show it.
class ColourHistogram {
 public:
  struct Entry {
    Rgb colour;
    double weight = 0;
  };

  void add(Rgb c, double weight);
  // Blue, green, red rows; pixels whose mask byte is 0 are left out (a null mask takes all).
  void addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask = nullptr,
                     size_t maskStride = 0);
  // Entries whose count is 0 are left out.
  void addPalette(const Rgb* entries, int count, const int32_t* counts);

  size_t size() const { return used_; }
  // The distinct colours, in no particular order.
  std::vector<Entry> entries() const;

 private:
  void grow();

  // Open addressing on the colour value plus one, so zero marks an empty slot.
  std::vector<uint32_t> keys_;
  std::vector<double> weights_;
  size_t used_ = 0;
};

// Up to `target` colours (1 to 256) for the histogram's pixels, written to `out`; returns how
// many (fewer when the histogram has fewer colours, 0 when it is empty). Throws
// std::bad_alloc like any allocation.
int BuildRefinedPalette(const ColourHistogram& histogram, int target, Rgb* out);

// The reduce-colours convention of the other builders: the first n of 256 entries are
// overwritten with the result, most used first; 0 when memory runs out.
int RefinedPaletteReduce(Rgb* entries, const int32_t* counts, int target, Progress* progress);

// Exact nearest entries for true-colour pixels, remembered per colour since pictures repeat
// their colours far more often than they have distinct ones.
class NearestColourCache {
 public:
  NearestColourCache(const Rgb* entries, int count);
  uint8_t lookup(Rgb c);

 private:
  std::vector<Rgb> entries_;
  std::vector<uint32_t> keys_;
  std::vector<uint8_t> values_;
  size_t used_ = 0;
};

}  // namespace fw
