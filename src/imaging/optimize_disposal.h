#pragma once
// Disposal methods that make no difference to what a viewer shows. A frame that restores the
// background or the previous picture cannot be cropped to what it changes, since its disposal
// acts on its whole rectangle; where "leave" gives the same screens, it becomes "leave".
#include "core/anim_document.h"

namespace fw {

// Whether the frame's pixels cover the rectangle (screen coordinates) opaquely: every pixel of
// it lies inside the frame and is drawn.
bool CoversOpaquely(const ImageBlock& frame, int left, int top, int width, int height);

// Frames restoring the background or the previous picture whose next frame covers their
// rectangle opaquely become "leave": whatever the disposal left there is painted over before
// anyone sees it. Not when the next frame itself restores the previous picture, which would
// bring the difference back. The last frame is followed by the first, as when the animation
// loops. Returns the number of frames changed.
int LeaveWhereCoveredNext(AnimHeader& document);

}  // namespace fw
