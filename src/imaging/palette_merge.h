#pragma once
// Palette merge and conversion: brings the colours of incoming animations (or of true-colour
// frames) onto common palettes as the palette-merge preference (word 10) says, so that their
// frames can join a target document.
#include <cstdint>
#include <functional>

#include "core/anim_document.h"

namespace fw {

class Progress;

namespace merge_word {
inline constexpr uint32_t kAdaptive = 1;
inline constexpr uint32_t kMergeIntoGlobal = 2;
inline constexpr uint32_t kMap = 4;
inline constexpr uint32_t kWeb = 8;
inline constexpr uint32_t kLocal = 16;
inline constexpr uint32_t kDither = 256;
inline constexpr uint32_t kAsk = 512;
inline constexpr uint32_t kFixed = 1024;
inline constexpr uint32_t kLocalPalettesToo = 4096;  // adaptive mode also takes frames with local palettes
inline constexpr uint32_t kRefinedPalette = 8192;    // new palettes by the refined builder, not the octree
inline constexpr uint32_t kModeBits = kAdaptive | kMergeIntoGlobal | kMap | kWeb | kLocal | kFixed;
inline constexpr uint32_t kDefault = 8912897;  // adaptive, 256 colours for both counts, no dithering

// A word for the mode with 2^adaptiveBits and 2^trueColourBits colours.
constexpr uint32_t Make(uint32_t mode, int adaptiveBits, int trueColourBits) {
  return mode | uint32_t(adaptiveBits & 15) << 16 | uint32_t(trueColourBits & 15) << 20;
}
}  // namespace merge_word

// The mode a word selects when several mode bits are set: 2, 4, 8, 1024, 16, then 1; a word
// with none selects the adaptive mode.
uint32_t MergeMode(uint32_t word);
// Colour counts of a word: 2^e for the adaptive palette and 2^f for true-colour frames (a
// count field of 0 or above 8 means 256).
int AdaptiveColours(uint32_t word);
int TrueColourColours(uint32_t word);

// Asked before a merge when the stored word has the ask bit: may change the word; false
// cancels. `singleImport` is true when one file's frames are converted on their own (no
// target), where a local palette per frame is no choice. Without an asker the stored choice
// is used as it is.
using PaletteMergeAsker = std::function<bool(uint32_t& word, bool singleImport)>;
void SetPaletteMergeAsker(PaletteMergeAsker asker);

enum ConvertResult : int { kConvertFailed = 0, kConvertDone = 1, kConvertCancelled = 2 };

// Converts the chain of sources (linked through nextInChain) for joining `target` (or none).
// `word` 0 takes the stored word. On success the chain has been joined into `sources`, the
// first source, and every global-palette frame of the sources points at the palette the
// target (or, without a target, the first source) now holds. Failure leaves the target usable
// and shows its message.
int ConvertPalettes(AnimHeader* target, AnimHeader* sources, uint32_t word, Progress* progress);

// Moves the frame's local palette into the document's global palette: used by the optimizer
// and the frame properties. False on failure; the frame then keeps its local palette.
// `word` 0 takes the stored merge word; the optimizer passes its own mode instead of
// changing the stored one, since its trial runs on a worker thread.
bool FoldLocalPalette(AnimHeader& document, ImageBlock& image, uint32_t word = 0);

}  // namespace fw
