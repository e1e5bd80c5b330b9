#include "imaging/resize_resample.h"

#include <algorithm>
#include <cstring>

#include "core/indexed_image.h"

namespace fw {
namespace {

inline uint8_t Clip(int32_t v) {
  const int32_t r = (v + 2048) >> 12;
  return static_cast<uint8_t>(std::clamp(r, 0, 255));
}

// The taps of a table laid out with one count for every entry: `n` = min(5, source length)
// consecutive source pixels from `first`, the weights of pixels outside the entry's own taps
// 0. A fixed count lets the inner loops unroll.
struct FixedTaps {
  int32_t first = 0;
  int32_t weight[5] = {};
};

// How far into the source the table reads (never past the source's end).
int Reach(const std::vector<CubicTaps>& table) {
  int last = 1;
  for (const CubicTaps& t : table) last = std::max(last, t.first + t.count);
  return last;
}

std::vector<FixedTaps> Fix(const std::vector<CubicTaps>& table, int n, int reach) {
  std::vector<FixedTaps> out(table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const CubicTaps& t = table[i];
    FixedTaps& f = out[i];
    f.first = std::clamp(t.first, 0, reach - n);
    for (int k = 0; k < t.count; ++k) f.weight[t.first - f.first + k] = t.weightAt(k);
  }
  return out;
}

// Horizontal pass without transparency: `B` bytes per pixel, `N` taps.
template <int B, int N>
void Horizontal(ConstPlane src, int sh, Plane dst, const std::vector<FixedTaps>& columns) {
  const size_t dw = columns.size();
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = src.rows + static_cast<size_t>(y) * src.stride;
    uint8_t* d = dst.rows + static_cast<size_t>(y) * dst.stride;
    for (size_t i = 0; i < dw; ++i) {
      const FixedTaps& t = columns[i];
      const uint8_t* p = s + static_cast<size_t>(t.first) * B;
      int32_t acc[B] = {};
      for (int k = 0; k < N; ++k)
        for (int ch = 0; ch < B; ++ch) acc[ch] += p[k * B + ch] * t.weight[k];
      for (int ch = 0; ch < B; ++ch) d[i * B + ch] = Clip(acc[ch]);
    }
  }
}

// Vertical pass without transparency over rows of `n` bytes, straight along memory.
template <int N>
void Vertical(ConstPlane src, Plane dst, size_t n, const std::vector<FixedTaps>& rows) {
  for (size_t j = 0; j < rows.size(); ++j) {
    const FixedTaps& t = rows[j];
    const uint8_t* r[N];
    int32_t w[N];
    for (int k = 0; k < N; ++k) {
      r[k] = src.rows + static_cast<size_t>(t.first + k) * src.stride;
      w[k] = t.weight[k];
    }
    uint8_t* d = dst.rows + j * dst.stride;
    for (size_t x = 0; x < n; ++x) {
      int32_t v = 0;
      for (int k = 0; k < N; ++k) v += r[k][x] * w[k];
      d[x] = Clip(v);
    }
  }
}

template <int B>
void HorizontalAny(ConstPlane src, int sh, Plane dst, const std::vector<CubicTaps>& columns) {
  const int reach = Reach(columns), n = std::min(5, reach);
  const std::vector<FixedTaps> fixed = Fix(columns, n, reach);
  switch (n) {
    case 5: return Horizontal<B, 5>(src, sh, dst, fixed);
    case 4: return Horizontal<B, 4>(src, sh, dst, fixed);
    case 3: return Horizontal<B, 3>(src, sh, dst, fixed);
    case 2: return Horizontal<B, 2>(src, sh, dst, fixed);
    default: return Horizontal<B, 1>(src, sh, dst, fixed);
  }
}

void VerticalAny(ConstPlane src, Plane dst, size_t n, const std::vector<CubicTaps>& rows) {
  const int reach = Reach(rows), taps = std::min(5, reach);
  const std::vector<FixedTaps> fixed = Fix(rows, taps, reach);
  switch (taps) {
    case 5: return Vertical<5>(src, dst, n, fixed);
    case 4: return Vertical<4>(src, dst, n, fixed);
    case 3: return Vertical<3>(src, dst, n, fixed);
    case 2: return Vertical<2>(src, dst, n, fixed);
    default: return Vertical<1>(src, dst, n, fixed);
  }
}

inline void Copy3(uint8_t* d, const uint8_t* s) {
  d[0] = s[0];
  d[1] = s[1];
  d[2] = s[2];
}

void HorizontalMasked(ConstPlane src, ConstPlane mask, int sh, Plane dst, Plane dstMask, int dw,
                      const std::vector<CubicTaps>& columns) {
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = src.rows + static_cast<size_t>(y) * src.stride;
    const uint8_t* m = mask.rows + static_cast<size_t>(y) * mask.stride;
    uint8_t* d = dst.rows + static_cast<size_t>(y) * dst.stride;
    uint8_t* dm = dstMask.rows + static_cast<size_t>(y) * dstMask.stride;
    for (int i = 0; i < dw; ++i) {
      const CubicTaps& t = columns[static_cast<size_t>(i)];
      const uint8_t* centre = s + static_cast<size_t>(t.centre) * 3;
      if (m[t.centre] == 0) {
        Copy3(d + i * 3, centre);
        dm[i] = 0;
        continue;
      }
      int32_t acc[3] = {};
      for (int k = 0; k < t.count; ++k) {
        const int x = t.first + k;
        const uint8_t* p = m[x] == 0 ? centre : s + static_cast<size_t>(x) * 3;
        const int32_t w = t.weightAt(k);
        for (int ch = 0; ch < 3; ++ch) acc[ch] += p[ch] * w;
      }
      for (int ch = 0; ch < 3; ++ch) d[i * 3 + ch] = Clip(acc[ch]);
      dm[i] = 255;
    }
  }
}

