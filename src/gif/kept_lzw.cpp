#include "gif/kept_lzw.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gif/gif_writer.h"

namespace fw {

struct KeptLzwStream {
  uint64_t pixelHash = 0;
  int32_t width = 0, height = 0;
  int minCodeSize = 0;
  uint8_t clearRule = 0;
  bool interlaced = false;
  bool tableFilled = true;
  std::vector<uint8_t> subBlocks;
};

namespace {

// Each step is a bijection of the lane for a fixed word, and of the word for a fixed lane, so
// two planes that differ in one word never hash alike.
inline uint64_t Step(uint64_t lane, uint64_t word) {
  lane = (lane ^ word) * 0x9E3779B97F4A7C15ull;
  return lane ^ (lane >> 32);
}

inline uint64_t Finish(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

bool Matches(const KeptLzwStream& kept, const ImageBlock& frame, int minCodeSize) {
  return kept.width == frame.width && kept.height == frame.height && kept.minCodeSize == minCodeSize &&
         (kept.clearRule == frame.lzwClearRule || !kept.tableFilled) && kept.interlaced == frame.interlaced() &&
         kept.pixelHash == HashFramePixels(*frame.indexedImage, frame.width, frame.height);
}

}  // namespace

uint64_t HashFramePixels(const IndexedImage& image, int width, int height) {
  // Four lanes, so that the multiplications of neighbouring words overlap.
  uint64_t lanes[4] = {0x243F6A8885A308D3ull ^ static_cast<uint32_t>(width),
                       0x13198A2E03707344ull ^ static_cast<uint32_t>(height), 0xA4093822299F31D0ull,
                       0x082EFA98EC4E6C89ull};
  const size_t rowBytes = static_cast<size_t>(std::max(width, 0));
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = image.row(y);
    size_t x = 0;
    for (; x + 32 <= rowBytes; x += 32) {
      uint64_t words[4];
      std::memcpy(words, row + x, 32);
      for (int k = 0; k < 4; ++k) lanes[k] = Step(lanes[k], words[k]);
    }
    for (; x + 8 <= rowBytes; x += 8) {
      uint64_t word;
      std::memcpy(&word, row + x, 8);
      lanes[0] = Step(lanes[0], word);
    }
    // The row's length is in the seed, so zero padding cannot make two rows alike.
    uint64_t tail = 0;
    std::memcpy(&tail, row + x, rowBytes - x);
    lanes[1] = Step(lanes[1], tail);
  }
  return Finish(lanes[0] ^ Finish(lanes[1] ^ Finish(lanes[2] ^ Finish(lanes[3]))));
}

void KeepLzwData(ImageBlock& frame, int minCodeSize, std::vector<uint8_t> subBlocks, bool tableFilled) {
  if (!PixelsCoverFrame(frame)) return;
  auto kept = std::make_shared<KeptLzwStream>();
  kept->pixelHash = HashFramePixels(*frame.indexedImage, frame.width, frame.height);
  kept->width = frame.width;
  kept->height = frame.height;
  kept->minCodeSize = minCodeSize;
  kept->clearRule = frame.lzwClearRule;
  kept->interlaced = frame.interlaced();
  kept->tableFilled = tableFilled;
  kept->subBlocks = std::move(subBlocks);
  frame.keptLzw = std::move(kept);
}

const std::vector<uint8_t>* KeptLzwData(const ImageBlock& frame, int minCodeSize) {
  const KeptLzwStream* kept = frame.keptLzw.get();
  if (!kept || !PixelsCoverFrame(frame) || !Matches(*kept, frame, minCodeSize)) return nullptr;
  return &kept->subBlocks;
}

const std::vector<uint8_t>* KeptLzwDataOfEveryRule(const ImageBlock& frame, int minCodeSize) {
  const KeptLzwStream* kept = frame.keptLzw.get();
  return kept && !kept->tableFilled ? KeptLzwData(frame, minCodeSize) : nullptr;
}

}  // namespace fw
