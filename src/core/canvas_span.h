#pragma once
// Where a frame's rows or columns land on a canvas.
#include <algorithm>
#include <cstdint>

namespace fw {

struct Span {
  int begin = 0, end = 0;  // canvas coordinates, end exclusive
  bool empty() const { return begin >= end; }
};

// Offsets and sizes come from files and may sit anywhere; clipping in 64 bits keeps them
// from wrapping.
inline Span ClipToCanvas(int32_t offset, int64_t size, int canvasSize) {
  const int64_t begin = std::max<int64_t>(0, offset);
  const int64_t end = std::min<int64_t>(canvasSize, int64_t{offset} + std::max<int64_t>(0, size));
  if (begin >= end) return {};
  return {static_cast<int>(begin), static_cast<int>(end)};
}

}  // namespace fw
