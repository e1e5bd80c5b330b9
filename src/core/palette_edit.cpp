#include "core/palette_edit.h"

#include "core/display_mask.h"
#include "core/indexed_image.h"
#include "core/palette.h"

namespace fw {

void RefreshPaletteUsers(AnimHeader& document, const Palette* palette) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->activePalette != palette || !f->indexedImage) continue;
    SetColourTable(*f->indexedImage, palette);
    f->displayColour.clear();
    // The table now shows the palette's colour at the transparent index again.
    if (f->transparent()) BuildDisplayMask(*f);
  }
}

bool ReplacePaletteEntries(AnimHeader& document, Palette& palette, const std::array<Rgb, 256>& entries) {
  bool changed = false;
  for (int i = 0; i < palette.count(); ++i) changed = changed || !(palette[i] == entries[static_cast<size_t>(i)]);
  if (!changed) return false;
  palette.writeEntries(0, palette.count(), entries.data());
  RefreshPaletteUsers(document, &palette);
  return true;
}

bool ApplyTransparencyChoice(ImageBlock& frame, const std::vector<int>& chosen) {
  if (chosen.empty()) {
    if (!frame.transparent()) return false;
    SetTransparency(frame, false);
    return true;
  }
  const int first = chosen.front() & 0xFF;
  if (chosen.size() == 1 && frame.transparent() && frame.transparentIndex == first) return false;
  if (chosen.size() > 1 && frame.indexedImage) {
    bool merged[256] = {};
    for (size_t i = 1; i < chosen.size(); ++i) merged[chosen[i] & 0xFF] = chosen[i] != chosen.front();
    for (uint8_t& p : frame.indexedImage->pixels)
      if (merged[p]) p = static_cast<uint8_t>(first);
    frame.displayColour.clear();
  }
  // The mask is rebuilt from the rewritten pixels whichever way the index moves.
  DropDisplayMask(frame);
  frame.transparentIndex = static_cast<uint8_t>(first);
  frame.controlFlags = static_cast<uint8_t>(frame.controlFlags | 1);
  BuildDisplayMask(frame);
  return true;
}

}  // namespace fw
