// The rules that keep the move/crop rectangle and offset valid while the user edits them.
#include <algorithm>

#include "core/preferences.h"
#include "imaging/crop.h"

namespace fw {
namespace {

constexpr uint32_t kCroppedFrameBit = 1u << 14;
constexpr uint32_t kCroppedAnimationBit = 1u << 15;

int32_t Narrow(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Left or top edge against its far edge, the offset and the image.
int32_t NearEdge(int64_t value, int64_t far, int64_t offset) {
  if (value < 0) {
    value = 0;
  } else if (value >= far) {
    value = far - 1;
  } else if (value + offset < 0) {
    value = -offset;
  }
  // Pulling the edge onto the screen must not carry it past the far edge.
  return Narrow(std::min(value, far - 1));
}

// Right or bottom edge against the image size, the near edge, the offset and the screen.
int32_t FarEdge(int64_t value, int64_t near, int64_t offset, int64_t imageSize, int64_t screenSize) {
  if (value > imageSize) {
    value = imageSize;
  } else if (value <= near) {
    value = near + 1;
  } else if (value + offset > screenSize) {
    value = screenSize - offset;
  }
  return Narrow(std::max(value, near + 1));
}

// At least one column (row) of the image stays on the screen.
int32_t Offset(int64_t value, int64_t imageSize, int64_t screenSize) {
  return Narrow(std::clamp<int64_t>(value, 1 - imageSize, std::max<int64_t>(screenSize - 1, 1 - imageSize)));
}

}  // namespace

MoveCropState StartMoveCrop(const AnimHeader& doc, int frameIndex, bool animationMode) {
  MoveCropState s;
  s.animationMode = animationMode;
  s.frameIndex = frameIndex;
  ResetMoveCrop(s, doc);
  return s;
}

void ResetMoveCrop(MoveCropState& s, const AnimHeader& doc) {
  s.screenWidth = std::max(doc.screenWidth, 1);
  s.screenHeight = std::max(doc.screenHeight, 1);
  const ImageBlock* frame = s.animationMode ? nullptr : ImageAt(&doc, s.frameIndex);
  if (frame) {
    s.imageWidth = std::max(frame->width, 1);
    s.imageHeight = std::max(frame->height, 1);
    s.x = frame->left;
    s.y = frame->top;
  } else {
    s.imageWidth = s.screenWidth;
    s.imageHeight = s.screenHeight;
    s.x = s.y = 0;
  }
  s.left = s.top = 0;
  s.right = s.imageWidth;
  s.bottom = s.imageHeight;
}

void AutoSizeCrop(MoveCropState& s, const AnimHeader& doc) {
  if (!FirstImage(&doc)) return;
  const Bounds b = ImageBounds(doc);
  const int32_t left = std::clamp(b.left, 0, s.screenWidth - 1);
  const int32_t top = std::clamp(b.top, 0, s.screenHeight - 1);
  const int32_t right = std::clamp(b.right, 0, s.screenWidth);
  const int32_t bottom = std::clamp(b.bottom, 0, s.screenHeight);
  if (right <= left || bottom <= top) return;  // nothing lies on the screen: keep what is there
  s.left = left;
  s.top = top;
  s.right = right;
  s.bottom = bottom;
}

int32_t SetCropField(MoveCropState& s, int field, int32_t value) {
  switch (field) {
    case crop_field::kLeft:
      return s.left = NearEdge(value, s.right, s.x);
    case crop_field::kTop:
      return s.top = NearEdge(value, s.bottom, s.y);
    case crop_field::kRight:
      return s.right = FarEdge(value, s.left, s.x, s.imageWidth, s.screenWidth);
    case crop_field::kBottom:
      return s.bottom = FarEdge(value, s.top, s.y, s.imageHeight, s.screenHeight);
    case crop_field::kOffsetX:
      return s.x = Offset(value, s.imageWidth, s.screenWidth);
    case crop_field::kOffsetY:
      return s.y = Offset(value, s.imageHeight, s.screenHeight);
    default:
      return value;
  }
}

int32_t CropFieldValue(const MoveCropState& s, int field) {
  switch (field) {
    case crop_field::kLeft: return s.left;
    case crop_field::kTop: return s.top;
    case crop_field::kRight: return s.right;
    case crop_field::kBottom: return s.bottom;
    case crop_field::kOffsetX: return s.x;
    case crop_field::kOffsetY: return s.y;
    default: return 0;
  }
}

void AlignCropFrame(MoveCropState& s, int command) {
  const auto centreX = [&] { s.x = Narrow((int64_t{s.screenWidth} + s.left - s.right) / 2 - s.left); };
  const auto centreY = [&] { s.y = Narrow((int64_t{s.screenHeight} + s.top - s.bottom) / 2 - s.top); };
  switch (command) {
    case crop_align::kLeft: s.x = -s.left; break;
    case crop_align::kRight: s.x = s.screenWidth - s.right; break;
    case crop_align::kTop: s.y = -s.top; break;
    case crop_align::kBottom: s.y = s.screenHeight - s.bottom; break;
    case crop_align::kHorizontalCentre: centreX(); break;
    case crop_align::kVerticalCentre: centreY(); break;
    case crop_align::kCentre:
      centreX();
      centreY();
      break;
    default: break;
  }
}

bool ShowCroppedResult(bool animationMode) {
  return Prefs().bit(pref::kOptionFlags, animationMode ? kCroppedAnimationBit : kCroppedFrameBit);
}

void StoreShowCroppedResult(bool animationMode, bool on) {
  Prefs().setBits(pref::kOptionFlags, animationMode ? kCroppedAnimationBit : kCroppedFrameBit, on);
}

}  // namespace fw
