#include "imaging/ditherer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/message_sink.h"
#include "core/string_table.h"
#include "imaging/inverse_map.h"
#include "imaging/refined_palette.h"


namespace fw {
namespace {

constexpr int kOffsets[4][4] = {{6, 0, 5, -1}, {2, 4, 1, 3}, {5, -1, 6, 0}, {1, 3, 2, 4}};

// Quantiser tables: one indexed by v + k for k from 0 to 6, one by v for k = -1. The loop
// reads them through one 256-entry row per matrix value, so no pixel branches on k.
struct QuantiserTables {
  std::array<uint8_t, 262> shifted{};
  std::array<uint8_t, 256> minusOne{};
  uint8_t byOffset[8][256];  // [k + 1][v]
  QuantiserTables() {
    for (int j = 0; j < 262; ++j) shifted[size_t(j)] = uint8_t(j < 7 ? 0 : j < 23 ? 1 : (j - 7) / 8);
    for (int v = 0; v < 256; ++v) minusOne[size_t(v)] = uint8_t(v < 8 ? 0 : v < 24 ? 1 : v == 255 ? 31 : (v - 8) / 8);
    for (int v = 0; v < 256; ++v) {
      byOffset[0][v] = minusOne[size_t(v)];
      for (int k = 0; k <= 6; ++k) byOffset[k + 1][v] = shifted[size_t(v + k)];
    }
  }
};
const QuantiserTables kQuantiser;

inline int Quantise(int v, int k) { return kQuantiser.byOffset[k + 1][v]; }

// Two rows of error accumulators (sixteen times the diffused error), each with a guard entry
// on the left and two on the right.
struct ErrorRows {
  std::vector<int32_t> storage;
  int capacity = 0;  // pixels per row
  size_t rowInts() const { return size_t(capacity + 3) * 3; }
  int32_t* row(int k) { return storage.data() + size_t(k) * rowInts() + 3; }  // entry 0
};

ErrorRows& SharedErrorRows() {
  static ErrorRows rows;
  return rows;
}

bool EnsureErrorRows(int width) {
  ErrorRows& e = SharedErrorRows();
  const int needed = (std::max(width, 1) + 3) / 4 * 4;
  try {
    if (e.capacity < needed) {
      e.storage.clear();
      e.storage.shrink_to_fit();
      e.capacity = 0;
      e.storage.assign(size_t(needed + 3) * 3 * 2, 0);
      e.capacity = needed;
    } else {
      std::fill(e.storage.begin(), e.storage.end(), 0);
    }
  } catch (const std::bad_alloc&) {
    SharedInverseMap().invalidate();
    ShowMessage(msg::kNoMemoryErrorDiffusion);
    return false;
  }
  return true;
}

// Exact dithering passes on three quarters of each pixel's error, as Atkinson's dither does:
// onto a palette fitted to the picture the whole error mostly adds noise to flat regions
// (about 1 to 2 dB lower fidelity measured) without taking away more banding.
constexpr int kExactErrorEighths = 6;

// The palette exact dithering chooses from, and each colour's nearest entry in it once found.
struct ExactTarget {
  bool on = false;
  std::vector<Rgb> entries;
  std::unique_ptr<NearestColourCache> nearest;
};

ExactTarget& SharedExactTarget() {
  static ExactTarget target;
  return target;
}

// One pixel: the colour plus the carried error picks an entry (`choose`); the error of the
// chosen entry is spread to the neighbours. Returns the chosen index.
template <int kEighths, typename Choose>
inline uint8_t DitherPixel(int r, int g, int b, int x, int32_t* cur, int32_t* next, const Rgb* pal, Choose choose) {
  int32_t* c = cur + 3 * x;
  const int vr = std::clamp(r + c[0] / 16, 0, 255);
  const int vg = std::clamp(g + c[1] / 16, 0, 255);
  const int vb = std::clamp(b + c[2] / 16, 0, 255);
  const uint8_t index = choose(vr, vg, vb);
  const Rgb& p = pal[index];
  const int er = (vr - p.r) * kEighths / 8, eg = (vg - p.g) * kEighths / 8, eb = (vb - p.b) * kEighths / 8;
  c[3] += 7 * er;
  c[4] += 7 * eg;
  c[5] += 7 * eb;
  int32_t* n = next + 3 * x;
  n[-3] += 3 * er;
  n[-2] += 3 * eg;
  n[-1] += 3 * eb;
  n[0] += 5 * er;
  n[1] += 5 * eg;
  n[2] += 5 * eb;
  n[3] += er;
  n[4] += eg;
  n[5] += eb;
  return index;
}

// The shared loop: `colourAt(x)` yields the source colour of pixel x of the current row, or
// false for a transparent pixel.
template <bool kExact, typename RowSource>
void DitherRows(uint8_t* dst, size_t dstStride, int width, int height, int dstTransparent, bool* opaqueUsed,
                RowSource source) {
  ErrorRows& e = SharedErrorRows();
  const InverseColourMap& m = SharedInverseMap();
  const uint8_t* map = m.data();
  ExactTarget& exact = SharedExactTarget();
  const Rgb* pal = kExact ? exact.entries.data() : m.entries();
  int32_t* cur = e.row(0);
  int32_t* next = e.row(1);
  const size_t rowInts = size_t(e.capacity) * 3;
  for (int y = 0; y < height; ++y) {
    uint8_t* out = dst + size_t(y) * dstStride;
    const int* offsets = kOffsets[y & 3];
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      if (!source(y, x, r, g, b)) {
        out[x] = static_cast<uint8_t>(dstTransparent);
        continue;
      }
      if constexpr (kExact) {
        out[x] = DitherPixel<kExactErrorEighths>(r, g, b, x, cur, next, pal, [&](int vr, int vg, int vb) {
          return exact.nearest->lookup(Rgb{uint8_t(vr), uint8_t(vg), uint8_t(vb)});
        });
      } else {
        const uint8_t* q = kQuantiser.byOffset[offsets[x & 3] + 1];
        out[x] = DitherPixel<8>(r, g, b, x, cur, next, pal, [&](int vr, int vg, int vb) {
          return map[size_t(q[vr]) * 1024 + size_t(q[vg]) * 32 + size_t(q[vb])];
        });
      }
      if (opaqueUsed) opaqueUsed[out[x]] = true;
    }
    std::fill(cur - 3, cur + rowInts + 6, 0);
    std::swap(cur, next);
  }
}

template <typename RowSource>
bool DitherLoop(uint8_t* dst, size_t dstStride, int width, int height, int dstTransparent, bool* opaqueUsed,
                RowSource source) {
  if (!EnsureErrorRows(width)) return false;
  if (!SharedExactTarget().on) {
    DitherRows<false>(dst, dstStride, width, height, dstTransparent, opaqueUsed, source);
    return true;
  }
  try {
    // The nearest-entry memory grows with the colours dithering produces.
    DitherRows<true>(dst, dstStride, width, height, dstTransparent, opaqueUsed, source);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryDithering);
    return false;
  }
  return true;
}

}  // namespace

