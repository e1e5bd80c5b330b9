#pragma once
// What the reduce-colours dialog needs besides the operation itself: the starting colour
// count, the correction of typed counts, the remembered choice, and the run on a copy that
// lets a stopped or failed reduction leave the document as it was.
#include <cstdint>

#include "core/anim_document.h"
#include "imaging/palette_reduce.h"

namespace fw {

class Progress;

inline constexpr int kMinColourTarget = 2;
inline constexpr int kMaxColourTarget = 256;

// Bits needed to index a palette of `entries` colours (1 to 8).
int PaletteBitDepth(int entries);
// The most entries among the global palette and every local palette.
int LargestPaletteCount(const AnimHeader& document);
// Half the colours the largest palette can index: 2^(bit depth - 1).
int InitialColourTarget(int largestPalette);
// Typed counts below 2 become 2 and above 256 become 256.
int ClampColourTarget(int typed);

struct ReduceColoursChoice {
  int target = kMaxColourTarget;
  bool dither = false;
  bool refined = false;  // the refined palette builder instead of the median cut

  friend bool operator==(const ReduceColoursChoice&, const ReduceColoursChoice&) = default;
};
// The preference word: the count in the low 16 bits, dithering in bit 16, the refined
// builder in bit 17.
uint32_t ReduceColoursWord(const ReduceColoursChoice& choice);
ReduceColoursChoice ReduceColoursChoiceFromWord(uint32_t word);

// Reduce palettes on a deep copy of `document`. None when the copy cannot be made (message
// 40107 shown), when the reduction fails, or when the user stops the progress; `document` is
// never touched.
AnimPtr ReducedCopy(const AnimHeader& document, const ReduceColoursChoice& choice, const ColourLocks* locks,
                    Progress* progress);

// Makes `reduced` (from ReducedCopy of this document) the document's content, with one undo
// step holding the old content.
void InstallReducedCopy(AnimHeader& document, AnimPtr reduced);

}  // namespace fw
