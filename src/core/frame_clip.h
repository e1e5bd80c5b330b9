#pragma once
// Cutting frames down to a rectangle, and keeping frames inside the logical screen.
#include "core/anim_document.h"

namespace fw {

// Keeps the sub-rectangle (x, y, w, h) of the frame, in frame coordinates, and moves the
// frame's offset with it. An empty rectangle leaves a 1 x 1 transparent frame at (0, 0).
void CropFrame(ImageBlock& frame, int x, int y, int w, int h);
bool FrameInsideScreen(const ImageBlock& frame, int screenWidth, int screenHeight);
// 1 when the frame was already inside; otherwise crops it to the screen and returns 0.
int ClipFrameToScreen(ImageBlock& frame, int screenWidth, int screenHeight);
void ClipAllToScreen(AnimHeader& document);
bool AnyFrameOutsideScreen(const AnimHeader& document);
// Before saving: frames reaching outside the logical screen are clipped to it. An interactive
// save asks first (No cancels the save: result 0); a batch save clips without asking.
int ClipBeforeSave(AnimHeader& document, bool interactive);

}  // namespace fw
