#pragma once
// The individual palette-merge modes behind ConvertPalettes. Each converts the sources (and,
// where the mode says, the target) and installs the resulting global palette; joining the
// chain is left to the caller. They return a ConvertResult and may throw std::bad_alloc,
// which ConvertPalettes turns into a failure.
//
// Sources are converted before the target wherever the target changes too, so that a failure
// part-way leaves the target as it was.
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Progress;

struct MergeJob {
  AnimHeader* target = nullptr;
  std::vector<AnimHeader*> sources;
  bool dither = false;
  bool refined = false;  // new palettes by the refined builder
  Progress* progress = nullptr;
};

bool HasLocalPalettes(const AnimHeader& document);
bool HasTrueColourOnly(const AnimHeader& document);
// Global-palette usage, without the transparent pixels when some global-palette frame is
// transparent; nothing beyond the palette's end.
void CountGlobalUsage(const AnimHeader& document, int32_t* counts, bool withoutTransparent);

int AdaptiveMerge(MergeJob& job, int colours, bool withLocalPalettes);
int MergeIntoGlobal(MergeJob& job);
int MapOntoGlobal(MergeJob& job);
// Web cube or fixed palette: `palette` becomes the global palette.
int MapOntoPalette(MergeJob& job, std::unique_ptr<Palette> palette);
int LocalPalettes(MergeJob& job, int colours);

}  // namespace fw
