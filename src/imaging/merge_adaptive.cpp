// Adaptive mode: one new global palette built (by the pixel octree or the refined builder) from everything that joins.
#include <algorithm>

#include "core/frame_planes.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/block_dither.h"
#include "imaging/merge_modes.h"
#include "imaging/palette_builder.h"
#include "imaging/remap.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

bool NeedsTransparentSlot(const std::vector<AnimHeader*>& docs) {
  for (AnimHeader* d : docs)
    for (ImageBlock* f = FirstImage(d); f; f = NextImage(f))
      if (f->transparent() || !f->alpha.empty()) return true;
  return false;
}

void AnalyseDocument(PaletteBuilder& builder, const AnimHeader& doc, bool withLocalPalettes) {
  int32_t counts[256];
  if (doc.globalPalette) {
    CountGlobalUsage(doc, counts, true);
    builder.addPalette(*doc.globalPalette, counts);
  }
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (withLocalPalettes && f->localPalette && f->indexedImage) {
      CountVisibleIndexes(*f, counts, true);
      std::fill(counts + f->localPalette->count(), counts + 256, 0);
      builder.addPalette(*f->localPalette, counts);
    } else if (TrueColourOnly(*f) && TrueColourRows(*f)) {
      const std::vector<uint8_t> mask = BlockMask(*f);
      const int w = PlaneWidth(*f);
      builder.addTrueColour(w, PlaneHeight(*f), TrueColourRows(*f), Stride24(w), mask.empty() ? nullptr : mask.data(),
                         Stride8(w));
    }
  }
}

// Drops a frame's local palette once its pixels are on the global palette.
void DropLocalPalette(ImageBlock& f, Palette& palette) {
  SetLocalPalette(f, nullptr);
  f.activePalette = &palette;
}

bool RemapDocument(AnimHeader& doc, Palette& palette, const PaletteBuilder& builder, bool reserved, bool dither,
                   bool withLocalPalettes, Progress* progress) {
  const int slot = palette.count() - 1;
  if (dither) {
    if (doc.globalPalette && !DitherDocumentBlocks(doc, palette, reserved ? slot : -1, progress, builder.refined()))
      return false;
  } else if (doc.globalPalette) {
    const RemapTable table = builder.mapPalette(*doc.globalPalette);
    MoveBackground(doc, table);
    ApplyRemapForcedSlot(doc, table, slot, palette, progress);
  }
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (TrueColourOnly(*f)) {
      if (f->localPalette) DropLocalPalette(*f, palette);
      if (!(dither ? MapTrueColourBlock(*f, palette, true, builder.refined()) : builder.mapTrueColourBlock(*f, palette)))
        return false;
    } else if (withLocalPalettes && f->localPalette && f->indexedImage) {
      if (dither) {
        if (!DitherBlock(*f, palette, f->transparent() ? slot : -1, builder.refined())) return false;
        ApplyRemapTable(*f, palette, nullptr);
      } else {
        ApplyRemapForcedSlot(*f, builder.mapPalette(*f->localPalette), palette);
      }
      DropLocalPalette(*f, palette);
    }
  }
  UseGlobalPalette(doc, palette);
  return true;
}

}  // namespace

int AdaptiveMerge(MergeJob& job, int colours, bool withLocalPalettes) {
  std::vector<AnimHeader*> docs = job.sources;
  if (job.target) docs.push_back(job.target);  // last: the target changes only once the rest succeeded
  const bool reserve = NeedsTransparentSlot(docs);

  SetProgressText(job.progress, MessageText(msg::kAnalysingColours));
  PaletteBuilder builder(colours, job.refined);
  for (AnimHeader* d : docs) AnalyseDocument(builder, *d, withLocalPalettes);
  std::unique_ptr<Palette> palette = builder.makePalette(colours, reserve);
  if (!palette) {
    const Rgb black{};
    palette = Palette::Create(&black, 1);
  }
  if (!palette) return 0;

  SetProgressText(job.progress, MessageText(msg::kRemappingColours));
  for (AnimHeader* d : docs)
    if (!RemapDocument(*d, *palette, builder, reserve, job.dither, withLocalPalettes, job.progress)) return 0;

  AnimHeader& holder = job.target ? *job.target : *job.sources.front();
  for (AnimHeader* d : job.sources)
    if (d != &holder) SetGlobalPalette(*d, nullptr);
  SetGlobalPalette(holder, std::move(palette));
  ComputeColourUsage(holder, holder.colourUsage.data(), true);
  return 1;
}

}  // namespace fw
