#include "imaging/ditherer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "core/message_sink.h"
#include "core/string_table.h"
#include "imaging/inverse_map.h"

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

// One pixel: the colour plus the carried error picks a map cell; the error of the chosen entry
// is spread to the neighbours. Returns the chosen index.
inline uint8_t DitherPixel(int r, int g, int b, int x, const uint8_t* q, int32_t* cur, int32_t* next,
                           const uint8_t* map, const Rgb* pal) {
  int32_t* c = cur + 3 * x;
  const int vr = std::clamp(r + c[0] / 16, 0, 255);
  const int vg = std::clamp(g + c[1] / 16, 0, 255);
  const int vb = std::clamp(b + c[2] / 16, 0, 255);
  const uint8_t index = map[size_t(q[vr]) * 1024 + size_t(q[vg]) * 32 + size_t(q[vb])];
  const Rgb& p = pal[index];
  const int er = vr - p.r, eg = vg - p.g, eb = vb - p.b;
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
template <typename RowSource>
bool DitherLoop(uint8_t* dst, size_t dstStride, int width, int height, int dstTransparent, bool* opaqueUsed,
                RowSource source) {
  if (!EnsureErrorRows(width)) return false;
  ErrorRows& e = SharedErrorRows();
  const InverseColourMap& m = SharedInverseMap();
  const uint8_t* map = m.data();
  const Rgb* pal = m.entries();
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
      out[x] = DitherPixel(r, g, b, x, kQuantiser.byOffset[offsets[x & 3] + 1], cur, next, map, pal);
      if (opaqueUsed) opaqueUsed[out[x]] = true;
    }
    std::fill(cur - 3, cur + rowInts + 6, 0);
    std::swap(cur, next);
  }
  return true;
}

}  // namespace

int DitherCell(int v, int k) { return Quantise(std::clamp(v, 0, 255), std::clamp(k, -1, 6)); }

bool PrepareDithering(const Rgb* entries, int mapCount, int width) {
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
  const uint8_t* map = SharedInverseMap().data();
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = bgr + size_t(y) * bgrStride;
    const uint8_t* m = mask ? mask + size_t(y) * maskStride : nullptr;
    uint8_t* out = dst + size_t(y) * dstStride;
    for (int x = 0; x < width; ++x, p += 3)
      out[x] = (m && !m[x]) ? maskedIndex : map[InverseColourMap::Cell(p[2], p[1], p[0])];
  }
  return true;
}

}  // namespace fw
