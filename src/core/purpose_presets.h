#pragma once
// The three purposes a user can pick (first run and the preferences): each loads a preset of
// palette, tip and export options. Choosing the purpose the options already match changes
// nothing, so a user's own settings survive a confirm without a change of mind.
#include <cstdint>

namespace fw {

enum class Purpose { Animations, Icons, Custom };

// The purpose the stored options match (Custom when they match neither preset).
Purpose CurrentPurpose();
// Loads the preset of `chosen` when it differs from `shown`, the purpose the chooser started
// with. Custom loads nothing.
void ApplyPurpose(Purpose shown, Purpose chosen);

namespace purpose_preset {
inline constexpr uint32_t kAnimationMerge = 0x880001;  // adaptive palette, 256 colours
inline constexpr uint32_t kIconMerge = 0x880010;       // a local palette per frame
inline constexpr uint32_t kAnimationTips = 173;
inline constexpr uint32_t kIconTips = 1161;
}  // namespace purpose_preset

}  // namespace fw
