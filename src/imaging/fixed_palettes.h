#pragma once
// The palettes the merge can map onto regardless of the frames' colours.
#include <memory>

#include "core/palette.h"

namespace fw {

// 256 entries: entry r * 36 + g * 6 + b is (51r, 51g, 51b) for r, g, b in 0..5; the last 40
// are black.
std::unique_ptr<Palette> WebPalette();

// The user's fixed palette from the preference store's "FixedPal" value, or nullptr when
// there is no store, no value or a malformed one.
std::unique_ptr<Palette> StoredFixedPalette();
// Stores the palette as "FixedPal" (version 0x300, 256 entries, unused ones black); false
// when there is no store or it refused the value.
bool StoreFixedPalette(const Palette& palette);

}  // namespace fw
