#pragma once
// Folding local palettes into the global one, image by image, with the global palette's usage
// kept current as each image joins it: one count over the document for the whole run instead
// of one per image.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"
#include "core/palette.h"
#include "imaging/nearest.h"

namespace fw {

// The table that moves the image's pixels from its local palette onto `running` without
// changing a colour; `running` and `usage` (256 counts of the pixels on the global palette)
// advance as the fold will advance them. False, with nothing advanced, when no such table
// exists: a colour finds no room, or a pixel lies beyond its palette.
bool ExactFoldTable(const ImageBlock& image, std::vector<Rgb>& running, int32_t* usage, RemapTable& table);

class GlobalPaletteFold {
 public:
  // Counts what the global-palette images use (every pixel, transparent ones included: an
  // entry a pixel points at is taken whether or not it shows).
  explicit GlobalPaletteFold(AnimHeader& document);
  GlobalPaletteFold(const GlobalPaletteFold&) = delete;
  GlobalPaletteFold& operator=(const GlobalPaletteFold&) = delete;
  // Installs the palette the folds built, if any image was folded.
  ~GlobalPaletteFold();

  // Moves the image from its local palette onto the global one. With `exactOnly` only when
  // every colour the image uses is kept; otherwise colours that find no room are mapped to
  // their nearest entry (dithered with `dither`). False when the image keeps its palette.
  bool fold(ImageBlock& image, bool exactOnly, bool dither);
  // Images whose colours a fold changed.
  int approximated() const { return approximated_; }

 private:
  void install();

  AnimHeader& document_;
  bool haveGlobal_;
  bool folded_ = false;
  int approximated_ = 0;
  std::vector<Rgb> running_;
  int32_t usage_[256] = {};
  // Palettes images point at until the final one is installed.
  std::vector<std::unique_ptr<Palette>> stages_;
};

}  // namespace fw
