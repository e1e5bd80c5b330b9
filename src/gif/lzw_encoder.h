#pragma once
// GIF variable-length LZW encoding of a frame's rows into data sub-blocks of 254 bytes.
#include <cstdint>
#include <vector>

#include "core/indexed_image.h"
#include "gif/byte_sink.h"

namespace fw {

class LzwEncoder {
 public:
  // Writes the LZW data sub-blocks (not the minimum code size byte, not the terminator) for
  // `width` x `height` pixels of `image` in stream order. Every pixel must be below
  // 2^minCodeSize. False when a write failed.
  bool encode(ByteSink& sink, const IndexedImage& image, int width, int height, bool interlaced,
              int minCodeSize);

 private:
  bool emitCode(int code);
  bool flushBytes(bool final);

  // Child table: code of (prefix, pixel), 0 when absent. Cleared slot by slot on reset.
  std::vector<uint16_t> child_;
  uint32_t slotOfCode_[4096];
  int shift_ = 0;

  ByteSink* sink_ = nullptr;
  int initialBits_ = 0, width_ = 0, largest_ = 0, nextFree_ = 0, clear_ = 0;
  bool clearPending_ = false;
  uint64_t acc_ = 0;
  int accBits_ = 0;
  static constexpr int kSubBlock = 254;
  static constexpr int kBlocksPerFlush = 64;
  uint8_t flat_[kSubBlock * kBlocksPerFlush + 16];
  int flatSize_ = 0;
  uint8_t packets_[(kSubBlock + 1) * kBlocksPerFlush];
  bool failed_ = false;
};

// The encoder of the calling thread, so concurrent encodes never share tables.
LzwEncoder& ThreadLzwEncoder();

}  // namespace fw
