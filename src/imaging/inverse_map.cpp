#include "imaging/inverse_map.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace fw {
namespace {

// Thomas's incremental distances: along an axis, the squared distance from a colour component
// to successive cell centres (c * 8 + 4) grows by a step that itself grows by 2 * 8^2.
void AddEntry(const Rgb& colour, uint8_t index, uint32_t* dist, uint8_t* map) {
  constexpr int kStep = 8;
  constexpr int kStepSquared2 = 2 * kStep * kStep;
  const int cr = colour.r - kStep / 2, cg = colour.g - kStep / 2, cb = colour.b - kStep / 2;
  // Distance to centre 0 and the first increment on each axis.
  const int32_t r0 = cr * cr, g0 = cg * cg, b0 = cb * cb;
  const int32_t rInc0 = kStep * kStep - 2 * kStep * cr;
  const int32_t gInc0 = kStep * kStep - 2 * kStep * cg;
  const int32_t bInc0 = kStep * kStep - 2 * kStep * cb;

  // The blue row's distances are the same for every red and green; adding them to the red
  // and green part keeps the inner loop free of dependencies, so it vectorises.
  int32_t blueDist[32];
  for (int32_t b = 0, d = b0, inc = bInc0; b < 32; ++b, d += inc, inc += kStepSquared2) blueDist[b] = d;

  int32_t rd = r0, rInc = rInc0;
  size_t cell = 0;
  for (int r = 0; r < 32; ++r, rd += rInc, rInc += kStepSquared2) {
    int32_t gd = g0, gInc = gInc0;
    for (int g = 0; g < 32; ++g, gd += gInc, gInc += kStepSquared2, cell += 32) {
      const uint32_t base = uint32_t(rd + gd);
      uint32_t* dr = dist + cell;
      uint8_t* mr = map + cell;
      for (int b = 0; b < 32; ++b) {
        const uint32_t d = base + uint32_t(blueDist[b]);
        // Strictly smaller: an earlier entry keeps a cell at equal distance.
        if (d < dr[b]) {
          dr[b] = d;
          mr[b] = index;
        }
      }
    }
  }
}

}  // namespace

bool InverseColourMap::prepare(const Rgb* entries, int count) {
  count = std::clamp(count, 0, 256);
  if (valid_ && count == count_ && std::equal(entries, entries + count, cached_.begin())) return true;
  valid_ = false;
  try {
    if (!map_) map_.reset(new uint8_t[kCells]);
    std::vector<uint32_t> dist(kCells, std::numeric_limits<uint32_t>::max());
    std::fill(map_.get(), map_.get() + kCells, 0);
    for (int i = 0; i < count; ++i) AddEntry(entries[i], static_cast<uint8_t>(i), dist.data(), map_.get());
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::copy(entries, entries + count, cached_.begin());
  count_ = count;
  valid_ = true;
  ++builds_;
  return true;
}

InverseColourMap& SharedInverseMap() {
  static InverseColourMap map;
  return map;
}

}  // namespace fw
