#include "gif/frame_costs.h"

#include <string_view>

#include "gif/gif_writer.h"

namespace fw {
namespace {

uint64_t Mix(uint64_t seed, uint64_t value) {
  // The combine step of boost::hash_combine, widened to 64 bits.
  return seed ^ (value + 0x9E3779B97F4A7C15ull + (seed << 12) + (seed >> 4));
}

}  // namespace

uint64_t FrameCostKey(const ImageBlock& frame) {
  uint64_t key = Mix(0, static_cast<uint32_t>(frame.width));
  key = Mix(key, static_cast<uint32_t>(frame.height));
  key = Mix(key, frame.interlaced());
  key = Mix(key, frame.lzwClearRule);
  key = Mix(key, frame.narrowLzwCodes);
  key = Mix(key, frame.localPalette ? static_cast<uint64_t>(frame.localPalette->count()) : 0);
  key = Mix(key, frame.activePalette ? static_cast<uint64_t>(frame.activePalette->count()) : 0);
  const IndexedImage* image = frame.indexedImage.get();
  if (!image || frame.width > image->width || frame.height > image->height) return Mix(key, 1);
  const std::hash<std::string_view> rowHash;
  for (int y = 0; y < frame.height; ++y)
    key = Mix(key, rowHash(std::string_view(reinterpret_cast<const char*>(image->row(y)),
                                            static_cast<size_t>(frame.width))));
  return key;
}

bool FrameCostMeter::measure(const AnimHeader& document, std::vector<int64_t>& costs,
                             const std::function<bool()>& going) {
  costs.clear();
  std::unordered_map<uint64_t, int64_t> seen;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (going && !going()) return false;
    const uint64_t key = FrameCostKey(*f);
    int64_t bytes;
    if (auto it = known_.find(key); it != known_.end()) {
      bytes = it->second;
    } else if (auto again = seen.find(key); again != seen.end()) {
      bytes = again->second;
    } else {
      bytes = FrameEncodedSize(*f);
      ++encodes_;
    }
    seen.emplace(key, bytes);
    costs.push_back(bytes);
  }
  // Only what the document holds now is kept, so the memory follows the document.
  known_ = std::move(seen);
  return true;
}

FrameCostMeter& SizeWorkerFrameCosts() {
  static FrameCostMeter meter;
  return meter;
}

}  // namespace fw
