#pragma once
// Numbered sequences: the images of an animation saved one file each, named by a pattern.
#include <cstdint>
#include <functional>
#include <string>

#include "core/anim_document.h"

namespace fw {

class Progress;

// Decimal digits for numbering `count` images: how many powers of ten lie below it (1 image
// gives 0, 2 to 10 give 1, 11 to 100 give 2). A minimum width: larger numbers print in full.
int SequenceDigits(int count);

// prefix + zero-padded number + suffix, or the bare path when unnumbered.
struct SequencePattern {
  std::string prefix;
  int width = 0;
  std::string suffix;
  bool numbered = false;

  std::string name(int number) const;
  // The same as a printf pattern ("%" in the path doubled), as the save dialog shows it.
  std::string printfText() const;
};

// The path gets ".ext" unless it ends so already (ignoring case). A "#" run in the file name
// marks where the number goes and its least width; otherwise a single file keeps the name and
// several are numbered before the extension with `digits` digits.
SequencePattern BuildSequencePattern(const std::string& path, const std::string& extension, bool several, int digits);

// Writes one image to a path; 1 on success (its own messages shown on failure).
using ImageFileWriter = std::function<int(const std::string& path, ImageBlock& image)>;

// Saves every image (only the selected ones with kSelectedOnly) through `write` into a
// temporary file in the target folder that then replaces pattern(k), k counting every image
// from 1. The first failure ends it; 1 when all were written.
int SaveFrameSequence(const std::string& path, AnimHeader& document, uint32_t options, const std::string& extension,
                      const ImageFileWriter& write, Progress* progress);

}  // namespace fw
