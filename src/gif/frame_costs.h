#pragma once
// What each frame adds to the written GIF, measured with the writer's own counting encoder.
// Frames are remembered by everything their encoded bytes depend on, so after an edit only
// the frames it changed are encoded again.
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// Everything the encoded bytes of a frame follow from: size, interlacing, palette sizes and
// the indexes inside the frame. Delay, position and flags take the same room whatever they are.
uint64_t FrameCostKey(const ImageBlock& frame);

class FrameCostMeter {
 public:
  // The bytes of every frame in document order (graphic control, descriptor, local palette
  // and image data); false when `going` said stop before the end.
  bool measure(const AnimHeader& document, std::vector<int64_t>& costs, const std::function<bool()>& going = {});
  // Frames encoded since the meter was made (those remembered from the last run are not).
  int64_t encodes() const { return encodes_; }

 private:
  std::unordered_map<uint64_t, int64_t> known_;
  int64_t encodes_ = 0;
};

// The meter the size worker uses (touched only by that worker, one run at a time).
FrameCostMeter& SizeWorkerFrameCosts();

}  // namespace fw
