#pragma once
// Reading the parts of a PSD file held in memory: a big-endian cursor that never reads past
// its end, and the channel planes (raw or PackBits) a picture or layer is stored in.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw::psd {

class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size, size_t at = 0) : data_(data), size_(size), at_(at <= size ? at : size) {}

  // False once any read went past the end; reads past the end give zeros.
  bool ok() const { return ok_; }
  size_t at() const { return at_; }
  size_t remaining() const { return size_ - at_; }
  const uint8_t* here() const { return data_ + at_; }

  bool has(uint64_t n) const { return n <= remaining(); }
  bool skip(uint64_t n) {
    if (!has(n)) {
      at_ = size_;
      ok_ = false;
      return false;
    }
    at_ += static_cast<size_t>(n);
    return true;
  }
  uint8_t u8() { return static_cast<uint8_t>(take(1)); }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  uint32_t u32() { return static_cast<uint32_t>(take(4)); }
  int16_t s16() { return static_cast<int16_t>(u16()); }
  int32_t s32() { return static_cast<int32_t>(u32()); }
  bool tag(const char (&four)[5]) {
    if (!has(4)) return skip(4);
    const bool same = data_[at_] == uint8_t(four[0]) && data_[at_ + 1] == uint8_t(four[1]) &&
                      data_[at_ + 2] == uint8_t(four[2]) && data_[at_ + 3] == uint8_t(four[3]);
    at_ += 4;
    return same;
  }

 private:
  uint32_t take(int n) {
    if (!has(static_cast<uint64_t>(n))) {
      at_ = size_;
      ok_ = false;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | data_[at_++];
    return v;
  }

  const uint8_t* data_;
  size_t size_;
  size_t at_;
  bool ok_ = true;
};

// Expands one PackBits row. Only the output bytes from `skip` on are stored, at most
// `count` of them; bytes the row does not produce are left as they are.
void UnpackBitsRow(const uint8_t* src, size_t length, uint8_t* out, size_t skip, size_t count);

inline constexpr int kRaw = 0;
inline constexpr int kPackBits = 1;
inline constexpr int kZip = 2;
inline constexpr int kZipPredicted = 3;

// The most bytes a deflate stream can expand one byte into.
inline constexpr uint64_t kMaxInflateRatio = 1032;

// `planes` channel planes of width x height after a compression word: raw planes one after
// another; PackBits with a table of 2-byte row lengths for every row of every plane followed
// by the rows; or one zlib stream of the raw planes, whose rows may hold differences from the
// sample to their left (prediction). Samples are 8 or 16 bits; 16-bit samples are scaled to 8
// bits. Any part of a row can be fetched.
class PlaneSet {
 public:
  // False when the data cannot hold what it claims (too short for the raw planes or the
  // row table, a zlib stream that does not start, an unknown compression): the file is
  // damaged.
  bool init(const uint8_t* data, size_t size, int compression, uint64_t width, uint64_t height, int planes,
            int bitsPerSample = 8);
  // Columns [x, x + count) of row y of the plane into out.
  void row(int plane, uint64_t y, uint64_t x, size_t count, uint8_t* out) const;
  // The compressed rows claim more bytes than the data holds: the rows past its end read blank.
  bool cut() const { return cut_; }

 private:
  bool inflate(uint64_t rows);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int compression_ = 0;
  uint64_t width_ = 0, height_ = 0;
  size_t sampleBytes_ = 1;
  std::vector<size_t> rowStart_;  // PackBits: where each row begins, plus the end
  std::vector<uint8_t> inflated_; // zip: the planes at 8 bits, rows that did not arrive 0
  mutable std::vector<uint8_t> wide_;  // 16-bit rows before scaling
  bool cut_ = false;
};

// A 16-bit sample to 8 bits, rounded.
inline uint8_t To8Bits(unsigned high, unsigned low) {
  return static_cast<uint8_t>(((high << 8 | low) * 255u + 32767u) / 65535u);
}

}  // namespace fw::psd