void VerticalMasked(ConstPlane src, ConstPlane mask, Plane dst, Plane dstMask, int dw,
                    const std::vector<CubicTaps>& rows) {
  for (size_t j = 0; j < rows.size(); ++j) {
    const CubicTaps& t = rows[j];
    const uint8_t* centreRow = src.rows + static_cast<size_t>(t.centre) * src.stride;
    const uint8_t* centreMask = mask.rows + static_cast<size_t>(t.centre) * mask.stride;
    uint8_t* d = dst.rows + j * dst.stride;
    uint8_t* dm = dstMask.rows + j * dstMask.stride;
    for (int i = 0; i < dw; ++i) {
      const uint8_t* centre = centreRow + static_cast<size_t>(i) * 3;
      dm[i] = centreMask[i];
      if (centreMask[i] == 0) {
        Copy3(d + i * 3, centre);
        continue;
      }
      int32_t acc[3] = {};
      for (int k = 0; k < t.count; ++k) {
        const size_t y = static_cast<size_t>(t.first + k);
        const uint8_t* p = mask.rows[y * mask.stride + static_cast<size_t>(i)] == 0
                               ? centre
                               : src.rows + y * src.stride + static_cast<size_t>(i) * 3;
        const int32_t w = t.weightAt(k);
        for (int ch = 0; ch < 3; ++ch) acc[ch] += p[ch] * w;
      }
      for (int ch = 0; ch < 3; ++ch) d[i * 3 + ch] = Clip(acc[ch]);
    }
  }
}

}  // namespace

void ResampleColour(ConstPlane source, ConstPlane mask, int sh, Plane dest, Plane destMask, int dw,
                    const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                    ResampleScratch& scratch) {
  const size_t stride = Stride24(dw);
  scratch.colour.resize(stride * static_cast<size_t>(sh));
  const Plane inter{scratch.colour.data(), stride};
  if (!mask.rows) {
    HorizontalAny<3>(source, sh, inter, columns);
    VerticalAny({inter.rows, inter.stride}, dest, static_cast<size_t>(dw) * 3, rows);
    return;
  }
  const size_t maskStride = Stride8(dw);
  scratch.mask.resize(maskStride * static_cast<size_t>(sh));
  const Plane interMask{scratch.mask.data(), maskStride};
  HorizontalMasked(source, mask, sh, inter, interMask, dw, columns);
  VerticalMasked({inter.rows, inter.stride}, {interMask.rows, interMask.stride}, dest, destMask, dw, rows);
}

void ResampleChannel(ConstPlane source, int sh, Plane dest, int dw,
                     const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                     ResampleScratch& scratch) {
  const size_t stride = Stride8(dw);
  scratch.mask.resize(stride * static_cast<size_t>(sh));
  const Plane inter{scratch.mask.data(), stride};
  HorizontalAny<1>(source, sh, inter, columns);
  VerticalAny({inter.rows, inter.stride}, dest, static_cast<size_t>(dw), rows);
}

}  // namespace fw
