#include <algorithm>
#include <cstring>

#include "formats/psd_stream.h"

namespace fw::psd {

void UnpackBitsRow(const uint8_t* src, size_t length, uint8_t* out, size_t skip, size_t count) {
  const size_t end = skip + count;
  size_t produced = 0, i = 0;
  auto put = [&](uint8_t v, size_t n) {
    // Only the overlap of [produced, produced + n) with [skip, end) is stored.
    const size_t from = std::max(produced, skip), to = std::min(produced + n, end);
    if (from < to) std::memset(out + (from - skip), v, to - from);
    produced += n;
  };
  while (i < length && produced < end) {
    const int n = static_cast<int8_t>(src[i++]);
    if (n >= 0) {
      const size_t run = std::min<size_t>(static_cast<size_t>(n) + 1, length - i);
      const size_t from = std::max(produced, skip), to = std::min(produced + run, end);
      if (from < to) std::memcpy(out + (from - skip), src + i + (from - produced), to - from);
      produced += run;
      i += run;
    } else if (n != -128) {
      if (i >= length) break;
      put(src[i++], static_cast<size_t>(1 - n));
    }
  }
}

bool PlaneSet::init(const uint8_t* data, size_t size, int compression, uint64_t width, uint64_t height, int planes) {
  data_ = data;
  size_ = size;
  compression_ = compression;
  width_ = width;
  height_ = height;
  rowStart_.clear();
  cut_ = false;
  if (planes <= 0 || width == 0 || height == 0) return true;
  const uint64_t rows = height * static_cast<uint64_t>(planes);
  if (compression == 0) return width <= size / rows;
  if (compression != 1 || rows > size / 2) return false;
  rowStart_.resize(static_cast<size_t>(rows) + 1);
  size_t at = static_cast<size_t>(rows) * 2;
  for (size_t r = 0; r < rows; ++r) {
    rowStart_[r] = at;
    const size_t length = static_cast<size_t>(data[2 * r] << 8 | data[2 * r + 1]);
    cut_ |= length > size - at;
    at = std::min(size, at + length);
  }
  rowStart_[static_cast<size_t>(rows)] = at;
  return true;
}

void PlaneSet::row(int plane, uint64_t y, uint64_t x, size_t count, uint8_t* out) const {
  if (x >= width_ || y >= height_) return;
  count = static_cast<size_t>(std::min<uint64_t>(count, width_ - x));
  const uint64_t r = static_cast<uint64_t>(plane) * height_ + y;
  if (compression_ == 0) {
    std::memcpy(out, data_ + (r * width_ + x), count);
    return;
  }
  if (r + 1 >= rowStart_.size()) return;
  const size_t begin = rowStart_[static_cast<size_t>(r)], end = rowStart_[static_cast<size_t>(r) + 1];
  UnpackBitsRow(data_ + begin, end - begin, out, static_cast<size_t>(x), count);
}

}  // namespace fw::psd
