#pragma once
// Edits that change what a palette's entries or a frame's transparent index mean for the
// pixels: the palette editors and the transparency chooser commit through these.
#include <array>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// Replaces the palette's entries (only its own count is taken from `entries`) and refreshes
// the display colour tables of every frame drawn through it, the transparent entry included.
// False when nothing differed.
bool ReplacePaletteEntries(AnimHeader& document, Palette& palette, const std::array<Rgb, 256>& entries);
// Brings the display colour tables (and transparency masks) of the frames drawn through
// `palette` up to date after its entries changed.
void RefreshPaletteUsers(AnimHeader& document, const Palette* palette);

// Makes the chosen indices the frame's transparency: none removes it; one becomes the
// transparent index; with several, pixels of the later ones are first rewritten to the first.
// Returns false when the frame already had exactly that transparency (nothing changed).
bool ApplyTransparencyChoice(ImageBlock& frame, const std::vector<int>& chosen);

}  // namespace fw
