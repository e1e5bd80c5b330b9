#include "imaging/refined_palette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <queue>

#include "core/progress.h"
#include "imaging/nearest.h"

namespace fw {
namespace {

constexpr uint32_t Key(Rgb c) { return (uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b) + 1; }
constexpr Rgb FromKey(uint32_t key) {
  return Rgb{uint8_t((key - 1) >> 16), uint8_t((key - 1) >> 8), uint8_t(key - 1)};
}
size_t Slot(uint32_t key, size_t mask) { return size_t((uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 32) & mask; }

template <typename Values>
void Rehash(std::vector<uint32_t>& keys, Values& values) {
  std::vector<uint32_t> oldKeys(keys.size() ? keys.size() * 2 : 4096, 0);
  Values oldValues(oldKeys.size());
  oldKeys.swap(keys);  // the old table now sits in oldKeys, an empty one twice its size in keys
  oldValues.swap(values);
  const size_t mask = keys.size() - 1;
  for (size_t i = 0; i < oldKeys.size(); ++i) {
    if (!oldKeys[i]) continue;
    size_t s = Slot(oldKeys[i], mask);
    while (keys[s]) s = (s + 1) & mask;
    keys[s] = oldKeys[i];
    values[s] = oldValues[i];
  }
}

struct Point {
  std::array<double, 3> c;
  double w;
};

double SquaredDistance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  const double d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
  return d0 * d0 + d1 * d1 + d2 * d2;
}

// Weighted sums over a run of points, enough for the mean and the squared error around it.
struct Moments {
  double w = 0;
  std::array<double, 3> s{};
  std::array<double, 3> q{};

