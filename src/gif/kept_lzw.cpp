#include "gif/kept_lzw.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gif/gif_writer.h"

namespace fw {

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

bool HoldsPixelsOf(const KeptLzwStream& kept, const ImageBlock& frame) {
  return PixelsCoverFrame(frame) && kept.width == frame.width && kept.height == frame.height &&
         kept.pixelHash == HashFramePixels(*frame.indexedImage, frame.width, frame.height);
}

bool Matches(const KeptLzwStream& kept, const ImageBlock& frame, int minCodeSize) {
  return !kept.asRead && kept.minCodeSize == minCodeSize &&
         (kept.clearRule == frame.lzwClearRule || !kept.tableFilled) && kept.interlaced == frame.interlaced() &&
         HoldsPixelsOf(kept, frame);
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

namespace {

std::shared_ptr<KeptLzwStream> StreamOfPixels(const ImageBlock& frame, int minCodeSize) {
  auto kept = std::make_shared<KeptLzwStream>();
  kept->pixelHash = HashFramePixels(*frame.indexedImage, frame.width, frame.height);
  kept->width = frame.width;
  kept->height = frame.height;
  kept->minCodeSize = minCodeSize;
  kept->clearRule = frame.lzwClearRule;
  kept->interlaced = frame.interlaced();
  return kept;
}

}  // namespace

void KeepLzwData(ImageBlock& frame, int minCodeSize, std::vector<uint8_t> subBlocks, bool tableFilled) {
  if (!PixelsCoverFrame(frame)) return;
  auto kept = StreamOfPixels(frame, minCodeSize);
  kept->tableFilled = tableFilled;
  kept->subBlocks = std::move(subBlocks);
  frame.keptLzw = std::move(kept);
}

std::vector<uint8_t> UnblockedLzwData(const std::vector<uint8_t>& subBlocks, size_t& size) {
  std::vector<uint8_t> out;
  out.reserve(subBlocks.size() + 8);
  for (size_t at = 0; at < subBlocks.size() && subBlocks[at] != 0; at += 1 + subBlocks[at]) {
    const size_t length = std::min<size_t>(subBlocks[at], subBlocks.size() - at - 1);
    out.insert(out.end(), subBlocks.begin() + static_cast<std::ptrdiff_t>(at + 1),
               subBlocks.begin() + static_cast<std::ptrdiff_t>(at + 1 + length));
  }
  size = out.size();
  out.resize(size + 8, 0);
  return out;
}

void KeepReadLzwData(ImageBlock& frame, int minCodeSize, const uint8_t* data, size_t size) {
  // No encoder needs half as much again as the plane; data that does holds junk, not worth
  // the memory.
  if (!PixelsCoverFrame(frame) || size > frame.pixelCount() + frame.pixelCount() / 2 + 64) return;
  auto kept = StreamOfPixels(frame, minCodeSize);
  kept->asRead = true;
  kept->subBlocks.reserve(size + (size + 254) / 255);
  for (size_t at = 0; at < size; at += 255) {
    const size_t length = std::min<size_t>(255, size - at);
    kept->subBlocks.push_back(static_cast<uint8_t>(length));
    kept->subBlocks.insert(kept->subBlocks.end(), data + at, data + at + length);
  }
  frame.keptLzw = std::move(kept);
}

std::shared_ptr<const KeptLzwStream> ReadLzwData(const ImageBlock& frame) {
  const std::shared_ptr<const KeptLzwStream>& kept = frame.keptLzw;
  return kept && kept->asRead && HoldsPixelsOf(*kept, frame) ? kept : nullptr;
}

const std::vector<uint8_t>* KeptLzwData(const ImageBlock& frame, int minCodeSize) {
  const KeptLzwStream* kept = frame.keptLzw.get();
  if (!kept || !Matches(*kept, frame, minCodeSize)) return nullptr;
  return &kept->subBlocks;
}

const std::vector<uint8_t>* KeptLzwDataOfEveryRule(const ImageBlock& frame, int minCodeSize) {
  const KeptLzwStream* kept = frame.keptLzw.get();
  return kept && !kept->tableFilled ? KeptLzwData(frame, minCodeSize) : nullptr;
}

}  // namespace fw
