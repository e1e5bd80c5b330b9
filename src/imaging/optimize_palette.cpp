// The optimizer's palette steps, and the removal of local palettes in particular.
#include "imaging/optimize_palette.h"

#include <algorithm>

#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/merge_table.h"
#include "imaging/optimize_fold.h"
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

uint32_t Packed(Rgb c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }

// The colours each image shows, taken before a palette conversion: afterwards an image whose
// colours are all still in its palette looks as it did (nearest mapping and dithering both
// leave exact colours alone), and any other image was approximated.
class ShownColours {
 public:
  explicit ShownColours(const AnimHeader& document) {
    for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
      std::vector<uint32_t>& colours = images_.emplace_back();
      if (!f->indexedImage || !f->activePalette) continue;
      int32_t counts[256];
      CountVisibleIndexes(*f, counts, true);
      for (int i = 0; i < f->activePalette->count(); ++i)
        if (counts[i] > 0) colours.push_back(Packed((*f->activePalette)[i]));
    }
  }

  int imagesChangedBy(const AnimHeader& after) const {
    int changed = 0;
    size_t n = 0;
    for (const ImageBlock* f = FirstImage(&after); f && n < images_.size(); f = NextImage(f), ++n) {
      std::vector<uint32_t> palette;
      if (f->activePalette)
        for (int i = 0; i < f->activePalette->count(); ++i) palette.push_back(Packed((*f->activePalette)[i]));
      std::sort(palette.begin(), palette.end());
      for (uint32_t c : images_[n])
        if (!std::binary_search(palette.begin(), palette.end(), c)) {
          ++changed;
          break;
        }
    }
    return changed;
  }

 private:
  std::vector<std::vector<uint32_t>> images_;
};

}  // namespace

bool FoldsExactly(const ImageBlock& image, std::vector<Rgb>& running, int32_t* usage) {
  RemapTable table;
  return ExactFoldTable(image, running, usage, table);
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

bool RemoveLocalPalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed,
                         int& approximated) {
  if (!AnyLocalPalette(document)) return true;
  const uint32_t stored = Prefs().read(pref::kPaletteMerge);
  bool exactOnly = !(options & optimize_bit::kMapIntoGlobal);

  if (options & optimize_bit::kAdaptiveGlobal) {
    // A new adaptive palette approximates colours even when they would all fit, so it is
    // built only when folding cannot keep them.
    if (!LocalPalettesFoldExactly(document)) {
      const uint32_t word = (stored & (merge_word::kDither | 0xFF0000u)) | merge_word::kAdaptive |
                            merge_word::kLocalPalettesToo;
      const ShownColours before(document);
      const int result = ConvertPalettes(nullptr, &document, word, progress);
      if (result != kConvertCancelled) changed = true;
      if (result == kConvertDone) approximated += before.imagesChangedBy(document);
      return !progress || ProgressContinues();
    }
    exactOnly = true;
  }

  SetProgressText(progress, MessageText(optimize_msg::kRemovingLocalPalettes));
  StartProgress(progress, document.frameCount);
  const bool dither = (stored & merge_word::kDither) != 0;
  GlobalPaletteFold fold(document);
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (Foldable(*f) && fold.fold(*f, exactOnly, dither)) changed = true;
    if (!StepProgress(progress)) return false;
  }
  approximated += fold.approximated();
  return true;
}

bool OptimizePalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed,
                      int& approximated) {
  if ((options & optimize_bit::kRemoveLocalPalettes) &&
      !RemoveLocalPalettes(document, options, progress, changed, approximated))
    return false;
  if (options & optimize_bit::kShrinkPalettes)
    return ShrinkPalettes(document, progress, changed, options & optimize_bit::kKeepFullLzwTables);
  return true;
}

}  // namespace fw
