#include "imaging/palette_merge.h"

#include <algorithm>
#include <new>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/fixed_palettes.h"
#include "imaging/merge_modes.h"
#include "imaging/remap.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

PaletteMergeAsker& Asker() {
  static PaletteMergeAsker asker;
  return asker;
}

int ColoursFromBits(uint32_t bits) { return (bits == 0 || bits > 8) ? 256 : 1 << bits; }

// Identical global palettes and no local palettes anywhere: the frames can simply share the
// target's palette. Frames that exist only as true colour still need converting.
bool CanSharePalette(const AnimHeader& target, const std::vector<AnimHeader*>& sources) {
  if (!target.globalPalette || HasLocalPalettes(target)) return false;
  for (const AnimHeader* s : sources)
    if (!s->globalPalette || !s->globalPalette->sameEntries(*target.globalPalette) || HasLocalPalettes(*s) ||
        HasTrueColourOnly(*s))
      return false;
  return true;
}

int Convert(AnimHeader* target, AnimHeader* first, uint32_t word, Progress* progress) {
  MergeJob job;
  job.target = target;
  job.progress = progress;
  int frames = 0;
  for (AnimHeader* s = first; s; s = s->nextInChain.get()) {
    job.sources.push_back(s);
    frames += s->frameCount;
  }
  StartProgress(progress, frames);

  if (target && CanSharePalette(*target, job.sources)) {
    for (AnimHeader* s : job.sources) {
      UseGlobalPalette(*s, *target->globalPalette);
      SetGlobalPalette(*s, nullptr);
    }
    return kConvertDone;
  }
  if (!target && job.sources.size() == 1 && !HasTrueColourOnly(*first) && !(word & merge_word::kLocalPalettesToo))
    return kConvertDone;

  if (word == 0) {
    word = Prefs().read(pref::kPaletteMerge);
    const bool singleImport = !target && job.sources.size() == 1;
    if ((word & merge_word::kAsk) && Asker() && !Asker()(word, singleImport)) return kConvertCancelled;
  }
  uint32_t mode = MergeMode(word);
  job.dither = word & merge_word::kDither;
  job.refined = word & merge_word::kRefinedPalette;
  int adaptiveColours = AdaptiveColours(word);
  const int trueColourColours = TrueColourColours(word);

  const bool hasGlobal = target && target->globalPalette;
  if (!hasGlobal && (mode == merge_word::kMergeIntoGlobal || mode == merge_word::kMap)) {
    if (target && job.sources.size() == 1 && !HasTrueColourOnly(*first)) {
      SetGlobalPalette(*target, std::move(first->globalPalette));
      first->screenFlags = 0;
      ComputeColourUsage(*target, target->colourUsage.data(), true);
      return kConvertDone;
    }
    mode = merge_word::kAdaptive;
    adaptiveColours = trueColourColours;
  }

  std::unique_ptr<Palette> fixed;
  if (mode == merge_word::kWeb) {
    fixed = WebPalette();
  } else if (mode == merge_word::kFixed) {
    // Without a stored fixed palette the choice falls back to the adaptive palette, as the
    // preferences page does when none can be loaded.
    fixed = StoredFixedPalette();
    if (!fixed) mode = merge_word::kAdaptive;
  }

  switch (mode) {
    case merge_word::kMergeIntoGlobal:
      if (std::any_of(job.sources.begin(), job.sources.end(), [](AnimHeader* s) { return HasTrueColourOnly(*s); })) {
        // True-colour frames first get a palette of their own from the sources alone.
        const uint32_t alone = merge_word::kAdaptive | (word & merge_word::kDither) |
                               uint32_t(PaletteBits(trueColourColours)) << 16 | (word & 0xF00000);
        const int r = Convert(nullptr, first, alone, progress);
        if (r != kConvertDone) return r;
        AppendChain(*first);
        job.sources.assign(1, first);
      }
      return MergeIntoGlobal(job);
    case merge_word::kMap:
      return MapOntoGlobal(job);
    case merge_word::kWeb:
    case merge_word::kFixed:
      return MapOntoPalette(job, std::move(fixed));
    case merge_word::kLocal:
      return LocalPalettes(job, trueColourColours);
    default:
      return AdaptiveMerge(job, adaptiveColours, word & merge_word::kLocalPalettesToo);
  }
}

}  // namespace

