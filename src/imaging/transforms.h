#pragma once
// Operations that rearrange frames or their geometry without resampling.
#include "core/anim_document.h"

namespace fw {

class Progress;

namespace transform {
inline constexpr int kRotateClockwise = 40073;
inline constexpr int kRotateHalf = 40074;
inline constexpr int kRotateCounterClockwise = 40075;
inline constexpr int kMirrorLeftRight = 40076;
inline constexpr int kMirrorTopBottom = 40077;
// The whole-animation commands map onto the frame codes by subtracting this.
inline constexpr int kAllFramesOffset = 31;
}  // namespace transform

// Turns every image into a full-screen image showing what the viewer sees at that point.
// Returns the number of images processed, or -1 when memory ran out (message shown).
// Frames with local palettes are composed in colour: each gets a palette of exactly the
// colours it shows, and only a frame showing more than 256 colours is approximated (it keeps
// its true-colour plane; their number goes to `approximated` and is reported).
int Unoptimize(AnimHeader& document, Progress* progress, int* approximated = nullptr);

// Rotates or mirrors one frame's planes in place of the old ones; the logical screen grows
// when a quarter turn no longer fits. False when memory ran out (frame unchanged).
bool RotateFrame(AnimHeader& document, ImageBlock& frame, int code, bool* screenGrew = nullptr);
// Rotates or mirrors every frame about the screen; quarter turns swap the screen size.
bool RotateAllFrames(AnimHeader& document, int code);

// Appends (or, with two or more frames selected, inserts after the last selected one) the
// copies that make the animation play forward and back. Returns the number of copies.
int BounceAnimation(AnimHeader& document);
// Deletes frames k, 2k, ... (1-based, as numbered before), adding each one's delay to the
// frame before it. False with message 40251/40252 when k is outside 2..frameCount.
bool ReduceFrameCount(AnimHeader& document, int interval);
// Centres every image on the logical screen (images larger than the screen go negative).
void CentreAll(AnimHeader& document);

// Lets the undo history re-run rotations and mirrorings.
void InstallTransformUndo();

}  // namespace fw
