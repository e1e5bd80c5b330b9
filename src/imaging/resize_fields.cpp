#include "imaging/resize_fields.h"

#include <algorithm>

#include "core/preferences.h"

namespace fw {
namespace {

constexpr uint32_t kKeepAspectBit = 1u << 7;
constexpr uint32_t kBicubicBit = 1u << 8;

int32_t Length(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 1, kMaxResizeLength)); }
int32_t Percent(int64_t length, int32_t old) { return static_cast<int32_t>((length * 100 + old / 2) / old); }
// The other axis for a changed one, keeping the old proportions.
int32_t Follow(int64_t length, int32_t oldThis, int32_t oldOther) {
  return Length((length * oldOther + oldThis / 2) / oldThis);
}
int32_t FromPercent(int64_t percent, int32_t old) { return Length((percent * old + 50) / 100); }

void Sanitize(ResizeFields& f) {
  f.oldWidth = std::max(f.oldWidth, 1);
  f.oldHeight = std::max(f.oldHeight, 1);
}

}  // namespace

ResizeFields StartResizeFields(int32_t oldWidth, int32_t oldHeight) {
  ResizeFields f;
  f.oldWidth = oldWidth;
  f.oldHeight = oldHeight;
  Sanitize(f);
  f.newWidth = f.oldWidth;
  f.newHeight = f.oldHeight;
  f.keepAspect = Prefs().bit(pref::kOptionFlags, kKeepAspectBit);
  f.bicubic = Prefs().bit(pref::kOptionFlags, kBicubicBit);
  return f;
}

void SetNewWidth(ResizeFields& f, int32_t width) {
  Sanitize(f);
  f.newWidth = Length(width);
  f.widthPercent = Percent(f.newWidth, f.oldWidth);
  if (f.keepAspect) {
    f.newHeight = Follow(f.newWidth, f.oldWidth, f.oldHeight);
    f.heightPercent = f.widthPercent;
  }
}

void SetNewHeight(ResizeFields& f, int32_t height) {
  Sanitize(f);
  f.newHeight = Length(height);
  f.heightPercent = Percent(f.newHeight, f.oldHeight);
  if (f.keepAspect) {
    f.newWidth = Follow(f.newHeight, f.oldHeight, f.oldWidth);
    f.widthPercent = f.heightPercent;
  }
}

void SetWidthPercent(ResizeFields& f, int32_t percent) {
  Sanitize(f);
  f.widthPercent = std::max(percent, 0);
  f.newWidth = FromPercent(f.widthPercent, f.oldWidth);
  if (f.keepAspect) {
    f.heightPercent = f.widthPercent;
    f.newHeight = FromPercent(f.heightPercent, f.oldHeight);
  }
}

void SetHeightPercent(ResizeFields& f, int32_t percent) {
  Sanitize(f);
  f.heightPercent = std::max(percent, 0);
  f.newHeight = FromPercent(f.heightPercent, f.oldHeight);
  if (f.keepAspect) {
    f.widthPercent = f.heightPercent;
    f.newWidth = FromPercent(f.widthPercent, f.oldWidth);
  }
}

void SetKeepAspect(ResizeFields& f, bool on) {
  f.keepAspect = on;
  if (on) SetNewWidth(f, f.newWidth);
}

void StoreResizeChoices(const ResizeFields& f) {
  uint32_t word = Prefs().raw(pref::kOptionFlags);
  word = f.keepAspect ? word | kKeepAspectBit : word & ~kKeepAspectBit;
  word = f.bicubic ? word | kBicubicBit : word & ~kBicubicBit;
  Prefs().write(pref::kOptionFlags, word);
}

}  // namespace fw