uint32_t MergeMode(uint32_t word) {
  for (uint32_t mode : {merge_word::kMergeIntoGlobal, merge_word::kMap, merge_word::kWeb, merge_word::kFixed,
                        merge_word::kLocal, merge_word::kAdaptive})
    if (word & mode) return mode;
  return merge_word::kAdaptive;
}

int AdaptiveColours(uint32_t word) { return ColoursFromBits((word >> 16) & 15); }
int TrueColourColours(uint32_t word) { return ColoursFromBits((word >> 20) & 15); }

void SetPaletteMergeAsker(PaletteMergeAsker asker) { Asker() = std::move(asker); }

bool HasLocalPalettes(const AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) return true;
  return false;
}

bool HasTrueColourOnly(const AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (TrueColourOnly(*f)) return true;
  return false;
}

void CountGlobalUsage(const AnimHeader& document, int32_t* counts, bool withoutTransparent) {
  std::fill(counts, counts + 256, 0);
  if (!document.globalPalette) return;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!UsesGlobalPalette(*f)) continue;
    if (withoutTransparent)
      CountVisibleIndexes(*f, counts, false);
    else
      CountIndexes(*f, counts, false);
  }
  std::fill(counts + document.globalPalette->count(), counts + 256, 0);
}

int ConvertPalettes(AnimHeader* target, AnimHeader* sources, uint32_t word, Progress* progress) {
  if (!sources) return kConvertDone;
  int result;
  try {
    result = Convert(target, sources, word, progress);
  } catch (const std::bad_alloc&) {
    result = kConvertFailed;
  }
  if (result == kConvertFailed) {
    ShowMessage(msg::kNoMemoryNewPalette);
    return result;
  }
  if (result == kConvertDone) AppendChain(*sources);
  return result;
}

bool FoldLocalPalette(AnimHeader& document, ImageBlock& image, uint32_t word) {
  if (!image.localPalette) return true;
  if (!document.globalPalette) {
    std::unique_ptr<Palette> local = SetLocalPalette(image, nullptr);
    Palette* raw = local.get();
    SetGlobalPalette(document, std::move(local));
    image.activePalette = raw;
    CountIndexes(image, document.colourUsage.data(), true);
    return true;
  }

  AnimPtr temp;
  std::unique_ptr<IndexedImage> backup;
  try {
    temp = CreateAnimation();
    if (image.indexedImage) backup = CopyIndexedImage(*image.indexedImage);
  } catch (const std::bad_alloc&) {
    temp.reset();
  }
  if (!temp || (image.indexedImage && !backup)) {
    ShowMessage(msg::kCannotRemoveLocalPalette);
    return false;
  }
  const uint8_t controlFlags = image.controlFlags;
  const uint8_t transparentIndex = image.transparentIndex;

  temp->screenWidth = document.screenWidth;
  temp->screenHeight = document.screenHeight;
  GifBlock* before = image.prev;
  BlockPtr block = DetachBlock(&image);
  --document.frameCount;
  std::unique_ptr<Palette> local = SetLocalPalette(image, nullptr);
  image.activePalette = local.get();
  SetGlobalPalette(*temp, std::move(local));
  CountIndexes(image, temp->colourUsage.data(), true);
  AppendBlock(*temp, std::move(block));

  if (word == 0) {
    word = Prefs().read(pref::kPaletteMerge);
    if (MergeMode(word) == merge_word::kLocal) word = (word & ~merge_word::kLocal) | merge_word::kAdaptive;
  }
  word &= ~merge_word::kAsk;
  const int result = ConvertPalettes(&document, temp.get(), word, nullptr);

  // Whatever happened, the frame goes back where it was.
  block = DetachBlock(&image);
  temp->frameCount = 0;
  if (result != kConvertDone) {
    image.indexedImage = std::move(backup);
    image.controlFlags = controlFlags;
    image.transparentIndex = transparentIndex;
    // A failed conversion releases no palette, so the frame's own one is still here.
    if (std::unique_ptr<Palette> own = std::move(temp->globalPalette)) {
      if (image.indexedImage) SetColourTable(*image.indexedImage, own.get());
      SetLocalPalette(image, std::move(own));
    }
  }
  InsertAfter(before, block.release());
  ++document.frameCount;
  if (result != kConvertDone) return false;
  ComputeColourUsage(document, document.colourUsage.data(), true);
  return true;
}

}  // namespace fw