  void add(const Point& p) {
    w += p.w;
    for (int a = 0; a < 3; ++a) {
      s[a] += p.w * p.c[a];
      q[a] += p.w * p.c[a] * p.c[a];
    }
  }
  Moments minus(const Moments& o) const {
    Moments m;
    m.w = w - o.w;
    for (int a = 0; a < 3; ++a) {
      m.s[a] = s[a] - o.s[a];
      m.q[a] = q[a] - o.q[a];
    }
    return m;
  }
  double axisError(int a) const { return w > 0 ? q[a] - s[a] * s[a] / w : 0; }
  double error() const { return axisError(0) + axisError(1) + axisError(2); }
};

struct Box {
  size_t begin, end;
  double error;
  bool operator<(const Box& o) const { return error < o.error; }
};

Moments Measure(const std::vector<Point>& points, size_t begin, size_t end) {
  Moments m;
  for (size_t i = begin; i < end; ++i) m.add(points[i]);
  return m;
}

// Sorts the box along its widest axis and cuts it where the two halves' summed squared error
// is least. False when the box holds a single colour.
bool Split(std::vector<Point>& points, const Box& box, Box& low, Box& high) {
  if (box.end - box.begin < 2) return false;
  const Moments all = Measure(points, box.begin, box.end);
  int axis = 0;
  for (int a = 1; a < 3; ++a)
    if (all.axisError(a) > all.axisError(axis)) axis = a;
  if (all.axisError(axis) <= 0) return false;
  std::sort(points.begin() + std::ptrdiff_t(box.begin), points.begin() + std::ptrdiff_t(box.end),
            [axis](const Point& a, const Point& b) { return a.c[size_t(axis)] < b.c[size_t(axis)]; });
  Moments left;
  double best = -1;
  size_t cut = box.begin;
  double bestLow = 0, bestHigh = 0;
  for (size_t i = box.begin; i + 1 < box.end; ++i) {
    left.add(points[i]);
    if (points[i].c[size_t(axis)] == points[i + 1].c[size_t(axis)]) continue;
    const double lowError = left.error(), highError = all.minus(left).error();
    if (best < 0 || lowError + highError < best) {
      best = lowError + highError;
      cut = i + 1;
      bestLow = lowError;
      bestHigh = highError;
    }
  }
  if (best < 0) return false;
  low = {box.begin, cut, std::max(0.0, bestLow)};
  high = {cut, box.end, std::max(0.0, bestHigh)};
  return true;
}

std::vector<std::array<double, 3>> SplitIntoBoxes(std::vector<Point>& points, int target) {
  std::priority_queue<Box> open;
  std::vector<Box> done;
  open.push({0, points.size(), Measure(points, 0, points.size()).error()});
  while (!open.empty() && int(open.size() + done.size()) < target) {
    const Box box = open.top();
    open.pop();
    Box low{}, high{};
    if (Split(points, box, low, high)) {
      open.push(low);
      open.push(high);
    } else {
      done.push_back(box);
    }
  }
  for (; !open.empty(); open.pop()) done.push_back(open.top());
  std::vector<std::array<double, 3>> means;
  for (const Box& b : done) {
    const Moments m = Measure(points, b.begin, b.end);
    means.push_back({m.s[0] / m.w, m.s[1] / m.w, m.s[2] / m.w});
  }
  return means;
}

// Weighted k-means from the boxes' means. A point keeps its centre without a search when it
// lies within half the distance from that centre to any other (no other can then be nearer).
void Refine(const std::vector<Point>& points, std::vector<std::array<double, 3>>& centres, std::vector<double>& weights) {
  const size_t k = centres.size();
  std::vector<uint16_t> owner(points.size(), 0);
  std::vector<double> reach(k);
  double previous = -1;
  for (int iteration = 0; iteration < 12; ++iteration) {
    for (size_t a = 0; a < k; ++a) {
      double nearest = INFINITY;
      for (size_t b = 0; b < k; ++b)
        if (a != b) nearest = std::min(nearest, SquaredDistance(centres[a], centres[b]));
      reach[a] = nearest / 4;  // (half the distance) squared
    }
    std::vector<Moments> sums(k);
    double error = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const Point& p = points[i];
      size_t best = iteration == 0 ? 0 : owner[i];
      double bestDistance = SquaredDistance(p.c, centres[best]);
      if (iteration == 0 || bestDistance > reach[best]) {
        for (size_t c = 0; c < k; ++c) {
          const double d = SquaredDistance(p.c, centres[c]);
          if (d < bestDistance) {
            bestDistance = d;
            best = c;
          }
        }
      }
      owner[i] = uint16_t(best);
      sums[best].add(p);
      error += p.w * bestDistance;
    }
    for (size_t c = 0; c < k; ++c) {
      weights[c] = sums[c].w;
      if (sums[c].w > 0)
        for (int a = 0; a < 3; ++a) centres[c][size_t(a)] = sums[c].s[size_t(a)] / sums[c].w;
    }
    if (previous >= 0 && previous - error <= previous * 1e-4) break;
    previous = error;
  }
}

// Noisy photographs have hundreds of thousands of distinct colours, each seen a few times;
// pooling them into small cells (keeping each cell's exact mean and weight, so every mean the
// refinement computes stays exact) makes the work a fraction while moving no colour by more
// than the cell's width.
std::vector<Point> RefinementPoints(const std::vector<ColourHistogram::Entry>& entries) {
  constexpr size_t kMostPoints = 24 * 1024;
  std::vector<Point> points;
  if (entries.size() <= kMostPoints) {
    points.reserve(entries.size());
    for (const auto& e : entries) points.push_back({{double(e.colour.r), double(e.colour.g), double(e.colour.b)}, e.weight});
    return points;
  }
  std::vector<Moments> cells(size_t{1} << 18);
  std::vector<uint32_t> filled;
  for (const auto& e : entries) {
    const size_t cell = size_t(e.colour.r >> 2) << 12 | size_t(e.colour.g >> 2) << 6 | size_t(e.colour.b >> 2);
    if (cells[cell].w == 0) filled.push_back(uint32_t(cell));
    cells[cell].add({{double(e.colour.r), double(e.colour.g), double(e.colour.b)}, e.weight});
  }
  points.reserve(filled.size());
  for (uint32_t cell : filled) {
    const Moments& m = cells[cell];
    points.push_back({{m.s[0] / m.w, m.s[1] / m.w, m.s[2] / m.w}, m.w});
  }
  return points;
}

uint8_t Round(double v) { return uint8_t(std::clamp(std::lround(v), 0l, 255l)); }

}  // namespace