int DitherCell(int v, int k) { return Quantise(std::clamp(v, 0, 255), std::clamp(k, -1, 6)); }

bool PrepareExactDithering(const Rgb* entries, int count, int width) {
  ExactTarget& target = SharedExactTarget();
  target.on = false;
  try {
    target.entries.assign(entries, entries + std::clamp(count, 1, 256));
    target.nearest = std::make_unique<NearestColourCache>(target.entries.data(), static_cast<int>(target.entries.size()));
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryDithering);
    return false;
  }
  target.on = true;
  return EnsureErrorRows(width);
}

bool PrepareDithering(const Rgb* entries, int mapCount, int width) {
  SharedExactTarget().on = false;
  if (!SharedInverseMap().prepare(entries, mapCount)) {
    ShowMessage(msg::kNoMemoryDithering);
    return false;
  }
  return EnsureErrorRows(width);
}

bool DitherIndexedRows(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride, const Rgb* srcPalette,
                       int srcCount, int width, int height, int srcTransparent, int dstTransparent, bool* opaqueUsed) {
  // Indices beyond the source palette read as black rather than past its end.
  Rgb colours[256] = {};
  std::copy(srcPalette, srcPalette + std::clamp(srcCount, 0, 256), colours);
  return DitherLoop(dst, dstStride, width, height, dstTransparent, opaqueUsed,
                    [&](int y, int x, int& r, int& g, int& b) {
                      const int i = src[size_t(y) * srcStride + size_t(x)];
                      if (i == srcTransparent) return false;
                      r = colours[i].r;
                      g = colours[i].g;
                      b = colours[i].b;
                      return true;
                    });
}

bool ConvertTrueColourRows(uint8_t* dst, size_t dstStride, const uint8_t* bgr, size_t bgrStride, const uint8_t* mask,
                           size_t maskStride, int width, int height, bool dither, uint8_t maskedIndex) {
  if (dither) {
    return DitherLoop(dst, dstStride, width, height, maskedIndex, nullptr, [&](int y, int x, int& r, int& g, int& b) {
      if (mask && !mask[size_t(y) * maskStride + size_t(x)]) return false;
      const uint8_t* p = bgr + size_t(y) * bgrStride + 3 * size_t(x);
      b = p[0];
      g = p[1];
      r = p[2];
      return true;
    });
  }
  auto mapRows = [&](auto entryOf) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = bgr + size_t(y) * bgrStride;
      const uint8_t* m = mask ? mask + size_t(y) * maskStride : nullptr;
      uint8_t* out = dst + size_t(y) * dstStride;
      for (int x = 0; x < width; ++x, p += 3) out[x] = (m && !m[x]) ? maskedIndex : entryOf(p[2], p[1], p[0]);
    }
  };
  if (ExactTarget& exact = SharedExactTarget(); exact.on) {
    try {
      mapRows([&](uint8_t r, uint8_t g, uint8_t b) { return exact.nearest->lookup(Rgb{r, g, b}); });
    } catch (const std::bad_alloc&) {
      ShowMessage(msg::kNoMemoryDithering);
      return false;
    }
    return true;
  }
  const uint8_t* map = SharedInverseMap().data();
  mapRows([map](uint8_t r, uint8_t g, uint8_t b) { return map[InverseColourMap::Cell(r, g, b)]; });
  return true;
}

}  // namespace fw
