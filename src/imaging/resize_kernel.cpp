#include "imaging/resize_kernel.h"

#include <algorithm>
#include <cmath>

namespace fw {

double CubicKernel(double x) {
  const double a = std::fabs(x);
  if (a < 1) return a * a * a - 2 * a * a + 1;
  if (a < 2) return -a * a * a + 5 * a * a - 8 * a + 4;
  return 0;
}

namespace {

int16_t Fixed(double k) { return static_cast<int16_t>(std::trunc(k * 4096)); }

CubicTaps MakeTaps(int c, float phase, int sourceLength) {
  CubicTaps t;
  t.centre = c;
  const double p = phase;
  t.weight[0] = Fixed(CubicKernel(-p - 2));
  t.weight[1] = Fixed(CubicKernel(-p - 1));
  t.weight[2] = Fixed(CubicKernel(p));
  t.weight[3] = Fixed(CubicKernel(1 - p));
  t.weight[4] = Fixed(CubicKernel(2 - p));
  t.mask = 31;
  // Taps beyond the edge give their weight to the outermost tap still inside, so the sum
  // stays what the kernel gave and the edge pixel counts for the missing ones.
  if (c < 2) {
    t.weight[1] = static_cast<int16_t>(t.weight[1] + t.weight[0]);
    t.weight[0] = 0;
    t.mask &= ~1;
  }
  if (c <= 0) {
    t.weight[2] = static_cast<int16_t>(t.weight[2] + t.weight[1]);
    t.weight[1] = 0;
    t.mask &= ~2;
  }
  if (c >= sourceLength - 2) {
    t.weight[3] = static_cast<int16_t>(t.weight[3] + t.weight[4]);
    t.weight[4] = 0;
    t.mask &= ~16;
  }
  if (c >= sourceLength - 1) {
    t.weight[2] = static_cast<int16_t>(t.weight[2] + t.weight[3]);
    t.weight[3] = 0;
    t.mask &= ~8;
  }
  const int low = (t.mask & 1) ? 0 : (t.mask & 2) ? 1 : 2;
  const int high = (t.mask & 16) ? 4 : (t.mask & 8) ? 3 : 2;
  t.first = c - 2 + low;
  t.count = high - low + 1;
  return t;
}

}  // namespace

std::vector<CubicTaps> CubicWeightTable(int sourceLength, int destinationLength) {
  sourceLength = std::max(sourceLength, 1);
  destinationLength = std::max(destinationLength, 1);
  std::vector<CubicTaps> table(static_cast<size_t>(destinationLength));
  const float ratio = static_cast<float>(sourceLength) / static_cast<float>(destinationLength);
  for (int i = 0; i < destinationLength; ++i) {
    const float x = ratio * static_cast<float>(i);
    // Float rounding must not push the last centre past the source.
    const int c = std::min(static_cast<int>(x), sourceLength - 1);
    const float phase = std::floor(5.0f * (x - static_cast<float>(c)) + 0.5f) / 5.0f;
    table[static_cast<size_t>(i)] = MakeTaps(c, phase, sourceLength);
  }
  return table;
}

}  // namespace fw
