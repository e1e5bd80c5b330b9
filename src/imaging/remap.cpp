#include "imaging/remap.h"

#include <algorithm>

#include "core/display_mask.h"
#include "core/progress.h"
#include "imaging/transparent_slot.h"

namespace fw {
namespace {

// The lowest index below `count` that no table entry produces, or -1.
int FreeDestination(const RemapTable& table, int count) {
  bool marked[256] = {};
  for (int16_t v : table)
    if (v >= 0 && v < 256) marked[v] = true;
  for (int i = 0; i < std::min(count, 256); ++i)
    if (!marked[i]) return i;
  return -1;
}

bool OtherIndexReaches(const RemapTable& table, int t, int v) {
  for (int i = 0; i < 256; ++i)
    if (i != t && table[size_t(i)] == v) return true;
  return false;
}

// The frame's table with its transparent index sent to an entry that none of its opaque
// pixels maps to. When they map to every entry, the pixels of the least-used one move to
// their next-nearest colour, so that entry can hold transparency alone.
RemapTable WithOwnTransparentEntry(const ImageBlock& frame, const RemapTable& table, const Palette& destination) {
  RemapTable own = table;
  const int t = frame.transparentIndex;
  const IndexedImage& image = *frame.indexedImage;
  EntryUse sourceUse{};
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x) ++sourceUse[row[x]];
  }
  sourceUse[size_t(t)] = 0;
  EntryUse use{};
  for (int i = 0; i < 256; ++i)
    if (sourceUse[size_t(i)] > 0) use[size_t(std::max<int16_t>(table[size_t(i)], 0))] += sourceUse[size_t(i)];
  const int count = destination.count();
  int slot = UnusedEntry(use, count);
  if (slot < 0) {
    slot = LeastUsedEntry(use, count);
    const Palette* source = frame.activePalette;
    for (int i = 0; i < 256; ++i) {
      if (i == t || own[size_t(i)] != slot || !source || i >= source->count()) continue;
      own[size_t(i)] = static_cast<int16_t>(NearestOtherEntry(destination.data(), count, (*source)[i], slot));
    }
  }
  own[size_t(t)] = static_cast<int16_t>(slot);
  return own;
}

}  // namespace

void RefreshDisplayMask(ImageBlock& block) {
  if (block.transparent())
    BuildDisplayMask(block);
  else
    DropDisplayMask(block);
}

void WriteBlockColourTable(ImageBlock& block, const Rgb* entries, int count) {
  if (!block.indexedImage) return;
  IndexedImage& image = *block.indexedImage;
  image.colourTable.fill(0);
  WriteColourEntries(image, 0, std::clamp(count, 0, 256), entries);
  if (HasDisplayMask(block)) image.colourTable[block.transparentIndex] = TransparentDisplayEntry(block, false);
}

void ApplyRemapTable(ImageBlock& block, Palette* destination, const Rgb* entries, int count, const RemapTable* table) {
  if (block.indexedImage) {
    IndexedImage& image = *block.indexedImage;
    if (table) {
      uint8_t bytes[256];
      for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(std::max<int16_t>((*table)[size_t(i)], 0));
      for (uint8_t& p : image.pixels) p = bytes[p];
    }
  }
  block.activePalette = destination;
  WriteBlockColourTable(block, entries, count);
  if (block.transparent() && table) {
    const int t = block.transparentIndex;
    const int v = (*table)[size_t(t)];
    if (v < 0)
      SetTransparency(block, false);
    else if (v != t)
      SetTransparentIndex(block, v);
  }
  if (table) RefreshDisplayMask(block);
}

bool ApplyRemapAvoidingCollisions(ImageBlock& block, const RemapTable& table, Palette& destination) {
  if (!block.indexedImage) return true;
  RemapTable own = table;
  bool asGiven = true;
  if (block.transparent()) {
    const int t = block.transparentIndex;
    const int v = table[size_t(t)];
    if (v >= 0 && OtherIndexReaches(table, t, v)) {
      const int free = FreeDestination(table, destination.count());
      if (free >= 0) own[size_t(t)] = static_cast<int16_t>(free);
      else own = WithOwnTransparentEntry(block, table, destination);
      asGiven = false;
    }
  }
  ApplyRemapTable(block, destination, &own);
  return asGiven;
}

bool ApplyRemapAvoidingCollisions(AnimHeader& document, const RemapTable& table, Palette& destination,
                                  Progress* progress) {
  bool asGiven = true;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!UsesGlobalPalette(*f) || !f->indexedImage) continue;
    if (!ApplyRemapAvoidingCollisions(*f, table, destination)) asGiven = false;
    StepProgress(progress);
  }
  return asGiven;
}

void ApplyRemapForcedSlot(AnimHeader& document, const RemapTable& table, int slot, Palette& destination,
                          Progress* progress) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!UsesGlobalPalette(*f) || !f->indexedImage) continue;
    RemapTable own = table;
    if (f->transparent()) own[f->transparentIndex] = static_cast<int16_t>(slot);
    ApplyRemapTable(*f, destination, &own);
    StepProgress(progress);
  }
}

void ApplyRemapForcedSlot(ImageBlock& block, const RemapTable& table, Palette& destination) {
  RemapTable own = table;
  if (block.transparent()) own[block.transparentIndex] = static_cast<int16_t>(destination.count() - 1);
  ApplyRemapTable(block, destination, &own);
}

void UseGlobalPalette(AnimHeader& document, Palette& palette) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!UsesGlobalPalette(*f)) continue;
    f->activePalette = &palette;
    WriteBlockColourTable(*f, palette.data(), palette.count());
  }
}

void MoveBackground(AnimHeader& document, const RemapTable& table) {
  const int v = table[document.backgroundIndex];
  if (v >= 0) document.backgroundIndex = static_cast<uint8_t>(v);
}

}  // namespace fw
