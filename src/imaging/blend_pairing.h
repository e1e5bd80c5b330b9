#pragma once
// Which frame of each animation every blended frame shows, and for how long.
#include <cstdint>
#include <vector>

namespace fw {

struct BlendStep {
  int32_t first = -1;   // frame of the current animation, -1 when it has ended
  int32_t second = -1;  // frame of the overlaid animation, -1 when it has ended
  int32_t delay = 0;
};

// By time both animations keep their timing: a step ends at the next frame boundary of
// either, and the steps last as long as the longer animation. One to one pairs frame n with
// frame n for as many steps as the longer animation has frames, each taking the first
// animation's delay (the second's once the first has ended). With `loop` the shorter one
// starts again from its first frame whenever it runs out.
std::vector<BlendStep> BlendSchedule(const std::vector<int32_t>& firstDelays, const std::vector<int32_t>& secondDelays,
                                     bool byTime, bool loop);

}  // namespace fw
