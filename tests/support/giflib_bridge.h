#pragma once
// giflib as an independent peer: decoding our output and encoding streams for our reader.
#include <cstdint>
#include <string>
#include <vector>

namespace fw::test {

struct PeerFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  int colours = 0;  // entries of the local table, 0 when none
  std::vector<uint8_t> pixels;  // width * height, de-interlaced
};

struct PeerGif {
  bool ok = false;
  std::string error;
  int screenWidth = 0, screenHeight = 0;
  std::vector<PeerFrame> frames;
};

// Decodes a whole GIF held in memory with giflib's DGifSlurp.
PeerGif GiflibDecode(const std::vector<uint8_t>& bytes);

// Encodes frames with giflib into memory. Each frame uses `bitsPerPixel` (giflib picks the
// minimum code size from it) and a global ramp palette of 2^bits entries unless it has its own.
struct PeerEncodeFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  int localBits = 0;  // 0: use the global palette
  std::vector<uint8_t> pixels;
};
std::vector<uint8_t> GiflibEncode(int screenWidth, int screenHeight, int bitsPerPixel,
                                  const std::vector<PeerEncodeFrame>& frames);

}  // namespace fw::test
