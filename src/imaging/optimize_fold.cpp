#include "imaging/optimize_fold.h"

#include <algorithm>

#include "imaging/block_dither.h"
#include "imaging/merge_table.h"
#include "imaging/remap.h"

namespace fw {

bool ExactFoldTable(const ImageBlock& image, std::vector<Rgb>& running, int32_t* usage, RemapTable& table) {
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
  if (!(MergeTable(trial, local.data(), local.count(), table, trialUsage, source) & merge_result::kLossless))
    return false;

  // Two used entries of one colour land on one global entry. When one of them is the
  // transparent index, its pixels must move to an entry the table does not produce; without
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
      table[size_t(t)] = static_cast<int16_t>(free);
    }
  }
  running = std::move(trial);
  std::copy(trialUsage, trialUsage + 256, usage);
  return true;
}

GlobalPaletteFold::GlobalPaletteFold(AnimHeader& document)
    : document_(document), haveGlobal_(document.globalPalette != nullptr) {
  if (!haveGlobal_) return;
  const Palette& global = *document.globalPalette;
  running_.assign(global.data(), global.data() + global.count());
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (!f->localPalette) CountIndexes(*f, usage_, false);
  std::fill(usage_ + global.count(), usage_ + 256, 0);
}

GlobalPaletteFold::~GlobalPaletteFold() { install(); }

bool GlobalPaletteFold::fold(ImageBlock& image, bool exactOnly, bool dither) {
  if (!image.localPalette || !image.indexedImage) return false;
  if (!haveGlobal_) {
    // The first local palette simply becomes the global one.
    const Palette& local = *image.localPalette;
    running_.assign(local.data(), local.data() + local.count());
    CountIndexes(image, usage_, true);
    std::fill(usage_ + local.count(), usage_ + 256, 0);
    stages_.push_back(SetLocalPalette(image, nullptr));
    image.activePalette = stages_.back().get();
    haveGlobal_ = folded_ = true;
    return true;
  }

  RemapTable table;
  bool lossless = true;
  if (exactOnly) {
    if (!ExactFoldTable(image, running_, usage_, table)) return false;
  } else {
    int32_t source[256];
    CountIndexes(image, source, true);
    int32_t ignored[256];
    std::copy(usage_, usage_ + 256, ignored);
    const int local = image.localPalette->count();
    lossless = (MergeTable(running_, image.localPalette->data(), local, table, ignored, source) &
                merge_result::kLossless) != 0;
    for (int i = local; i < 256 && lossless; ++i) lossless = source[i] == 0;
  }

  std::unique_ptr<Palette> stage = Palette::Create(running_.data(), static_cast<int>(running_.size()));
  if (!stage) return false;
  if (exactOnly) {
    ApplyRemapTable(image, *stage, &table);
  } else if (lossless || !dither) {
    ApplyRemapAvoidingCollisions(image, table, *stage);
  } else {
    if (!DitherBlock(image, *stage, -1)) return false;
    image.activePalette = stage.get();
    WriteBlockColourTable(image, stage->data(), stage->count());
    RefreshDisplayMask(image);
  }
  SetLocalPalette(image, nullptr);
  image.activePalette = stage.get();
  stages_.push_back(std::move(stage));
  if (!exactOnly) {
    // What the pixels now point at, whichever way they got there.
    CountIndexes(image, usage_, false);
    std::fill(usage_ + running_.size(), usage_ + 256, 0);
  }
  if (!lossless) ++approximated_;
  folded_ = true;
  return true;
}

void GlobalPaletteFold::install() {
  if (!folded_) return;
  folded_ = false;
  std::unique_ptr<Palette> final = Palette::Create(running_.data(), static_cast<int>(running_.size()));
  // Without memory for one more palette, the last stage holds the same entries.
  if (!final) final = std::move(stages_.back());
  UseGlobalPalette(document_, *final);
  SetGlobalPalette(document_, std::move(final));
  stages_.clear();
}

}  // namespace fw
