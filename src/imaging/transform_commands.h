#pragma once
// The transforms as the editor's commands run them: each records its undo step first and
// withdraws it when nothing changed.
#include "core/anim_document.h"

namespace fw {

class Progress;

int UnoptimizeCommand(AnimHeader& document, Progress* progress);
// `frameIndex` is the current frame. True when the screen size changed.
bool RotateFrameCommand(AnimHeader& document, int frameIndex, int code);
// `command` is the whole-animation command id (40104 to 40108).
bool RotateAllCommand(AnimHeader& document, int command);
bool ReverseCommand(AnimHeader& document);
int BounceCommand(AnimHeader& document);
bool ReduceFramesCommand(AnimHeader& document, int interval);

}  // namespace fw
