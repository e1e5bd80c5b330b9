#pragma once
// The linked fields of the resize dialog: new width and height, their percentages of the old
// size and the keep-aspect switch. The dialog calls these on every edit it did not make itself
// and shows the fields afterwards.
#include <cstdint>

namespace fw {

inline constexpr int32_t kMaxResizeLength = 10000;

struct ResizeFields {
  int32_t oldWidth = 1, oldHeight = 1;
  int32_t newWidth = 1, newHeight = 1;
  int32_t widthPercent = 100, heightPercent = 100;
  bool keepAspect = false;
  bool bicubic = false;
};

// Fields for an old size, new size = old size, the switches from the preferences.
ResizeFields StartResizeFields(int32_t oldWidth, int32_t oldHeight);
void SetNewWidth(ResizeFields& fields, int32_t width);
void SetNewHeight(ResizeFields& fields, int32_t height);
void SetWidthPercent(ResizeFields& fields, int32_t percent);
void SetHeightPercent(ResizeFields& fields, int32_t percent);
// Checking keep-aspect re-applies the width so that the height follows.
void SetKeepAspect(ResizeFields& fields, bool on);
// Stores keep-aspect and the method for the next time.
void StoreResizeChoices(const ResizeFields& fields);

}  // namespace fw
