#pragma once
// Our animated-PNG layer over stock libpng. Reading walks the chunks of a file, finds acTL,
// fcTL and fdAT, and rebuilds each frame as a stand-alone PNG stream libpng can decode.
// Writing takes streams libpng encoded and re-wraps their IDAT data as fdAT chunks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

inline constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

constexpr uint32_t ChunkType(const char (&name)[5]) {
  return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
         uint32_t(uint8_t(name[3]));
}

struct PngChunk {
  uint32_t type = 0;
  size_t offset = 0;  // of the length field within the stream
  uint32_t length = 0;
  bool crcOk = false;
  size_t dataOffset() const { return offset + 8; }
  size_t totalBytes() const { return size_t{length} + 12; }
};

// The chunks after the signature, up to and including IEND. Stops early (truncated = true) at
// a chunk that does not fit in the data or whose length exceeds 2^31 - 1.
std::vector<PngChunk> WalkPngChunks(const uint8_t* data, size_t size, bool& truncated);

void AppendPngChunk(std::vector<uint8_t>& out, uint32_t type, const uint8_t* data, size_t length);

inline uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

struct FrameControl {
  uint32_t sequence = 0;
  uint32_t width = 0, height = 0, x = 0, y = 0;
  uint16_t delayNumerator = 0, delayDenominator = 0;
  uint8_t disposeOp = 0, blendOp = 0;
};

// fcTL data (26 bytes) in and out.
FrameControl ParseFrameControl(const uint8_t* p);
void StoreFrameControl(const FrameControl& fc, uint8_t* p);

struct ApngLayout {
  bool animated = false;   // one valid acTL before the image data and at least one frame
  uint32_t frameCount = 0;  // acTL num_frames
  uint32_t playCount = 0;
  bool defaultHidden = false;  // the IDAT image has no fcTL: a still picture outside the animation
  struct Frame {
    FrameControl control;
    bool usesIdat = false;           // the default image is this frame
    std::vector<size_t> dataChunks;  // indexes of its fdAT chunks
  };
  // The frames in order, as far as they were found intact. A problem (bad sequence number,
  // fcTL outside the canvas, damaged fcTL or fdAT) ends the list and sets `damaged`.
  std::vector<Frame> frames;
  bool damaged = false;
  std::vector<size_t> sharedChunks;  // between IHDR and the first IDAT: PLTE, tRNS, gAMA and such
};

// `chunks` from WalkPngChunks; the first must be IHDR (else the layout is not animated).
ApngLayout ParseApngLayout(const uint8_t* data, const std::vector<PngChunk>& chunks);

// A complete PNG stream for frame `index` of the layout (not the default image): IHDR of the
// frame's size, the shared chunks, its fdAT data as IDAT chunks, IEND.
std::vector<uint8_t> BuildFrameStream(const uint8_t* data, const std::vector<PngChunk>& chunks,
                                      const ApngLayout& layout, size_t index);

}  // namespace fw
