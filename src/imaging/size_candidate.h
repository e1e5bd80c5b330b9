#pragma once
// One way of making an animation smaller for Save for size: fewer colours, fewer frames,
// smaller pictures, each applied with the program's own operations and then the lossless
// optimizer.
#include <string>

#include "core/anim_document.h"

namespace fw {

class Progress;

struct SizeSettings {
  int colours = 0;       // 2..256, or 0 for the colours as they are
  int keepOneIn = 1;     // frames kept: the first of every N, the others' delays folded in
  int scalePercent = 100;
  bool operator==(const SizeSettings&) const = default;
};

// "64 色, 每 2 帧保留 1 帧, 50%" and the like; "无损优化" for the untouched settings.
std::string DescribeSizeSettings(const SizeSettings& settings);

// Frames a viewer can show one by one (unoptimized), dropped and scaled as the settings say;
// the colours are left to MakeCandidate. nullptr when stopped or out of memory.
AnimPtr ShapeForSize(const AnimHeader& fullFrames, const SizeSettings& settings, Progress* progress);

// The shaped frames with the settings' colour count, then optimized losslessly. nullptr when
// stopped or out of memory.
AnimPtr MakeCandidate(const AnimHeader& shaped, const SizeSettings& settings, Progress* progress);

}  // namespace fw
