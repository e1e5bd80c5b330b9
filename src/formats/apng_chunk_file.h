#pragma once
// Writing an APNG chunk by chunk: each frame arrives as a complete PNG stream from libpng, and
// its image data is moved into the animation (IDAT for the first frame, fdAT after it).
#include <zlib.h>

#include <cstdio>
#include <vector>

#include "core/write_failure.h"
#include "formats/apng_chunks.h"
#include "formats/png_file.h"

namespace fw {

// Chunks straight to the file; the first failure sticks.
class ChunkFile {
 public:
  explicit ChunkFile(std::FILE* file) : file_(file) {}
  bool ok() const { return ok_; }
  void raw(const void* data, size_t n) {
    if (ok_ && n && std::fwrite(data, 1, n, file_) != n) {
      ok_ = false;
      NoteWriteErrno();
    }
  }
  // `prefix` bytes (a sequence number) go before the data inside the same chunk.
  void chunk(uint32_t type, const uint8_t* prefix, size_t prefixBytes, const uint8_t* data, size_t n) {
    uint8_t head[8];
    PutBe32(head, static_cast<uint32_t>(prefixBytes + n));
    PutBe32(head + 4, type);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, head + 4, 4);
    if (prefixBytes) crc = crc32(crc, prefix, static_cast<uInt>(prefixBytes));
    if (n) crc = crc32(crc, data, static_cast<uInt>(n));
    uint8_t tail[4];
    PutBe32(tail, static_cast<uint32_t>(crc));
    raw(head, 8);
    raw(prefix, prefixBytes);
    raw(data, n);
    raw(tail, 4);
  }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

// Moves one frame's PNG stream into the animation. The first stream also gives the file its
// head: signature, IHDR, acTL (when `frameCount` > 0) and what libpng put before the image
// data. Without `control` the frame is the default image only, outside the animation. False
// when the stream is not what libpng writes.
inline bool EmitApngFrame(ChunkFile& out, const std::vector<uint8_t>& stream, bool first, uint32_t frameCount,
                          uint32_t playCount, const FrameControl* control, uint32_t& sequence) {
  constexpr uint32_t kIdat = ChunkType("IDAT");
  bool truncated = false;
  const std::vector<PngChunk> chunks = WalkPngChunks(stream.data(), stream.size(), truncated);
  if (truncated || chunks.empty() || chunks[0].type != ChunkType("IHDR")) return false;
  if (first) {
    out.raw(kPngSignature, sizeof kPngSignature);
    for (const PngChunk& c : chunks) {
      if (c.type == kIdat) break;
      out.raw(stream.data() + c.offset, c.totalBytes());
      if (c.type == ChunkType("IHDR") && frameCount > 0) {
        uint8_t actl[8];
        PutBe32(actl, frameCount);
        PutBe32(actl + 4, playCount);
        out.chunk(ChunkType("acTL"), nullptr, 0, actl, 8);
      }
    }
  }
  if (control) {
    FrameControl fc = *control;
    fc.sequence = sequence++;
    uint8_t fctl[26];
    StoreFrameControl(fc, fctl);
    out.chunk(ChunkType("fcTL"), nullptr, 0, fctl, sizeof fctl);
  }
  for (const PngChunk& c : chunks) {
    if (c.type != kIdat) continue;
    if (first) {
      out.raw(stream.data() + c.offset, c.totalBytes());
    } else {
      uint8_t number[4];
      PutBe32(number, sequence++);
      out.chunk(ChunkType("fdAT"), number, 4, stream.data() + c.dataOffset(), c.length);
    }
  }
  return true;
}

}  // namespace fw
