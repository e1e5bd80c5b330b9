#pragma once
// The command-line mode: flags performed left to right on one current document.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/load_result.h"

namespace fw {

// Brings a chain of loaded animations (linked through nextInChain) onto the palettes of the
// document they join (none: they form a new document) and joins the chain into its first
// animation, all in one pass. False cancels the merge.
using PaletteReconciler = std::function<bool(AnimHeader* target, AnimHeader& chain)>;

// What the program entry hands to the batch run: the loader, the saver and the optimizer
// live in higher layers.
struct BatchServices {
  std::function<LoadResult(const std::string& path)> load;
  // Saves the document under the path; shows its own messages; true on success.
  std::function<bool(const std::string& path, AnimHeader& document)> save;
  // Optimizes in place; empty when this build has no optimizer.
  std::function<bool(AnimHeader& document)> optimize;
  // Replaces the document by its best-looking version that writes to at most `targetBytes`;
  // false with the reason in `report` (nothing fits, or it could not be tried).
  std::function<bool(AnimHeader& document, int64_t targetBytes, std::string& report)> fitSize;
  PaletteReconciler reconcilePalettes;
};

// The shell state batch mode shares with the interactive program.
struct DocumentState {
  AnimPtr document;
  std::string fileName;
  int currentFrame = -1;  // -1: after the last frame
};

// Exit status of a batch run.
enum BatchExit : int { kBatchOk = 0, kBatchProblem = 1, kBatchInputError = 2 };

// `args` excludes the program name; the first one begins with '-'.
int RunBatch(const std::vector<std::string>& args, BatchServices& services, DocumentState& state);
// Whether the run optimizes (-z) at some point: what it loads can then be read for that.
bool BatchOptimizes(const std::vector<std::string>& args);

// Merges a chain of loaded animations (linked through nextInChain) into the current document,
// or makes it the current document. `count` is the number of files the chain came from.
bool MergeLoadedAnimations(DocumentState& state, AnimPtr chain, int count, const PaletteReconciler& reconcile);

// Keeps incoming colours exactly: frames whose global palette differs from the one they will
// show through get a copy of it as their local palette.
bool KeepPalettesAsLocal(AnimHeader* target, AnimHeader& chain);

// --- name lists ---
// Names matching a file name with '*' and '?' in its last component, joined to the value's
// directory part and sorted case-insensitively (stable). Plain names must exist.
std::vector<std::string> ExpandPattern(const std::string& value);
bool LessIgnoringCase(const std::string& a, const std::string& b);
// Splits at CR, LF or CR LF; a final line without an end counts, no empty entry after a final end.
std::vector<std::string> SplitListLines(const std::string& text);

}  // namespace fw
