#pragma once
// The cubic convolution kernel and the per-axis weight tables of the bicubic resize.
#include <cstdint>
#include <vector>

namespace fw {

// Cubic convolution with a = -1.
double CubicKernel(double x);

// The taps of one destination column (or row): centre source index, the five weights of
// c - 2 .. c + 2 in 12-bit fixed point (4096 = 1.0; 0 for dropped taps) and the mask of the
// taps present (1 = c - 2, 2 = c - 1, 4 = c, 8 = c + 1, 16 = c + 2). The present taps are
// always consecutive: `first` is the lowest source index used and `count` how many.
struct CubicTaps {
  int32_t centre = 0;
  int32_t first = 0;
  int32_t count = 0;
  int16_t weight[5] = {};
  uint8_t mask = 0;

  // Weight of the k-th present tap (source index first + k).
  int weightAt(int k) const { return weight[first - (centre - 2) + k]; }
};

// One entry per destination index for a source length and a destination length (both >= 1).
// Phases are quantised to fifths; taps outside the source are folded onto the edge.
std::vector<CubicTaps> CubicWeightTable(int sourceLength, int destinationLength);

}  // namespace fw
