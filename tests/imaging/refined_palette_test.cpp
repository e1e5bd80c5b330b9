// The refined palette builder: exact when the colours fit, closer than the octree when they
// do not, and usable wherever the median cut is (reduce colours keeps its transparency rules).
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "colour_test_util.h"
#include "imaging/ditherer.h"
#include "imaging/octree.h"
#include "imaging/reduce_colours.h"
#include "imaging/refined_palette.h"

namespace fw {
namespace {

struct Picture {
  int width, height;
  std::vector<uint8_t> rows;  // blue, green, red with four-byte strides
  const uint8_t* at(int x, int y) const { return rows.data() + size_t(y) * Stride24(width) + 3 * size_t(x); }
};

Picture NoisyGradient(int w, int h) {
  Picture p{w, h, std::vector<uint8_t>(Stride24(w) * size_t(h))};
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 6);
  auto clamp = [](double v) { return uint8_t(std::clamp(v, 0.0, 255.0)); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p.rows.data() + size_t(y) * Stride24(w) + 3 * size_t(x);
      px[2] = clamp(30 + 200.0 * y / h + noise(rng));
      px[1] = clamp(220 - 170.0 * x / w + noise(rng));
      px[0] = clamp(120 + 80 * std::sin(x * 0.05 + y * 0.03) + noise(rng));
    }
  return p;
}

template <typename Lookup>
double Psnr(const Picture& p, const Rgb* palette, Lookup lookup) {
  double sum = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* s = p.at(x, y);
      const Rgb c{s[2], s[1], s[0]};
      const Rgb m = palette[lookup(c)];
      const double dr = double(c.r) - m.r, dg = double(c.g) - m.g, db = double(c.b) - m.b;
      sum += dr * dr + dg * dg + db * db;
    }
  return 10 * std::log10(255.0 * 255.0 * 3 * p.width * p.height / sum);
}

TEST(RefinedPalette, FewColoursComeOutExactlyMostUsedFirst) {
  ColourHistogram h;
  for (int i = 0; i < 40; ++i) h.add(Rgb{uint8_t(i * 6), uint8_t(255 - i), uint8_t(i * i % 256)}, 1 + i);
  h.add(Rgb{0, 255, 0}, 3);  // again: the weights add up
  Rgb out[256];
  ASSERT_EQ(BuildRefinedPalette(h, 64, out), 40);
  EXPECT_EQ(out[0], (Rgb{234, 216, 241}));  // i = 39, weight 40
  EXPECT_EQ(out[1], (Rgb{228, 217, 164}));
  // Two exact colours and a target of one: their weighted mean.
  ColourHistogram two;
  two.add(Rgb{0, 0, 0}, 3);
  two.add(Rgb{100, 40, 8}, 1);
  ASSERT_EQ(BuildRefinedPalette(two, 1, out), 1);
  EXPECT_EQ(out[0], (Rgb{25, 10, 2}));
  EXPECT_EQ(BuildRefinedPalette(ColourHistogram{}, 16, out), 0);
}

TEST(RefinedPalette, PhotographsComeCloserThanWithTheOctree) {
  const Picture p = NoisyGradient(200, 150);
  for (int colours : {256, 64, 16}) {
    SCOPED_TRACE(colours);
    Octree tree(colours);
    tree.addTrueColour(p.width, p.height, p.rows.data(), Stride24(p.width));
    Rgb octreePalette[256];
    tree.makeEntries(colours, false, octreePalette);
    const double octree = Psnr(p, octreePalette, [&](Rgb c) { return tree.lookup(c); });

    ColourHistogram h;
    h.addTrueColour(p.width, p.height, p.rows.data(), Stride24(p.width));
    Rgb refined[256];
    const int n = BuildRefinedPalette(h, colours, refined);
    ASSERT_EQ(n, colours);
    NearestColourCache nearest(refined, n);
    EXPECT_GT(Psnr(p, refined, [&](Rgb c) { return nearest.lookup(c); }), octree + 1.0);
  }
}

TEST(RefinedPalette, MaskedPixelsAndRunsCountAsTheyShould) {
  // One row: a run of five red, one masked blue, two green.
  const uint8_t row[24] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0};
  const uint8_t mask[8] = {1, 1, 1, 1, 1, 0, 1, 1};
  ColourHistogram h;
  h.addTrueColour(8, 1, row, sizeof row, mask, sizeof mask);
  ASSERT_EQ(h.size(), 2u);
  for (const auto& e : h.entries()) EXPECT_EQ(e.weight, e.colour == (Rgb{255, 0, 0}) ? 5 : 2);
}

TEST(RefinedPalette, ReducePalettesKeepsTheTransparentSlotAndEveryPixelInRange) {
  test::ScopedMessages messages;
  for (bool dither : {false, true}) {
    AnimPtr doc = test::NewDocument(16, 16, 256);
    test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return x + 16 * y; });
    ImageBlock& f = *FirstImage(doc.get());
    test::MakeTransparent(f, 200);
    const auto before = test::FramePixels(f);
    ASSERT_TRUE(ReducePalettes(*doc, 16, dither, nullptr, nullptr, PaletteMethod::kRefined));
    const int count = doc->globalPalette->count();
    EXPECT_LE(count, 16);
    EXPECT_EQ(f.transparentIndex, count - 1);
    const auto after = test::FramePixels(f);
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(before[i] == 200, after[i] == count - 1) << i;
      EXPECT_LT(after[i], count);
    }
  }
  EXPECT_TRUE(messages.ids().empty());
}

// Dithering onto exact entries carries no error where a pixel's colour is in the palette, so
// a picture whose colours all fit comes out unchanged; the ordered offsets of the inverse map
// would move such pixels between entries closer together than its cells.
TEST(RefinedPalette, ExactDitheringKeepsColoursThePaletteHolds) {
  test::ScopedMessages messages;
  Rgb palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = Rgb{uint8_t(100 + i % 16), uint8_t(100 + i / 16), uint8_t(i % 3 * 2)};
  const int width = 37, height = 11;
  std::vector<uint8_t> rows(Stride24(width) * height);
  std::vector<int> wanted(size_t(width) * height);
  std::mt19937 rng(11);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int i = int(rng() % 256);
      wanted[size_t(y) * width + x] = i;
      uint8_t* px = rows.data() + size_t(y) * Stride24(width) + 3 * size_t(x);
      px[0] = palette[i].b;
      px[1] = palette[i].g;
      px[2] = palette[i].r;
    }
  std::vector<uint8_t> out(Stride8(width) * height);
  ASSERT_TRUE(PrepareExactDithering(palette, 256, width));
  ASSERT_TRUE(ConvertTrueColourRows(out.data(), Stride8(width), rows.data(), Stride24(width), nullptr, 0, width, height,
                                    true, 0));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) ASSERT_EQ(out[size_t(y) * Stride8(width) + x], wanted[size_t(y) * width + x]);
  // The next plain preparation goes back to the inverse map.
  ASSERT_TRUE(PrepareDithering(palette, 256, width));
  ASSERT_TRUE(ConvertTrueColourRows(out.data(), Stride8(width), rows.data(), Stride24(width), nullptr, 0, width, height,
                                    true, 0));
  int moved = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) moved += out[size_t(y) * Stride8(width) + x] != wanted[size_t(y) * width + x];
  EXPECT_GT(moved, 0);
  EXPECT_TRUE(messages.ids().empty());
}

}  // namespace
}  // namespace fw
