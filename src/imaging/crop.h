#pragma once
// Moving and cropping frames, cropping the animation: the rectangle and offset that the two
// dialogs edit, the rules that keep them valid, and the operations they apply.
#include <cstdint>

#include "core/anim_document.h"

namespace fw {

namespace crop_msg {
inline constexpr int kCropMoveFrames = 40266;  // undo name
inline constexpr int kCropAnimation = 40267;   // undo name
}  // namespace crop_msg

// Dialog fields and alignment commands.
namespace crop_field {
inline constexpr int kLeft = 1017, kTop = 1020, kRight = 1016, kBottom = 1021, kOffsetX = 1018, kOffsetY = 1019;
}
namespace crop_align {
inline constexpr int kLeft = 40070, kRight = 40071, kTop = 40072, kBottom = 40073, kHorizontalCentre = 40074,
                     kVerticalCentre = 40075, kCentre = 40076;
}

struct MoveCropState {
  bool animationMode = false;  // crop animation (screen coordinates) or move/crop frames
  int frameIndex = -1;         // the current frame (frame mode)
  // Right and bottom exclusive; frame mode: in the current frame's image coordinates.
  int32_t left = 0, top = 0, right = 1, bottom = 1;
  // Frame mode: the current frame's new position; animation mode: 0.
  int32_t x = 0, y = 0;
  int32_t imageWidth = 1, imageHeight = 1;  // frame mode: the current frame's; else the screen's
  int32_t screenWidth = 1, screenHeight = 1;
};

// The state for a dialog opening on `frameIndex` (frame mode) or on the screen (animation
// mode), reset to the whole image.
MoveCropState StartMoveCrop(const AnimHeader& document, int frameIndex, bool animationMode);
// The rectangle becomes the whole image; in frame mode the offset the frame's position.
void ResetMoveCrop(MoveCropState& state, const AnimHeader& document);
// Animation mode: the rectangle becomes the bounding box of all images, inside the screen.
void AutoSizeCrop(MoveCropState& state, const AnimHeader& document);
// Stores a typed (or dragged) value after correcting it; returns what was stored, for the
// dialog to show.
int32_t SetCropField(MoveCropState& state, int field, int32_t value);
int32_t CropFieldValue(const MoveCropState& state, int field);
// Frame mode: the alignment commands set the offset.
void AlignCropFrame(MoveCropState& state, int command);

// Whether the preview shows the cropped result (kept per mode in the preferences).
bool ShowCroppedResult(bool animationMode);
void StoreShowCroppedResult(bool animationMode, bool on);

// Applies the state: frame mode moves every selected frame by the current frame's move and
// cuts it to the rectangle; animation mode crops the animation. Records the undo step.
// 0 nothing done, 2 changed.
int ApplyMoveCrop(AnimHeader& document, const MoveCropState& state);

// Cuts the logical screen to the rectangle (clamped to the screen) and every image with it.
// The whole screen records a no-op undo step and changes nothing. True when it changed.
bool CropAnimation(AnimHeader& document, int32_t left, int32_t top, int32_t right, int32_t bottom);

}  // namespace fw
