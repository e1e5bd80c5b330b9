#include "core/purpose_presets.h"

#include "core/preferences.h"

namespace fw {

namespace {
constexpr uint32_t kNoAutoPreview = 1u << 21;
}

Purpose CurrentPurpose() {
  const Preferences& p = Prefs();
  const uint32_t merge = p.raw(pref::kPaletteMerge);
  if (p.bit(pref::kOptionFlags, pref::kKeepTrueColour))
    return merge == purpose_preset::kIconMerge && p.bit(pref::kOptionFlags, kNoAutoPreview) ? Purpose::Icons
                                                                                              : Purpose::Custom;
  return merge == purpose_preset::kAnimationMerge ? Purpose::Animations : Purpose::Custom;
}

void ApplyPurpose(Purpose shown, Purpose chosen) {
  if (chosen == shown) return;
  Preferences& p = Prefs();
  switch (chosen) {
    case Purpose::Animations:
      p.setBits(pref::kOptionFlags, pref::kKeepTrueColour, false);
      p.write(pref::kPaletteMerge, purpose_preset::kAnimationMerge);
      p.write(pref::kFrameTips, purpose_preset::kAnimationTips);
      break;
    case Purpose::Icons:
      p.setBits(pref::kOptionFlags, pref::kKeepTrueColour | kNoAutoPreview, true);
      p.write(pref::kPaletteMerge, purpose_preset::kIconMerge);
      p.write(pref::kFrameTips, purpose_preset::kIconTips);
      p.write(pref::kFrameSizePolicy, pref::kSizeEnlarge);
      break;
    case Purpose::Custom:
      break;
  }
}

}  // namespace fw
