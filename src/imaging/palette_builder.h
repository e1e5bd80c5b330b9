#pragma once
// One palette built from everything an operation analyses, by the pixel octree or by the
// refined builder, and the matching undithered mapping onto it: the octree maps through its
// own leaves, the refined palette to each colour's exact nearest entry.
#include <memory>
#include <vector>

#include "core/anim_document.h"
#include "imaging/nearest.h"

namespace fw {

class Octree;
class ColourHistogram;

class PaletteBuilder {
 public:
  // Throws std::bad_alloc like any allocation.
  PaletteBuilder(int colours, bool refined);
  ~PaletteBuilder();
  PaletteBuilder(const PaletteBuilder&) = delete;
  PaletteBuilder& operator=(const PaletteBuilder&) = delete;

  void addPalette(const Palette& palette, const int32_t* counts);
  void addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask, size_t maskStride);

  // At most `colours` entries, the last a black transparent slot when reserved; nullptr when
  // nothing was added.
  std::unique_ptr<Palette> makePalette(int colours, bool reserveTransparent);
  // Whether the palette comes from the refined builder, whose entries dithering should reach
  // exactly (PrepareExactDithering).
  bool refined() const { return histogram_ != nullptr; }
  // After makePalette: each source entry's entry in the new palette (never the slot).
  RemapTable mapPalette(const Palette& source) const;
  // After makePalette, with that palette: the block's true-colour picture mapped without
  // dithering. False on failure (message shown).
  bool mapTrueColourBlock(ImageBlock& block, Palette& palette) const;

 private:
  std::unique_ptr<Octree> tree_;
  std::unique_ptr<ColourHistogram> histogram_;
  std::vector<Rgb> built_;  // the refined palette without its slot
};

}  // namespace fw
