#pragma once
// Helpers shared by the colour tests: documents with chosen palettes and what a viewer shows.
#include <optional>
#include <random>
#include <vector>

#include "core/anim_document.h"
#include "support/test_support.h"

namespace fw::test {

inline std::unique_ptr<Palette> MakePalette(const std::vector<Rgb>& colours) {
  return Palette::Create(colours.data(), static_cast<int>(colours.size()));
}

inline AnimPtr DocumentWith(const std::vector<Rgb>& colours, int width = 16, int height = 16) {
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = width;
  doc->screenHeight = height;
  SetGlobalPalette(*doc, MakePalette(colours));
  return doc;
}

inline void GiveLocalPalette(ImageBlock& frame, std::unique_ptr<Palette> palette) {
  SetLocalPalette(frame, std::move(palette));
  SetColourTable(*frame.indexedImage, frame.localPalette.get());
}

inline void MakeTransparent(ImageBlock& frame, int index) {
  SetTransparentIndex(frame, index);
  SetTransparency(frame, true);
}

// Per frame, per pixel: the colour shown, or nothing where the frame is see-through.
using Shown = std::vector<std::vector<std::optional<Rgb>>>;

inline Shown Displayed(const AnimHeader& doc) {
  Shown out;
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    std::vector<std::optional<Rgb>> pixels;
    if (!f->indexedImage) {
      out.push_back(std::move(pixels));
      continue;
    }
    for (uint8_t p : FramePixels(*f)) {
      if (f->transparent() && p == f->transparentIndex)
        pixels.emplace_back();
      else
        pixels.emplace_back(p < f->activePalette->count() ? std::optional<Rgb>((*f->activePalette)[p]) : std::nullopt);
    }
    out.push_back(std::move(pixels));
  }
  return out;
}

// The colour table must show what the palette in effect holds (the transparent entry shows
// the display colour instead), and the display mask must exist exactly while transparency is on.
inline bool ColourTableMatches(const ImageBlock& f) {
  if (!f.indexedImage || !f.activePalette) return false;
  if (f.transparent() == f.maskBitmap.empty()) return false;
  for (int i = 0; i < f.activePalette->count(); ++i)
    if (EntryColour(f.indexedImage->colourTable[size_t(i)]) != (*f.activePalette)[i] &&
        !(f.transparent() && i == f.transparentIndex))
      return false;
  return true;
}

inline std::vector<Rgb> RandomColours(std::mt19937& rng, int n) {
  std::uniform_int_distribution<int> d(0, 255);
  std::vector<Rgb> c(static_cast<size_t>(n));
  for (Rgb& x : c) x = {uint8_t(d(rng)), uint8_t(d(rng)), uint8_t(d(rng))};
  return c;
}

// A frame of true-colour data only (blue, green, red rows) from colour(x, y).
template <typename Colour>
ImageBlock& AddTrueColourFrame(AnimHeader& doc, int width, int height, Colour colour) {
  ImagePtr frame = CreateSizedImage(width, height);
  frame->trueColour.assign(Stride24(width) * size_t(height), 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      uint8_t* p = frame->trueColour.data() + size_t(y) * Stride24(width) + 3 * size_t(x);
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
    }
  ImageBlock& ref = *frame;
  AppendBlock(doc, std::move(frame));
  return ref;
}

}  // namespace fw::test
