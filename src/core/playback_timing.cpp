#include "core/playback_timing.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace fw {

int PreviewInterval(double delay, int timeBase) {
  if (timeBase <= 0) timeBase = 100;
  const int64_t ticks = delay > 0 ? static_cast<int64_t>(std::min(delay, 1e12) + 0.5) : 0;
  const int64_t ms = ticks * (1000 / timeBase);
  return ms > 0 ? static_cast<int>(std::min<int64_t>(ms, INT_MAX)) : 1;
}

bool PreviewContinuesAfterLastFrame(int& loopsLeft, bool loopForever) {
  if (loopForever || loopsLeft == 0) return true;
  if (loopsLeft == 1) return false;
  --loopsLeft;
  return true;
}

}  // namespace fw
