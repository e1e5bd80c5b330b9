#include "imaging/palette_builder.h"

#include <algorithm>

#include "imaging/octree.h"
#include "imaging/refined_palette.h"
#include "imaging/true_colour.h"

namespace fw {

PaletteBuilder::PaletteBuilder(int colours, bool refined) {
  if (refined)
    histogram_ = std::make_unique<ColourHistogram>();
  else
    tree_ = std::make_unique<Octree>(colours);
}

PaletteBuilder::~PaletteBuilder() = default;

void PaletteBuilder::addPalette(const Palette& palette, const int32_t* counts) {
  if (tree_)
    tree_->addPalette(palette, counts);
  else
    histogram_->addPalette(palette.data(), palette.count(), counts);
}

void PaletteBuilder::addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask,
                                   size_t maskStride) {
  if (tree_)
    tree_->addTrueColour(width, height, rows, stride, mask, maskStride);
  else
    histogram_->addTrueColour(width, height, rows, stride, mask, maskStride);
}

std::unique_ptr<Palette> PaletteBuilder::makePalette(int colours, bool reserveTransparent) {
  if (tree_) return tree_->makePalette(colours, reserveTransparent);
  colours = std::clamp(colours, 1, 256);
  Rgb entries[256];
  const int n = BuildRefinedPalette(*histogram_, std::max(1, colours - (reserveTransparent ? 1 : 0)), entries);
  built_.assign(entries, entries + n);
  int total = n;
  if (reserveTransparent && total < 256) entries[total++] = Rgb{0, 0, 0};
  return total > 0 ? Palette::Create(entries, total) : nullptr;
}

RemapTable PaletteBuilder::mapPalette(const Palette& source) const {
  if (tree_) return tree_->mapPalette(source);
  return BuildRemapTable(&source, built_.data(), int(built_.size()));
}

bool PaletteBuilder::mapTrueColourBlock(ImageBlock& block, Palette& palette) const {
  if (tree_) return MapTrueColourBlock(block, palette, *tree_);
  NearestColourCache nearest(built_.data(), int(built_.size()));
  return MapTrueColourBlock(block, palette, nearest);
}

}  // namespace fw
