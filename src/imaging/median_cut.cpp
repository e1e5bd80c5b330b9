#include "imaging/median_cut.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "core/progress.h"

namespace fw {
namespace {

constexpr int kSide = 64;
constexpr int kNoBox = 1000;

struct MedianCutBox {
  std::array<uint16_t, 3> low{};
  std::array<uint16_t, 3> high{};
  uint64_t count = 0;  // wider than the stored 32 bits: usage of huge animations must not wrap
  bool singleCell = false;
};

// The histogram proper pools the palette's colours into cells; since at most 256 cells are
// ever filled, the box operations walk the list of filled cells instead of the cube.
class Histogram {
 public:
  struct Cell {
    std::array<uint16_t, 3> at;
    uint64_t count;
  };

  Histogram() : cube_(size_t{kSide} * kSide * kSide, 0) {}

  void add(Rgb c, uint64_t n) {
    if (n == 0) return;
    const size_t i = size_t(c.r >> 2) * 4096 + size_t(c.g >> 2) * 64 + size_t(c.b >> 2);
    if (cube_[i] == 0) cellIndex_.push_back(i);
    cube_[i] += n;
  }

  void finish() {
    cells_.clear();
    for (size_t i : cellIndex_)
      cells_.push_back({{uint16_t(i >> 12), uint16_t((i >> 6) & 63), uint16_t(i & 63)}, cube_[i]});
  }

  const std::vector<Cell>& cells() const { return cells_; }

 private:
  std::vector<uint64_t> cube_;
  std::vector<size_t> cellIndex_;
  std::vector<Cell> cells_;
};

bool Inside(const MedianCutBox& box, const Histogram::Cell& c) {
  for (int a = 0; a < 3; ++a)
    if (c.at[a] < box.low[a] || c.at[a] > box.high[a]) return false;
  return true;
}

// Raising the low bound past empty slices and lowering the high bound likewise ends at the
// extremes of the filled cells inside the box; an empty box collapses onto its high corner.
void Shrink(const Histogram& h, MedianCutBox& box) {
  std::array<uint16_t, 3> lo = box.high, hi = box.low;
  bool any = false;
  for (const auto& c : h.cells()) {
    if (!Inside(box, c)) continue;
    any = true;
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], c.at[a]);
      hi[a] = std::max(hi[a], c.at[a]);
    }
  }
  if (any) {
    box.low = lo;
    box.high = hi;
  } else {
    box.low = box.high;
  }
  box.singleCell = box.low == box.high;
}

int ChooseBox(const std::array<MedianCutBox, 256>& boxes, int boxCount) {
  int chosen = kNoBox;
  uint64_t best = 0;
  for (int i = 0; i < boxCount; ++i) {
    const MedianCutBox& b = boxes[size_t(i)];
    if (b.singleCell || b.count == 0) continue;
    if (chosen == kNoBox || b.count > best) {
      chosen = i;
      best = b.count;
    }
  }
  return chosen;
}

int LongestAxis(const MedianCutBox& b) {
  int axis = 0;
  for (int a = 1; a < 3; ++a)
    if (b.high[a] - b.low[a] > b.high[axis] - b.low[axis]) axis = a;
  return axis;
}

Rgb BoxColour(const Histogram& h, const MedianCutBox& box) {
  if (box.count == 0) return {};
  uint64_t sum[3] = {0, 0, 0};
  for (const auto& c : h.cells()) {
    if (!Inside(box, c)) continue;
    for (int a = 0; a < 3; ++a) sum[a] += uint64_t(c.at[a]) * c.count;
  }
  uint8_t out[3];
  for (int a = 0; a < 3; ++a) {
    const uint64_t mean = std::min<uint64_t>(sum[a] / box.count, 255);
    out[a] = static_cast<uint8_t>(mean * 255 / 63);
  }
  return {out[0], out[1], out[2]};
}

int Reduce(Histogram& h, Rgb* entries, const int32_t* counts, int target, Progress* progress) {
  target = std::clamp(target, 1, 256);

  uint64_t total = 0;
  for (int i = 0; i < 256; ++i) {
    const uint64_t n = counts[i] > 0 ? uint64_t(counts[i]) : 0;
    h.add(entries[i], n);
    total += n;
  }
  h.finish();

  std::array<MedianCutBox, 256> boxes{};
  boxes[0].high = {kSide - 1, kSide - 1, kSide - 1};
  boxes[0].count = total;
  int boxCount = 1;
  Shrink(h, boxes[0]);

  while (boxCount < target) {
    const int chosen = ChooseBox(boxes, boxCount);
    if (chosen == kNoBox) break;
    MedianCutBox& old = boxes[size_t(chosen)];
    const int axis = LongestAxis(old);

    int slot = boxCount;
    for (int i = 0; i < boxCount; ++i)
      if (boxes[size_t(i)].count == 0) {
        slot = i;
        break;
      }

    std::array<uint64_t, kSide> slices{};
    for (const auto& c : h.cells())
      if (Inside(old, c)) slices[c.at[axis]] += c.count;
    const uint64_t half = old.count / 2;
    uint64_t sum = 0;
    int x = old.low[axis];
    for (;; ++x) {
      sum += slices[size_t(x)];
      if (sum > half || x == old.high[axis]) break;
    }
    if (x == old.high[axis]) {
      sum -= slices[size_t(x)];
      --x;
    }

    MedianCutBox added = old;
    added.low[axis] = static_cast<uint16_t>(x + 1);
    added.count = old.count - sum;
    old.high[axis] = static_cast<uint16_t>(x);
    old.count = sum;
    Shrink(h, old);
    Shrink(h, added);
    boxes[size_t(slot)] = added;
    if (slot == boxCount) ++boxCount;
    StepProgress(progress);
  }

  // Most used first; a stable exchange sort keeps equal counts in table order.
  std::array<int, 256> order{};
  for (int i = 0; i < boxCount; ++i) order[size_t(i)] = i;
  for (int i = 0; i < boxCount; ++i)
    for (int j = 0; j + 1 < boxCount - i; ++j)
      if (boxes[size_t(order[size_t(j)])].count < boxes[size_t(order[size_t(j + 1)])].count)
        std::swap(order[size_t(j)], order[size_t(j + 1)]);

  for (int i = 0; i < boxCount; ++i) entries[i] = BoxColour(h, boxes[size_t(order[size_t(i)])]);
  return boxCount;
}

}  // namespace

int MedianCutReduce(Rgb* entries, const int32_t* counts, int target, Progress* progress) {
  try {
    Histogram histogram;
    return Reduce(histogram, entries, counts, target, progress);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace fw
