// Modes that keep or extend an existing palette: merge into the global palette, map onto it
// unchanged, and map onto the web cube or the fixed palette.
#include <algorithm>
#include <vector>

#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/block_dither.h"
#include "imaging/merge_modes.h"
#include "imaging/merge_table.h"
#include "imaging/remap.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

// Brings every frame of `doc` that uses its global palette (and every true-colour-only frame)
// onto `palette`. The document's own global palette is left for the caller to release.
bool RemapOnto(AnimHeader& doc, Palette& palette, bool dither, Progress* progress) {
  if (doc.globalPalette) {
    if (dither) {
      if (!DitherDocumentBlocks(doc, palette, -1, progress)) return false;
    } else {
      const RemapTable table = BuildRemapTable(doc.globalPalette.get(), palette);
      MoveBackground(doc, table);
      ApplyRemapAvoidingCollisions(doc, table, palette, progress);
    }
  }
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (!TrueColourOnly(*f)) continue;
    if (f->localPalette) {
      SetLocalPalette(*f, nullptr);
      f->activePalette = &palette;
    }
    if (!MapTrueColourBlock(*f, palette, dither)) return false;
  }
  UseGlobalPalette(doc, palette);
  return true;
}

bool SameColours(const Palette* a, const Palette& b) { return a && a->sameEntries(b); }

}  // namespace

int MergeIntoGlobal(MergeJob& job) {
  AnimHeader& target = *job.target;
  SetProgressText(job.progress, MessageText(msg::kRemappingColours));

  std::vector<Rgb> running(target.globalPalette->data(), target.globalPalette->data() + target.globalPalette->count());
  // The usage counts decide which entries are free to take a new colour, so they must be
  // current: a stale table could hand out an entry that pixels still show.
  int32_t usage[256];
  CountGlobalUsage(target, usage, false);

  // Each source gets the palette as it stood after its merge; the final palette replaces
  // them all at the end.
  std::vector<std::unique_ptr<Palette>> stages;
  for (AnimHeader* s : job.sources) {
    if (!s->globalPalette) continue;
    int32_t sourceUsage[256];
    CountGlobalUsage(*s, sourceUsage, false);
    RemapTable table;
    const int bits = MergeTable(running, s->globalPalette->data(), s->globalPalette->count(), table, usage, sourceUsage);
    auto stage = Palette::Create(running.data(), static_cast<int>(running.size()));
    if (!stage) return 0;
    if ((bits & merge_result::kLossless) || !job.dither) {
      ApplyRemapAvoidingCollisions(*s, table, *stage, job.progress);
      UseGlobalPalette(*s, *stage);
    } else {
      if (!DitherDocumentBlocks(*s, *stage, -1, job.progress)) return 0;
      UseGlobalPalette(*s, *stage);
    }
    stages.push_back(std::move(stage));
  }

  auto final = Palette::Create(running.data(), static_cast<int>(running.size()));
  if (!final) return 0;
  for (AnimHeader* s : job.sources) {
    UseGlobalPalette(*s, *final);
    SetGlobalPalette(*s, nullptr);
  }
  UseGlobalPalette(target, *final);
  SetGlobalPalette(target, std::move(final));
  ComputeColourUsage(target, target.colourUsage.data(), true);
  return 1;
}

int MapOntoGlobal(MergeJob& job) {
  Palette& global = *job.target->globalPalette;
  SetProgressText(job.progress, MessageText(msg::kRemappingColours));
  for (AnimHeader* s : job.sources) {
    if (!RemapOnto(*s, global, job.dither, job.progress)) return 0;
    SetGlobalPalette(*s, nullptr);
  }
  return 1;
}

int MapOntoPalette(MergeJob& job, std::unique_ptr<Palette> palette) {
  SetProgressText(job.progress, MessageText(msg::kRemappingColours));
  AnimHeader& holder = job.target ? *job.target : *job.sources.front();
  // A target already on exactly this palette keeps its own object.
  Palette* shared = SameColours(holder.globalPalette.get(), *palette) ? holder.globalPalette.get() : palette.get();

  for (AnimHeader* s : job.sources) {
    if (s == &holder && shared != palette.get()) continue;
    if (SameColours(s->globalPalette.get(), *shared)) {
      UseGlobalPalette(*s, *shared);
    } else if (!RemapOnto(*s, *shared, job.dither, job.progress)) {
      return 0;
    }
  }
  if (job.target && shared == palette.get() && !RemapOnto(*job.target, *shared, job.dither, job.progress)) return 0;

  for (AnimHeader* s : job.sources)
    if (s != &holder) SetGlobalPalette(*s, nullptr);
  if (shared == palette.get()) SetGlobalPalette(holder, std::move(palette));
  ComputeColourUsage(holder, holder.colourUsage.data(), true);
  return 1;
}

}  // namespace fw
