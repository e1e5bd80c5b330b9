#include "gif/lzw_encoder.h"

#include <cstring>
#include <memory>

namespace fw {

LzwEncoder& ThreadLzwEncoder() {
  thread_local std::unique_ptr<LzwEncoder> encoder(new LzwEncoder);
  return *encoder;
}

bool LzwEncoder::flushBytes(bool final) {
  // Whole 254-byte sub-blocks go out; a short tail waits unless this is the end.
  int blocks = flatSize_ / kSubBlock;
  int tail = flatSize_ - blocks * kSubBlock;
  if (final && tail > 0) {
    ++blocks;
  }
  uint8_t* out = packets_;
  const uint8_t* in = flat_;
  size_t written = 0;
  for (int b = 0; b < blocks; ++b) {
    const int n = (final && b == blocks - 1 && tail > 0) ? tail : kSubBlock;
    *out++ = static_cast<uint8_t>(n);
    std::memcpy(out, in, static_cast<size_t>(n));
    out += n;
    in += n;
    written += static_cast<size_t>(n) + 1;
  }
  if (written && !sink_->write(packets_, written)) failed_ = true;
  const int consumed = static_cast<int>(in - flat_);
  std::memmove(flat_, in, static_cast<size_t>(flatSize_ - consumed));
  flatSize_ -= consumed;
  return !failed_;
}

inline bool LzwEncoder::emitCode(int code) {
  acc_ |= static_cast<uint64_t>(code) << accBits_;
  accBits_ += width_;
  if (accBits_ >= 32) {
    const uint32_t word = static_cast<uint32_t>(acc_);
    std::memcpy(flat_ + flatSize_, &word, 4);
    flatSize_ += 4;
    acc_ >>= 32;
    accBits_ -= 32;
    if (flatSize_ >= kSubBlock * kBlocksPerFlush) flushBytes(false);
  }
  if (nextFree_ > largest_ || clearPending_) {
    if (clearPending_) {
      width_ = initialBits_;
      largest_ = (1 << width_) - 1;
      clearPending_ = false;
    } else {
      ++width_;
      largest_ = width_ == 12 ? 4096 : (1 << width_) - 1;
    }
  }
  return !failed_;
}

bool LzwEncoder::encode(ByteSink& sink, const IndexedImage& image, int width, int height, bool interlaced,
                        int minCodeSize) {
  sink_ = &sink;
  failed_ = false;
  acc_ = 0;
  accBits_ = 0;
  flatSize_ = 0;
  initialBits_ = minCodeSize + 1;
  width_ = initialBits_;
  largest_ = (1 << width_) - 1;
  clear_ = 1 << minCodeSize;
  const int end = clear_ + 1;
  nextFree_ = clear_ + 2;
  clearPending_ = false;
  shift_ = minCodeSize;
  const size_t tableSize = size_t{4096} << shift_;
  if (child_.size() < tableSize) child_.assign(tableSize, 0);

  auto resetTable = [&] {
    for (int c = clear_ + 2; c < nextFree_; ++c) child_[slotOfCode_[c]] = 0;
    nextFree_ = clear_ + 2;
  };

  const bool empty = width <= 0 || height <= 0;
  if (empty) {
    emitCode(clear_);
    emitCode(end);
  } else {
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    int pass = interlaced ? 0 : -1;
    int y = 0;
    int prefix = image.row(0)[0];
    emitCode(clear_);
    int x = 1;
    uint16_t* const child = child_.data();
    const int shift = shift_;
    for (;;) {
      const uint8_t* row = image.row(y);
      for (; x < width; ++x) {
        const int c = row[x];
        const uint32_t slot = static_cast<uint32_t>(prefix << shift | c);
        const int code = child[slot];
        if (code) {
          prefix = code;
          continue;
        }
        emitCode(prefix);
        if (nextFree_ < 4096) {
          child[slot] = static_cast<uint16_t>(nextFree_);
          slotOfCode_[nextFree_] = slot;
          ++nextFree_;
        } else {
          resetTable();
          clearPending_ = true;
          emitCode(clear_);
        }
        prefix = c;
      }
      x = 0;
      // Next row in stream order.
      if (pass < 0) {
        if (++y >= height) break;
      } else {
        y += kStep[pass];
        while (y >= height && ++pass < 4) y = kStart[pass];
        if (pass >= 4) break;
      }
    }
    emitCode(prefix);
    emitCode(end);
  }
  // Last partial byte, then everything still buffered.
  while (accBits_ > 0) {
    flat_[flatSize_++] = static_cast<uint8_t>(acc_);
    acc_ >>= 8;
    accBits_ = accBits_ > 8 ? accBits_ - 8 : 0;
  }
  flushBytes(true);
  resetTable();
  sink_ = nullptr;
  return !failed_;
}

}  // namespace fw
