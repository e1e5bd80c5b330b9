#include "imaging/reduce_colours.h"

#include <algorithm>
#include <new>

#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/block_dither.h"
#include "imaging/nearest.h"
#include "imaging/remap.h"

namespace fw {
namespace {

bool PowerOfTwoTarget(int a) { return a == 8 || a == 16 || a == 32 || a == 64 || a == 128 || a == 256; }

// A palette's entries in a 256-entry buffer; usage beyond its end is dropped so that stray
// pixel values cannot add black to the histogram.
void LoadEntries(const Palette& palette, Rgb* buffer, int32_t* counts) {
  std::fill(buffer, buffer + 256, Rgb{});
  palette.readEntries(0, palette.count(), buffer);
  std::fill(counts + palette.count(), counts + 256, 0);
}

std::unique_ptr<Palette> WithSlot(const Rgb* entries, int n) {
  Rgb all[257];
  std::copy(entries, entries + n, all);
  all[n] = Rgb{0, 0, 0};
  return Palette::Create(all, n + 1);
}

bool ReduceGlobal(AnimHeader& doc, int target, bool dither, const ColourLocks* locks, Progress* progress,
                  PaletteMethod method) {
  const Palette& old = *doc.globalPalette;
  StartProgress(progress, target);
  SetProgressText(progress, MessageText(msg::kReducingPalettes));

  bool anyTransparent = false;
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (UsesGlobalPalette(*f) && f->transparent()) anyTransparent = true;

  // The usage table the workers keep may be stale or cut short; counting afresh gives what
  // they would have found.
  int32_t counts[256];
  int working;
  if (anyTransparent) {
    ComputeVisibleColourUsage(doc, counts, true);
    working = target - 1;
  } else {
    ComputeColourUsage(doc, counts, true);
    working = PowerOfTwoTarget(target) ? target - 1 : target;
  }

  Rgb buffer[256];
  LoadEntries(old, buffer, counts);
  const int n = PaletteReduce(buffer, counts, working, locks, progress, method);
  if (n <= 0) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return false;
  }
  auto reduced = Palette::Create(buffer, n);
  auto installed = WithSlot(buffer, n);
  if (!reduced || !installed) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return false;
  }
  const Rgb oldBackground = doc.backgroundIndex < old.count() ? old[doc.backgroundIndex] : Rgb{};

  StartProgress(progress, doc.frameCount);
  SetProgressText(progress, MessageText(msg::kReloadingFrames));
  if (dither) {
    // The slot lies past the dithering palette, so no opaque pixel can reach it.
    if (!DitherDocumentBlocks(doc, *reduced, n, progress, method == PaletteMethod::kRefined && !locks)) return false;
    UseGlobalPalette(doc, *installed);
  } else {
    const RemapTable table = BuildRemapTable(&old, *reduced);
    ApplyRemapForcedSlot(doc, table, n, *installed, progress);
    UseGlobalPalette(doc, *installed);
  }
  doc.backgroundIndex = static_cast<uint8_t>(NearestIndex(*installed, oldBackground));
  SetGlobalPalette(doc, std::move(installed));
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  return true;
}

bool ReduceLocal(ImageBlock& block, int target, bool dither, PaletteMethod method) {
  const Palette& old = *block.localPalette;
  const bool transparent = block.transparent();
  int32_t counts[256];
  CountIndexes(block, counts, true);
  if (transparent) counts[block.transparentIndex] = 0;
  const int working = transparent ? target - 1 : target;

  Rgb buffer[257];
  LoadEntries(old, buffer, counts);
  int n = PaletteReduce(buffer, counts, working, nullptr, nullptr, method);
  if (n <= 0) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return false;
  }
  if (n < working) buffer[n++] = Rgb{0, 0, 0};
  if (n < working) buffer[n++] = Rgb{255, 255, 255};

  auto reduced = Palette::Create(buffer, n);
  auto installed = transparent ? WithSlot(buffer, n) : Palette::Create(buffer, n);
  if (!reduced || !installed) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return false;
  }
  if (dither) {
    if (!DitherBlock(block, *reduced, transparent ? n : -1, method == PaletteMethod::kRefined)) return false;
    ApplyRemapTable(block, *installed, nullptr);
  } else {
    RemapTable table = BuildRemapTable(&old, *reduced);
    if (transparent) table[block.transparentIndex] = static_cast<int16_t>(n);
    ApplyRemapTable(block, *installed, &table);
  }
  SetLocalPalette(block, std::move(installed));
  return true;
}

}  // namespace

bool ReducePalettes(AnimHeader& document, int target, bool dither, const ColourLocks* locks, Progress* progress,
                    PaletteMethod method) {
  target = std::clamp(target, 2, 256);
  try {
    if (document.globalPalette && target < document.globalPalette->count())
      if (!ReduceGlobal(document, target, dither, locks, progress, method)) return false;

    StartProgress(progress, document.frameCount);
    SetProgressText(progress, MessageText(msg::kReloadingLocalPalettes));
    for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
      if (f->localPalette && f->localPalette->count() > target)
        if (!ReduceLocal(*f, target, dither, method)) return false;
      if (!StepProgress(progress)) return false;
    }
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return false;
  }
  return true;
}

}  // namespace fw
