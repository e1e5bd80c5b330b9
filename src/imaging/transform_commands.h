#pragma once
// The transforms as the editor's commands run them: each records its undo step first and
// withdraws it when nothing changed.
#include "core/anim_document.h"

namespace fw {

class Progress;
struct KeptEdit;

// Never refuses; frames showing more than 256 colours are approximated and counted in `approximated`.
int UnoptimizeCommand(AnimHeader& document, Progress* progress, int* approximated = nullptr);
// `frameIndex` is the current frame. True when the screen size changed.
bool RotateFrameCommand(AnimHeader& document, int frameIndex, int code);
// `command` is the whole-animation command id (40104 to 40108).
bool RotateAllCommand(AnimHeader& document, int command);
// The frame-order edits unoptimize first when their new order would change what a frame
// shows; `kept` tells whether they did.
bool ReverseCommand(AnimHeader& document, KeptEdit* kept = nullptr);
int BounceCommand(AnimHeader& document, KeptEdit* kept = nullptr);
bool ReduceFramesCommand(AnimHeader& document, int interval, KeptEdit* kept = nullptr);

}  // namespace fw
