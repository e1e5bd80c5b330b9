#include <algorithm>
#include <cstdint>
#include <cstring>

#include <zlib.h>

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

bool PlaneSet::init(const uint8_t* data, size_t size, int compression, uint64_t width, uint64_t height, int planes,
                    int bitsPerSample) {
  data_ = data;
  size_ = size;
  compression_ = compression;
  width_ = width;
  height_ = height;
  sampleBytes_ = bitsPerSample == 16 ? 2 : 1;
  rowStart_.clear();
  inflated_.clear();
  cut_ = false;
  if (planes <= 0 || width == 0 || height == 0) return true;
  const uint64_t rows = height * static_cast<uint64_t>(planes);
  const uint64_t rowBytes = width * sampleBytes_;
  if (compression == kRaw) return rowBytes <= size / rows;
  if (compression == kZip || compression == kZipPredicted) return inflate(rows);
  if (compression != kPackBits || rows > size / 2) return false;
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

bool PlaneSet::inflate(uint64_t rows) {
  const uint64_t rowBytes = width_ * sampleBytes_;
  // No deflate stream expands further than this; a claim beyond it is not this data's.
  if (rows > (uint64_t{size_} * kMaxInflateRatio + 64) / rowBytes) return false;
  const uint64_t total = rows * rowBytes;
  std::vector<uint8_t> raw;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data_);
  z.avail_in = static_cast<uInt>(std::min<size_t>(size_, UINT32_MAX));
  // Grown as the data arrives, so a stream that stops early costs only what it delivered.
  int status = Z_OK;
  while (status == Z_OK && raw.size() < total) {
    const size_t have = raw.size();
    const size_t grow = static_cast<size_t>(std::min<uint64_t>(total - have, std::max<size_t>(have, 1u << 16)));
    raw.resize(have + grow);
    z.next_out = raw.data() + have;
    z.avail_out = static_cast<uInt>(grow);
    status = ::inflate(&z, Z_NO_FLUSH);
    raw.resize(have + grow - z.avail_out);
    if (status == Z_BUF_ERROR && z.avail_in > 0) status = Z_OK;
  }
  inflateEnd(&z);
  if (raw.empty() && total > 0 && status != Z_OK && status != Z_STREAM_END) return false;
  cut_ = raw.size() < total;
  const size_t whole = raw.size() / static_cast<size_t>(rowBytes);
  raw.resize(static_cast<size_t>(total), 0);
  if (compression_ == kZipPredicted) {
    for (size_t r = 0; r < whole; ++r) {
      uint8_t* row = raw.data() + r * static_cast<size_t>(rowBytes);
      if (sampleBytes_ == 1) {
        for (size_t x = 1; x < width_; ++x) row[x] = static_cast<uint8_t>(row[x] + row[x - 1]);
      } else {
        for (size_t x = 1; x < width_; ++x) {
          const unsigned v = (row[2 * x] << 8 | row[2 * x + 1]) + (row[2 * x - 2] << 8 | row[2 * x - 1]);
          row[2 * x] = static_cast<uint8_t>(v >> 8);
          row[2 * x + 1] = static_cast<uint8_t>(v);
        }
      }
    }
  }
  if (sampleBytes_ == 1) {
    inflated_ = std::move(raw);
  } else {
    inflated_.resize(static_cast<size_t>(rows * width_));
    for (size_t i = 0; i < inflated_.size(); ++i) inflated_[i] = To8Bits(raw[2 * i], raw[2 * i + 1]);
  }
  return true;
}

void PlaneSet::row(int plane, uint64_t y, uint64_t x, size_t count, uint8_t* out) const {
  if (x >= width_ || y >= height_) return;
  count = static_cast<size_t>(std::min<uint64_t>(count, width_ - x));
  const uint64_t r = static_cast<uint64_t>(plane) * height_ + y;
  if (compression_ == kZip || compression_ == kZipPredicted) {
    if ((r + 1) * width_ <= inflated_.size()) std::memcpy(out, inflated_.data() + (r * width_ + x), count);
    return;
  }
  uint8_t* into = out;
  if (sampleBytes_ == 2) {
    wide_.assign(2 * count, 0);
    into = wide_.data();
  }
  const size_t bytes = count * sampleBytes_;
  const uint64_t from = x * sampleBytes_;
  if (compression_ == kRaw) {
    std::memcpy(into, data_ + (r * width_ * sampleBytes_ + from), bytes);
  } else {
    if (r + 1 >= rowStart_.size()) return;
    const size_t begin = rowStart_[static_cast<size_t>(r)], end = rowStart_[static_cast<size_t>(r) + 1];
    UnpackBitsRow(data_ + begin, end - begin, into, static_cast<size_t>(from), bytes);
  }
  if (sampleBytes_ == 2)
    for (size_t i = 0; i < count; ++i) out[i] = To8Bits(wide_[2 * i], wide_[2 * i + 1]);
}

}  // namespace fw::psd
