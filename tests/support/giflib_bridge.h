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

namespace fw::test {

// What giflib reports beyond the pixels: colour maps, control data and the loop count.
struct PeerFrameDetail {
  std::vector<uint8_t> localMap;  // R,G,B triplets; empty when the frame has none
  int delay = -1;                 // -1 when no graphic control extension
  int disposal = 0;
  int transparentIndex = -1;      // -1 when transparency is off
};

struct PeerGifDetail {
  bool ok = false;
  std::string error;
  int colorResolution = 0;
  int backgroundIndex = 0;
  std::vector<uint8_t> globalMap;  // triplets; empty when none
  int loopCount = -1;              // from a NETSCAPE2.0 block; -1 when there is none
  std::vector<std::string> comments;
  std::vector<PeerFrameDetail> frames;
};

PeerGifDetail GiflibDecodeDetail(const std::vector<uint8_t>& bytes);

// The ramp palette GiflibEncode writes for `bits` bits per pixel, as R,G,B triplets.
std::vector<uint8_t> GiflibRampTriplets(int bits);

}  // namespace fw::test
