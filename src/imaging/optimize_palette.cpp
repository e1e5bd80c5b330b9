// The optimizer's palette steps, and the removal of local palettes in particular.
#include "imaging/optimize_palette.h"

#include <algorithm>

#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/merge_table.h"
#include "imaging/optimize.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

bool AnyLocalPalette(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) return true;
  return false;
}

// What the merge counts as taken in the global palette: every pixel of the images drawn with
// it, transparent ones included.
void GlobalUsage(const AnimHeader& document, int32_t* usage) {
  std::fill(usage, usage + 256, 0);
  if (!document.globalPalette) return;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (!f->localPalette) CountIndexes(*f, usage, false);
  std::fill(usage + document.globalPalette->count(), usage + 256, 0);
}

bool Foldable(const ImageBlock& f) { return f.localPalette && f.indexedImage; }

}  // namespace

bool FoldsExactly(const ImageBlock& image, std::vector<Rgb>& running, int32_t* usage) {
  if (!image.localPalette || !image.indexedImage) return false;
  const Palette& local = *image.localPalette;
  int32_t source[256];
  CountIndexes(image, source, true);
  // A pixel beyond its palette has no colour of its own to carry over.
  for (int i = local.count(); i < 256; ++i)
    if (source[i] > 0) return false;

  std::vector<Rgb> trial = running;
  int32_t trialUsage[256];
  std::copy(usage, usage + 256, trialUsage);
  RemapTable table;
  if (!(MergeTable(trial, local.data(), local.count(), table, trialUsage, source) & merge_result::kLossless))
    return false;

  // Two used entries of one colour land on one global entry. When one of them is the
  // transparent index, the remap moves it to an entry the table does not produce; without
  // such an entry the opaque pixels of that colour would turn transparent.
  const int t = image.transparentIndex;
  if (image.transparent() && source[t] > 0) {
    const int v = table[size_t(t)];
    bool shared = false;
    for (int i = 0; i < local.count() && !shared; ++i) shared = i != t && table[size_t(i)] == v;
    if (shared) {
      bool produced[256] = {};
      for (int16_t d : table)
        if (d >= 0) produced[d] = true;
      int free = -1;
      for (int i = 0; i < static_cast<int>(trial.size()) && free < 0; ++i)
        if (!produced[i]) free = i;
      if (free < 0) return false;
      trialUsage[v] -= source[t];
      trialUsage[free] += source[t];
    }
  }
  running = std::move(trial);
  std::copy(trialUsage, trialUsage + 256, usage);
  return true;
}

bool LocalPalettesFoldExactly(const AnimHeader& document) {
  std::vector<Rgb> running;
  int32_t usage[256];
  bool haveGlobal = document.globalPalette != nullptr;
  if (haveGlobal) {
    running.assign(document.globalPalette->data(), document.globalPalette->data() + document.globalPalette->count());
    GlobalUsage(document, usage);
  }
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!Foldable(*f)) continue;
    if (!haveGlobal) {
      // The first local palette simply becomes the global one.
      running.assign(f->localPalette->data(), f->localPalette->data() + f->localPalette->count());
      CountIndexes(*f, usage, true);
      haveGlobal = true;
      continue;
    }
    if (!FoldsExactly(*f, running, usage)) return false;
  }
  return true;
}

bool RemoveLocalPalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed) {
  if (!AnyLocalPalette(document)) return true;
  const uint32_t stored = Prefs().read(pref::kPaletteMerge);
  bool exactOnly = !(options & optimize_bit::kMapIntoGlobal);

  if (options & optimize_bit::kAdaptiveGlobal) {
    // A new adaptive palette approximates colours even when they would all fit, so it is
    // built only when folding cannot keep them.
    if (!LocalPalettesFoldExactly(document)) {
      const uint32_t word = (stored & (merge_word::kDither | 0xFF0000u)) | merge_word::kAdaptive |
                            merge_word::kLocalPalettesToo;
      const int result = ConvertPalettes(nullptr, &document, word, progress);
      if (result != kConvertCancelled) changed = true;
      return !progress || ProgressContinues();
    }
    exactOnly = true;
  }

  SetProgressText(progress, MessageText(optimize_msg::kRemovingLocalPalettes));
  StartProgress(progress, document.frameCount);
  const uint32_t mergeWord = merge_word::kMergeIntoGlobal | (stored & merge_word::kDither);
  // Each successful fold recounts the document's usage table, so it stays current for the
  // next check without a count over every image each time.
  ComputeColourUsage(document, document.colourUsage.data(), true);
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (Foldable(*f)) {
      bool fold = true;
      if (exactOnly && document.globalPalette) {
        const Palette& global = *document.globalPalette;
        std::vector<Rgb> running(global.data(), global.data() + global.count());
        int32_t usage[256];
        std::copy(document.colourUsage.begin(), document.colourUsage.end(), usage);
        std::fill(usage + global.count(), usage + 256, 0);
        fold = FoldsExactly(*f, running, usage);
      }
      if (fold && FoldLocalPalette(document, *f, mergeWord)) changed = true;
    }
    if (!StepProgress(progress)) return false;
  }
  return true;
}

bool OptimizePalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed) {
  if ((options & optimize_bit::kRemoveLocalPalettes) && !RemoveLocalPalettes(document, options, progress, changed))
    return false;
  if (options & optimize_bit::kShrinkPalettes) return ShrinkPalettes(document, progress, changed);
  return true;
}

}  // namespace fw
