#include "gif/lzw_decoder.h"

#include <cstring>

namespace fw {
namespace {

constexpr int kMaxCodes = 4096;

// Where the next decoded pixels go: the current row and what is left of it, advancing
// through the rows in stream order (top to bottom, or the four interlace passes).
class RowCursor {
 public:
  RowCursor(IndexedImage& image, int width, int height, bool interlaced)
      : image_(image), width_(width), height_(height), interlaced_(interlaced) {
    if (width_ <= 0 || height_ <= 0) {
      done_ = true;
      return;
    }
    row_ = 0;
    setRow();
  }

  bool done() const { return done_; }
  int remaining() const { return remaining_; }
  uint8_t* dst() { return dst_; }

  // Records that n pixels (n <= remaining) were written at dst().
  void advance(int n) {
    dst_ += n;
    remaining_ -= n;
    if (remaining_ == 0) nextRow();
  }

 private:
  void setRow() {
    dst_ = image_.row(row_);
    remaining_ = width_;
  }

  void nextRow() {
    if (!interlaced_) {
      if (++row_ >= height_) {
        done_ = true;
        return;
      }
      setRow();
      return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    while (row_ >= height_) {
      if (++pass_ >= 4) {
        done_ = true;
        return;
      }
      row_ = kStart[pass_];
    }
    setRow();
  }

  IndexedImage& image_;
  int width_, height_;
  bool interlaced_;
  int row_ = 0;
  int pass_ = 0;
  uint8_t* dst_ = nullptr;
  int remaining_ = 0;
  bool done_ = false;
};

}  // namespace

LzwResult LzwDecoder::decode(const uint8_t* data, size_t size, bool terminated, int minCodeSize,
                             IndexedImage& image, int width, int height, bool interlaced) {
  RowCursor out(image, width, height, interlaced);
  if (out.done()) return LzwResult::kComplete;

  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  for (int i = 0; i < clear; ++i) {
    prefix_[i] = 0;
    suffix_[i] = static_cast<uint8_t>(i);
    first_[i] = static_cast<uint8_t>(i);
    length_[i] = 1;
  }

  int codeSize = minCodeSize + 1;
  int limit = clear << 1;
  int nextFree = clear + 2;
  int previous = -1;  // -1: the next code starts a fresh table

  // Bit reader: a 64-bit window over the data, least significant bit first.
  const uint8_t* p = data;
  const uint8_t* const dataEnd = data + size;
  uint64_t bits = 0;
  int bitCount = 0;

  auto ranOutOrEnded = [&](bool endCode) {
    if (endCode) return terminated ? LzwResult::kEndedEarly : LzwResult::kRanOut;
    return LzwResult::kRanOut;
  };

  for (;;) {
    if (bitCount < codeSize) {
      // Refill whole bytes; the caller's padding makes the 8-byte load safe.
      if (p < dataEnd) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        const int take = (63 - bitCount) >> 3;
        const size_t avail = static_cast<size_t>(dataEnd - p);
        const int bytes = avail < static_cast<size_t>(take) ? static_cast<int>(avail) : take;
        if (bytes < 8) word &= (uint64_t{1} << (bytes * 8)) - 1;
        bits |= word << bitCount;
        bitCount += bytes * 8;
        p += bytes;
      }
      if (bitCount < codeSize) return LzwResult::kRanOut;
    }
    const int code = static_cast<int>(bits & ((1u << codeSize) - 1));
    bits >>= codeSize;
    bitCount -= codeSize;

    if (code == clear) {
      codeSize = minCodeSize + 1;
      limit = clear << 1;
      nextFree = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) return ranOutOrEnded(true);

    if (previous < 0) {
      // First code of a fresh table: only a literal is meaningful here.
      if (code > end) return LzwResult::kCorrupt;
      *out.dst() = static_cast<uint8_t>(code);
      out.advance(1);
      if (out.done()) return LzwResult::kComplete;
      previous = code;
      continue;
    }

    int emitted;  // the code whose string is written (with the KwKwK case handled below)
    int length;
    uint8_t firstByte;
    bool kwkwk = false;
    if (code < nextFree) {
      emitted = code;
      length = length_[code];
      firstByte = first_[code];
    } else if (code == nextFree && nextFree < kMaxCodes) {
      // The string is previous + previous's first byte.
      kwkwk = true;
      emitted = previous;
      length = length_[previous] + 1;
      firstByte = first_[previous];
    } else {
      return LzwResult::kCorrupt;
    }

    if (length <= out.remaining()) {
      uint8_t* d = out.dst() + length - 1;
      int c = emitted;
      if (kwkwk) *d-- = firstByte;
      while (c >= clear) {
        *d-- = suffix_[c];
        c = prefix_[c];
      }
      *d = static_cast<uint8_t>(c);
      out.advance(length);
    } else {
      // The string crosses a row end: spell it out, then copy it row by row.
      uint8_t* d = scratch_ + length - 1;
      int c = emitted;
      if (kwkwk) *d-- = firstByte;
      while (c >= clear) {
        *d-- = suffix_[c];
        c = prefix_[c];
      }
      *d = static_cast<uint8_t>(c);
      const uint8_t* s = scratch_;
      int left = length;
      while (left > 0 && !out.done()) {
        const int n = left < out.remaining() ? left : out.remaining();
        std::memcpy(out.dst(), s, static_cast<size_t>(n));
        s += n;
        left -= n;
        out.advance(n);
      }
    }

    if (nextFree < kMaxCodes) {
      prefix_[nextFree] = static_cast<uint16_t>(previous);
      suffix_[nextFree] = firstByte;
      first_[nextFree] = first_[previous];
      length_[nextFree] = static_cast<uint16_t>(length_[previous] + 1);
      ++nextFree;
      if (nextFree >= limit && limit < kMaxCodes) {
        limit <<= 1;
        ++codeSize;
      }
    }
    previous = code;
    if (out.done()) return LzwResult::kComplete;
  }
}

}  // namespace fw
