#pragma once
// Generated animations for the compositor tests: frames of random size, place, disposal,
// transparency and palette, drawn from a fixed seed so every run sees the same ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/anim_document.h"
#include "gif/byte_sink.h"
#include "gif/gif_writer.h"

namespace fw::test {

struct Lcg {
  uint32_t state;
  uint32_t next() { return (state = state * 1664525u + 1013904223u) >> 8; }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
  bool chance(int percent) { return below(100) < percent; }
};

struct Shape {
  int screenWidth = 40, screenHeight = 30, frames = 8;
  bool localPalettes = true;
  bool pastTheEdges = true;  // frames may reach beyond the right and bottom edges
  int firstDisposal = -1;    // -1: random
};

inline std::unique_ptr<Palette> RandomPalette(Lcg& rng, int count) {
  std::vector<Rgb> entries(static_cast<size_t>(count));
  for (Rgb& e : entries) e = {static_cast<uint8_t>(rng.below(256)), static_cast<uint8_t>(rng.below(256)),
                              static_cast<uint8_t>(rng.below(256))};
  return Palette::Create(entries.data(), count);
}

// Frames of random size, place, disposal, transparency and palette, pixels biased towards the
// transparent index so that holes are common.
inline AnimPtr RandomAnimation(uint32_t seed, const Shape& shape) {
  Lcg rng{seed};
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = shape.screenWidth;
  doc->screenHeight = shape.screenHeight;
  const int colours = 2 + rng.below(200);
  SetGlobalPalette(*doc, RandomPalette(rng, colours));
  doc->backgroundIndex = static_cast<uint8_t>(rng.below(colours));
  for (int i = 0; i < shape.frames; ++i) {
    const int w = 1 + rng.below(shape.screenWidth), h = 1 + rng.below(shape.screenHeight);
    const int maxLeft = shape.pastTheEdges ? shape.screenWidth - 1 : shape.screenWidth - w;
    const int maxTop = shape.pastTheEdges ? shape.screenHeight - 1 : shape.screenHeight - h;
    ImagePtr f = CreateSizedImage(w, h);
    f->left = rng.below(maxLeft + 1);
    f->top = rng.below(maxTop + 1);
    f->delay = 1 + rng.below(50);
    int count = colours;
    if (shape.localPalettes && rng.chance(25)) {
      count = 2 + rng.below(255);
      SetLocalPalette(*f, RandomPalette(rng, count));
    } else {
      f->activePalette = doc->globalPalette.get();
    }
    SetDisposal(*f, i == 0 && shape.firstDisposal >= 0 ? shape.firstDisposal : rng.below(4));
    const bool transparent = rng.chance(60);
    f->transparentIndex = static_cast<uint8_t>(rng.below(count));
    SetIndexedImage(*f, AllocIndexedImage(w, h, f->activePalette));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        f->indexedImage->row(y)[x] =
            static_cast<uint8_t>(rng.chance(30) ? f->transparentIndex : rng.below(count));
    SetTransparency(*f, transparent);
    AppendBlock(*doc, std::move(f));
  }
  return doc;
}

inline std::vector<uint8_t> GifBytes(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  return sink.bytes;
}

}  // namespace fw::test
