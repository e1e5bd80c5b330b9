#include "imaging/reduce_colours_choice.h"

#include <algorithm>
#include <new>

#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "imaging/reduce_colours.h"

namespace fw {
namespace {
constexpr int kNoMemoryToReduce = 40107;
constexpr int kCopyingAnimation = 40114;
constexpr uint32_t kDitherBit = 1u << 16;
constexpr uint32_t kRefinedBit = 1u << 17;

// The stop flag is process-wide and only reset when a progress starts, so it says something
// only when this run has a progress of its own. A copy stopped half way is cut short.
bool Stopped(const Progress* progress) { return progress && !ProgressContinues(); }
}  // namespace

int PaletteBitDepth(int entries) {
  if (entries > 128) return 8;
  if (entries > 64) return 7;
  if (entries > 32) return 6;
  if (entries > 16) return 5;
  if (entries > 8) return 4;
  if (entries >= 5) return 3;
  if (entries >= 3) return 2;
  return 1;
}

int LargestPaletteCount(const AnimHeader& document) {
  int largest = document.globalPalette ? document.globalPalette->count() : 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) largest = std::max(largest, f->localPalette->count());
  return largest;
}

int InitialColourTarget(int largestPalette) {
  return ClampColourTarget(1 << (PaletteBitDepth(largestPalette) - 1));
}

int ClampColourTarget(int typed) { return std::clamp(typed, kMinColourTarget, kMaxColourTarget); }

uint32_t ReduceColoursWord(const ReduceColoursChoice& choice) {
  return (choice.dither ? kDitherBit : 0u) | (choice.refined ? kRefinedBit : 0u) |
         static_cast<uint32_t>(ClampColourTarget(choice.target));
}

ReduceColoursChoice ReduceColoursChoiceFromWord(uint32_t word) {
  ReduceColoursChoice choice;
  choice.dither = (word & kDitherBit) != 0;
  choice.refined = (word & kRefinedBit) != 0;
  const int count = static_cast<int>(word & 0xFFFFu);
  choice.target = count ? ClampColourTarget(count) : kMaxColourTarget;
  return choice;
}

AnimPtr ReducedCopy(const AnimHeader& document, const ReduceColoursChoice& choice, const ColourLocks* locks,
                    Progress* progress) {
  SetProgressText(progress, MessageText(kCopyingAnimation));
  AnimPtr copy;
  try {
    copy = CopyAnimation(document, progress);
  } catch (const std::bad_alloc&) {
    copy.reset();
  }
  if (Stopped(progress)) return nullptr;
  if (!copy) {
    ShowMessage(kNoMemoryToReduce);
    return nullptr;
  }
  const ColourLocks* usedLocks = locks && locks->anyLocked ? locks : nullptr;
  // A reduction stopped half way leaves some palettes reduced and others not: only a complete
  // run may reach the document.
  const PaletteMethod method = choice.refined ? PaletteMethod::kRefined : PaletteMethod::kMedianCut;
  if (!ReducePalettes(*copy, ClampColourTarget(choice.target), choice.dither, usedLocks, progress, method))
    return nullptr;
  if (Stopped(progress)) return nullptr;
  copy->encodedSize = -1;
  return copy;
}

void InstallReducedCopy(AnimHeader& document, AnimPtr reduced) {
  if (!reduced) return;
  ExchangeDocuments(document, *reduced);
  // After the exchange the copy holds the document as it was: exactly what undo restores.
  RecordUndo(undo_kind::kReducePalette, document, std::move(reduced), {}, 0);
}

}  // namespace fw
