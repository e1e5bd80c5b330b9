#pragma once
// An animation written as the pictures a viewer shows: each frame is the composed canvas,
// exact (true colour and coverage), stored as the part that changed since the frame before
// with "source" blending. The file is a palette PNG when one palette of at most 256 colours
// (with their opacity) holds every picture, else RGB or RGBA. Uncovered canvas is transparent.
#include <cstdio>

#include "core/anim_document.h"

namespace fw {

// Writes `document` (at least one frame) into the open file: an APNG for several frames
// (the hidden first frame, when the document has one, as the default image outside the
// animation), a plain PNG of the canvas for one. 1, or 0 after a message (a refused write is
// noted for the caller, core/write_failure.h).
int WriteComposedApng(std::FILE* file, const AnimHeader& document);

}  // namespace fw
