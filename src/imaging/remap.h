#pragma once
// Moving the pixels of image blocks onto a new palette through a remap table, with care for
// the transparent index.
#include "core/anim_document.h"
#include "imaging/nearest.h"

namespace fw {

class Progress;

// Frames that draw with the document's global palette.
inline bool UsesGlobalPalette(const ImageBlock& block) { return !block.localPalette; }

// Replaces every pixel byte (padding included) by table[byte] when a table is given, writes
// `count` entries into the colour table and makes `destination` the block's palette in effect.
// A transparent index the table sends to -1 switches transparency off; one it moves follows.
// Bytes the table sends to -1 become 0 so that no pixel can point past the new palette.
void ApplyRemapTable(ImageBlock& block, Palette* destination, const Rgb* entries, int count, const RemapTable* table);
inline void ApplyRemapTable(ImageBlock& block, Palette& destination, const RemapTable* table) {
  ApplyRemapTable(block, &destination, destination.data(), destination.count(), table);
}

// One block, or every 8-bit block on the global palette. When a block's transparent index
// would land on a destination that another source index also reaches, that block's
// transparent pixels get the lowest destination index the table never produces, if there is one.
// True when every block took the table as it is.
bool ApplyRemapAvoidingCollisions(ImageBlock& block, const RemapTable& table, Palette& destination);
bool ApplyRemapAvoidingCollisions(AnimHeader& document, const RemapTable& table, Palette& destination,
                                  Progress* progress);
// Every 8-bit block on the global palette; each transparent block's transparent index goes to
// `slot`.
void ApplyRemapForcedSlot(AnimHeader& document, const RemapTable& table, int slot, Palette& destination,
                          Progress* progress);
// One block; the slot is the destination's last entry.
void ApplyRemapForcedSlot(ImageBlock& block, const RemapTable& table, Palette& destination);

// After a block's pixels changed: its transparency display mask (and the display colour in
// its colour table) follows them.
void RefreshDisplayMask(ImageBlock& block);
// Writes `count` entries into the block's colour table, keeping the display colour at the
// transparent index while the block has a display mask.
void WriteBlockColourTable(ImageBlock& block, const Rgb* entries, int count);

// Points every global-palette block at `palette` and refreshes its colour table.
void UseGlobalPalette(AnimHeader& document, Palette& palette);
// The background index through the table (unchanged when the table has no destination for it).
void MoveBackground(AnimHeader& document, const RemapTable& table);

}  // namespace fw
