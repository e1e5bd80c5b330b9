#pragma once
// How close what a viewer sees of one animation comes to what it sees of another: the peak
// signal-to-noise ratio of the displayed pictures over the original's running time.
#include <functional>

#include "core/anim_document.h"

namespace fw {

// What identical pictures score (a ratio without noise is infinite).
inline constexpr double kIdenticalPsnr = 99;

// PSNR in dB over every displayed frame of `original`. Each is compared with the frame of
// `candidate` on show at the moment it starts, so a candidate that dropped frames and folded
// their delays is judged by what a viewer sees meanwhile; a smaller candidate is scaled back
// to the original's screen pixel by pixel. Negative when a picture could not be composed or
// `going` said stop.
double DisplayedPsnr(const AnimHeader& original, const AnimHeader& candidate, const std::function<bool()>& going = {});

}  // namespace fw
