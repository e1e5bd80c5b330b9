// Local mode: every incoming frame keeps or gets a palette of its own.
#include "core/frame_planes.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/merge_modes.h"
#include "imaging/palette_builder.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

bool OwnPaletteFromTrueColour(ImageBlock& f, int colours, bool dither, bool refined) {
  const uint8_t* rows = TrueColourRows(f);
  if (!rows) return false;
  const std::vector<uint8_t> mask = BlockMask(f);
  const int w = PlaneWidth(f);
  PaletteBuilder builder(colours, refined);
  builder.addTrueColour(w, PlaneHeight(f), rows, Stride24(w), mask.empty() ? nullptr : mask.data(), Stride8(w));
  std::unique_ptr<Palette> palette = builder.makePalette(colours, f.transparent() || !mask.empty());
  if (!palette) return false;
  Palette& own = *palette;
  SetLocalPalette(f, std::move(palette));
  return dither ? MapTrueColourBlock(f, own, true) : builder.mapTrueColourBlock(f, own);
}

}  // namespace

int LocalPalettes(MergeJob& job, int colours) {
  SetProgressText(job.progress, MessageText(msg::kCreatingLocalPalettes));
  for (AnimHeader* s : job.sources) {
    for (ImageBlock* f = FirstImage(s); f; f = NextImage(f)) {
      if (f->hasTrueColour()) {
        if (!OwnPaletteFromTrueColour(*f, colours, job.dither, job.refined)) return 0;
      } else if (!f->localPalette && s->globalPalette) {
        auto copy = s->globalPalette->copy();
        if (!copy) return 0;
        SetLocalPalette(*f, std::move(copy));
      }
      StepProgress(job.progress);
    }
    SetGlobalPalette(*s, nullptr);
  }
  return 1;
}

}  // namespace fw