void ColourHistogram::add(Rgb c, double weight) {
  if (weight <= 0) return;
  if ((used_ + 1) * 2 > keys_.size()) grow();
  const uint32_t key = Key(c);
  const size_t mask = keys_.size() - 1;
  size_t s = Slot(key, mask);
  while (keys_[s] && keys_[s] != key) s = (s + 1) & mask;
  if (!keys_[s]) {
    keys_[s] = key;
    ++used_;
  }
  weights_[s] += weight;
}

void ColourHistogram::grow() { Rehash(keys_, weights_); }

void ColourHistogram::addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask,
                                    size_t maskStride) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + size_t(y) * stride;
    const uint8_t* m = mask ? mask + size_t(y) * maskStride : nullptr;
    // Runs of one colour are common (flat areas), so they are counted once per run.
    Rgb run{};
    double length = 0;
    for (int x = 0; x < width; ++x) {
      if (m && !m[x]) continue;
      const Rgb c{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
      if (length > 0 && c == run) {
        ++length;
        continue;
      }
      add(run, length);
      run = c;
      length = 1;
    }
    add(run, length);
  }
}

void ColourHistogram::addPalette(const Rgb* entries, int count, const int32_t* counts) {
  for (int i = 0; i < count; ++i)
    if (counts[i] > 0) add(entries[i], counts[i]);
}

std::vector<ColourHistogram::Entry> ColourHistogram::entries() const {
  std::vector<Entry> out;
  out.reserve(used_);
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i]) out.push_back({FromKey(keys_[i]), weights_[i]});
  return out;
}

int BuildRefinedPalette(const ColourHistogram& histogram, int target, Rgb* out) {
  target = std::clamp(target, 1, 256);
  std::vector<ColourHistogram::Entry> entries = histogram.entries();
  if (entries.empty()) return 0;
  auto byWeight = [](const auto& a, const auto& b) { return a.weight > b.weight; };
  if (int(entries.size()) <= target) {
    std::stable_sort(entries.begin(), entries.end(), byWeight);
    for (size_t i = 0; i < entries.size(); ++i) out[i] = entries[i].colour;
    return int(entries.size());
  }
  std::vector<Point> points = RefinementPoints(entries);
  std::vector<std::array<double, 3>> centres = SplitIntoBoxes(points, target);
  std::vector<double> weights(centres.size(), 0);
  Refine(points, centres, weights);

  struct Result {
    Rgb colour;
    double weight;
  };
  std::vector<Result> results;
  for (size_t c = 0; c < centres.size(); ++c)
    if (weights[c] > 0) results.push_back({{Round(centres[c][0]), Round(centres[c][1]), Round(centres[c][2])}, weights[c]});
  std::stable_sort(results.begin(), results.end(), byWeight);
  for (size_t i = 0; i < results.size(); ++i) out[i] = results[i].colour;
  return int(results.size());
}

int RefinedPaletteReduce(Rgb* entries, const int32_t* counts, int target, Progress* progress) {
  try {
    ColourHistogram histogram;
    histogram.addPalette(entries, 256, counts);
    Rgb result[256];
    const int n = BuildRefinedPalette(histogram, target, result);
    std::copy(result, result + n, entries);
    StepProgress(progress);
    return n;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

NearestColourCache::NearestColourCache(const Rgb* entries, int count) : entries_(entries, entries + count) {}

uint8_t NearestColourCache::lookup(Rgb c) {
  if ((used_ + 1) * 2 > keys_.size()) Rehash(keys_, values_);
  const uint32_t key = Key(c);
  const size_t mask = keys_.size() - 1;
  size_t s = Slot(key, mask);
  while (keys_[s] && keys_[s] != key) s = (s + 1) & mask;
  if (keys_[s]) return values_[s];
  keys_[s] = key;
  ++used_;
  values_[s] = uint8_t(NearestByDistance(entries_.data(), int(entries_.size()), c).index);
  return values_[s];
}

}  // namespace fw
