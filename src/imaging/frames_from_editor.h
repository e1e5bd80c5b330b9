#pragma once
// Frames that come back from an external image editor take the place of the frames they were
// made from, keeping what the editor's file cannot carry (timing, disposal, selection) and
// showing through the document's palettes.
#include "core/anim_document.h"

namespace fw {

// `read` holds the editor's file, already brought onto the document's palettes. One frame:
// its first frame replaces the frame at `frameIndex`. False when either frame is missing.
bool ReplaceFrameFromEditor(AnimHeader& document, int frameIndex, AnimHeader& read);
// The whole animation: the read frames replace the document's frames; delays and disposal
// carry over pairwise in order. False when nothing was read.
bool ReplaceFramesFromEditor(AnimHeader& document, AnimHeader& read);

}  // namespace fw
