// Shrinking palettes to the entries the pixels use.
#include <algorithm>
#include <vector>

#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/optimize.h"
#include "imaging/optimize_palette.h"
#include "imaging/remap.h"

namespace fw {
namespace {

// Keeps the used entries in their order and pads them with black to a power of two (at least
// two). False when that would not make the stored table smaller: a GIF colour table always
// takes a power of two entries, so dropping fewer entries than that gains nothing.
bool CompactionTable(const Palette& palette, const int32_t* usage, RemapTable& table, std::vector<Rgb>& entries) {
  const int n = palette.count();
  // Pixels beyond the palette show whatever the file's padding holds; renumbering could
  // not keep that.
  for (int i = n; i < 256; ++i)
    if (usage[i] > 0) return false;
  table.fill(-1);
  entries.clear();
  for (int i = 0; i < n; ++i) {
    if (usage[i] <= 0) continue;
    table[size_t(i)] = static_cast<int16_t>(entries.size());
    entries.push_back(palette[i]);
  }
  if (static_cast<int>(entries.size()) == n) return false;
  size_t size = 2;
  while (size < entries.size()) size *= 2;
  if (PaletteBits(static_cast<int>(size)) >= PaletteBits(n)) return false;
  entries.resize(size, Rgb{});
  return true;
}

void MoveCounts(int32_t* usage, const RemapTable& table) {
  int32_t moved[256] = {};
  for (size_t i = 0; i < 256; ++i)
    if (table[i] >= 0) moved[table[i]] += usage[i];
  std::copy(moved, moved + 256, usage);
}

void ShrinkGlobalPalette(AnimHeader& document, Progress* progress, bool& changed) {
  if (!document.globalPalette) return;
  // The stored table may be stale (the usage worker counts in the background): count afresh.
  ComputeColourUsage(document, document.colourUsage.data(), true);
  RemapTable table;
  std::vector<Rgb> entries;
  if (!CompactionTable(*document.globalPalette, document.colourUsage.data(), table, entries)) return;
  std::unique_ptr<Palette> palette = Palette::Create(entries.data(), static_cast<int>(entries.size()));
  if (!palette) return;
  SetProgressText(progress, MessageText(optimize_msg::kShrinkingGlobalPalette));
  StartProgress(progress, document.frameCount);
  // Every global-palette image moves, even if a stop is requested meanwhile: images left on
  // the old numbering would show wrong colours.
  const bool asGiven = ApplyRemapAvoidingCollisions(document, table, *palette, progress);
  MoveBackground(document, table);
  SetGlobalPalette(document, std::move(palette));
  // Where every pixel moved by the table, the counts move with it; counting again would read
  // every pixel of the animation once more.
  if (asGiven) {
    MoveCounts(document.colourUsage.data(), table);
  } else {
    ComputeColourUsage(document, document.colourUsage.data(), true);
  }
  changed = true;
}

bool ShrinkLocalPalettes(AnimHeader& document, Progress* progress, bool& changed) {
  bool any = false;
  for (const ImageBlock* f = FirstImage(&document); f && !any; f = NextImage(f)) any = f->localPalette != nullptr;
  if (!any) return true;
  SetProgressText(progress, MessageText(optimize_msg::kShrinkingLocalPalettes));
  StartProgress(progress, document.frameCount);
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->localPalette && f->indexedImage) {
      int32_t counts[256];
      CountIndexes(*f, counts, true);  // the transparent pixels too: their index must stay
      RemapTable table;
      std::vector<Rgb> entries;
      if (CompactionTable(*f->localPalette, counts, table, entries)) {
        if (std::unique_ptr<Palette> palette = Palette::Create(entries.data(), static_cast<int>(entries.size()))) {
          SetLocalPalette(*f, std::move(palette));
          ApplyRemapTable(*f, *f->localPalette, &table);
          changed = true;
        }
      }
    }
    if (!StepProgress(progress)) return false;
  }
  return true;
}

}  // namespace

bool ShrinkPalettes(AnimHeader& document, Progress* progress, bool& changed) {
  ShrinkGlobalPalette(document, progress, changed);
  if (progress && !ProgressContinues()) return false;
  return ShrinkLocalPalettes(document, progress, changed);
}

}  // namespace fw
