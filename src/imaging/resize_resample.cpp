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

// Horizontal pass without transparency: `B` bytes per pixel.
template <int B>
void Horizontal(ConstPlane src, int sh, Plane dst, int dw, const std::vector<CubicTaps>& columns) {
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = src.rows + static_cast<size_t>(y) * src.stride;
    uint8_t* d = dst.rows + static_cast<size_t>(y) * dst.stride;
    for (int i = 0; i < dw; ++i) {
      const CubicTaps& t = columns[static_cast<size_t>(i)];
      const uint8_t* p = s + static_cast<size_t>(t.first) * B;
      int32_t acc[B] = {};
      for (int k = 0; k < t.count; ++k) {
        const int32_t w = t.weightAt(k);
        for (int ch = 0; ch < B; ++ch) acc[ch] += p[k * B + ch] * w;
      }
      for (int ch = 0; ch < B; ++ch) d[i * B + ch] = Clip(acc[ch]);
    }
  }
}

// Vertical pass without transparency over rows of `n` bytes; a row of sums at a time so the
// inner loop runs straight along memory.
void Vertical(ConstPlane src, Plane dst, size_t n, int dh, const std::vector<CubicTaps>& rows,
              std::vector<int32_t>& sums) {
  sums.resize(n);
  for (int j = 0; j < dh; ++j) {
    const CubicTaps& t = rows[static_cast<size_t>(j)];
    std::fill(sums.begin(), sums.end(), 0);
    int32_t* acc = sums.data();
    for (int k = 0; k < t.count; ++k) {
      const uint8_t* r = src.rows + static_cast<size_t>(t.first + k) * src.stride;
      const int32_t w = t.weightAt(k);
      for (size_t x = 0; x < n; ++x) acc[x] += r[x] * w;
    }
    uint8_t* d = dst.rows + static_cast<size_t>(j) * dst.stride;
    for (size_t x = 0; x < n; ++x) d[x] = Clip(acc[x]);
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

void VerticalMasked(ConstPlane src, ConstPlane mask, Plane dst, Plane dstMask, int dw, int dh,
                    const std::vector<CubicTaps>& rows) {
  for (int j = 0; j < dh; ++j) {
    const CubicTaps& t = rows[static_cast<size_t>(j)];
    const uint8_t* centreRow = src.rows + static_cast<size_t>(t.centre) * src.stride;
    const uint8_t* centreMask = mask.rows + static_cast<size_t>(t.centre) * mask.stride;
    uint8_t* d = dst.rows + static_cast<size_t>(j) * dst.stride;
    uint8_t* dm = dstMask.rows + static_cast<size_t>(j) * dstMask.stride;
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

void ResampleColour(ConstPlane source, ConstPlane mask, int sh, Plane dest, Plane destMask, int dw, int dh,
                    const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                    ResampleScratch& scratch) {
  const size_t stride = Stride24(dw);
  scratch.colour.resize(stride * static_cast<size_t>(sh));
  const Plane inter{scratch.colour.data(), stride};
  if (!mask.rows) {
    Horizontal<3>(source, sh, inter, dw, columns);
    Vertical({inter.rows, inter.stride}, dest, static_cast<size_t>(dw) * 3, dh, rows, scratch.sums);
    return;
  }
  const size_t maskStride = Stride8(dw);
  scratch.mask.resize(maskStride * static_cast<size_t>(sh));
  const Plane interMask{scratch.mask.data(), maskStride};
  HorizontalMasked(source, mask, sh, inter, interMask, dw, columns);
  VerticalMasked({inter.rows, inter.stride}, {interMask.rows, interMask.stride}, dest, destMask, dw, dh, rows);
}

void ResampleChannel(ConstPlane source, int sh, Plane dest, int dw, int dh,
                     const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                     ResampleScratch& scratch) {
  const size_t stride = Stride8(dw);
  scratch.mask.resize(stride * static_cast<size_t>(sh));
  const Plane inter{scratch.mask.data(), stride};
  Horizontal<1>(source, sh, inter, dw, columns);
  Vertical({inter.rows, inter.stride}, dest, static_cast<size_t>(dw), dh, rows, scratch.sums);
}

}  // namespace fw
