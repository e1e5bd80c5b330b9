#pragma once
// Save for size: the best-looking version of an animation that fits a byte budget. Every
// candidate is really made and encoded (never estimated); among those that fit, the one whose
// displayed pictures come closest to the original's (PSNR) is chosen.
#include <cstdint>
#include <functional>
#include <vector>

#include "core/anim_document.h"
#include "imaging/size_candidate.h"

namespace fw {

class Progress;

struct SizeCandidate {
  SizeSettings settings;
  int64_t bytes = -1;
  double psnr = -1;  // measured only for candidates that fit
  bool fits = false;
};

// The order candidates are tried in. kMeasured follows the steps people would take (the
// lossless optimizer, then colour counts, then dropping frames, then scaling down), searching
// each step's colour counts by halving and skipping the steps whose best possible quality is
// already beaten. kColoursFirst, for comparison, takes the first candidate that fits along
// one path: every colour count, then frames dropped at the fewest colours, then scaled down.
enum class SizeOrder { kMeasured, kColoursFirst };

struct SizePlan {
  enum Outcome { kFits, kNothingFits, kStopped, kFailed } outcome = kFailed;
  SizeCandidate chosen;
  AnimPtr document;                  // the chosen candidate (kFits only)
  std::vector<SizeCandidate> tried;  // in the order they were made
  int64_t smallest = -1;             // the smallest size any candidate had
};

// `progress` only carries the stop request (its stop mask); `tried` hears of every candidate as
// it is measured, on the caller's thread. The original is read, never changed.
SizePlan PlanForSize(const AnimHeader& original, int64_t targetBytes, Progress* progress,
                     const std::function<void(const SizeCandidate&)>& tried = {},
                     SizeOrder order = SizeOrder::kMeasured);

}  // namespace fw
