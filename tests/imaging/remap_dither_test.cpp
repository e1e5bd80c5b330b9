// Nearest colours, remap tables, the inverse colour map and the ditherer.
#include <gtest/gtest.h>

#include <random>

#include "colour_test_util.h"
#include "imaging/block_dither.h"
#include "imaging/ditherer.h"
#include "imaging/inverse_map.h"
#include "imaging/nearest.h"
#include "imaging/remap.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

using test::DocumentWith;
using test::MakePalette;
using test::MakeTransparent;

TEST(Nearest, TiesGoToTheLowerIndexAndExactMatchesAreFlagged) {
  const Rgb entries[] = {{10, 0, 0}, {0, 0, 0}, {20, 0, 0}, {10, 0, 0}};
  const NearestResult tie = NearestByDistance(entries, 4, {15, 0, 0});
  EXPECT_EQ(tie.index, 0);
  EXPECT_FALSE(tie.exact);
  const NearestResult exact = NearestByDistance(entries, 4, {10, 0, 0});
  EXPECT_EQ(exact.index, 0);
  EXPECT_TRUE(exact.exact);
  EXPECT_EQ(NearestByDistance(entries, 4, {5, 0, 0}).index, 0);  // 0 and 1 tie at 25
}

TEST(RemapTable, EntriesBeyondTheSourceHaveNoDestination) {
  auto source = MakePalette({{255, 0, 0}, {0, 0, 250}});
  auto dest = MakePalette({{0, 0, 255}, {250, 0, 0}, {1, 1, 1}});
  const RemapTable table = BuildRemapTable(source.get(), *dest);
  EXPECT_EQ(table[0], 1);
  EXPECT_EQ(table[1], 0);
  EXPECT_EQ(table[2], -1);
  EXPECT_EQ(BuildRemapTable(nullptr, *dest)[0], -1);
}

TEST(RemapTable, TransparencyFollowsTheTableOrSwitchesOff) {
  auto doc = DocumentWith({{0, 0, 0}, {255, 255, 255}, {9, 9, 9}});
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int) { return x; });
  MakeTransparent(f, 2);
  auto dest = MakePalette({{9, 9, 9}, {0, 0, 0}, {255, 255, 255}});
  RemapTable table = EmptyRemapTable();
  table[0] = 1;
  table[1] = 2;
  table[2] = 0;
  ApplyRemapTable(f, *dest, &table);
  EXPECT_EQ(test::FramePixels(f), (std::vector<uint8_t>{1, 2, 0, 1, 2, 0}));
  EXPECT_EQ(f.indexedImage->row(0)[3], 1);  // padding moves with the pixels
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 0);
  EXPECT_EQ(f.activePalette, dest.get());
  EXPECT_TRUE(test::ColourTableMatches(f));

  table[0] = -1;
  ApplyRemapTable(f, *dest, &table);
  EXPECT_FALSE(f.transparent());
}

TEST(RemapTable, TransparentPixelsGetAFreeSlotInsteadOfMergingWithAColour) {
  // Entry 2 (transparent) has the same colour as entry 0, so both would land on one entry.
  auto doc = DocumentWith({{255, 0, 0}, {0, 255, 0}, {255, 0, 0}});
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x; });
  MakeTransparent(f, 2);
  ImageBlock& opaque = test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x; });
  auto dest = MakePalette({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
  const RemapTable table = BuildRemapTable(doc->globalPalette.get(), *dest);
  ApplyRemapAvoidingCollisions(*doc, table, *dest, nullptr);
  EXPECT_EQ(test::FramePixels(f), (std::vector<uint8_t>{0, 1, 2}));
  EXPECT_EQ(f.transparentIndex, 2);
  EXPECT_EQ(test::FramePixels(opaque), (std::vector<uint8_t>{0, 1, 0}));  // only for the transparent frame

  // No free entry: the transparent index stays where the table sent it.
  auto doc2 = DocumentWith({{255, 0, 0}, {0, 255, 0}, {255, 0, 0}});
  ImageBlock& g = test::AddFrame(*doc2, 0, 0, 3, 1, [](int x, int) { return x; });
  MakeTransparent(g, 2);
  auto small = MakePalette({{255, 0, 0}, {0, 255, 0}});
  ApplyRemapAvoidingCollisions(*doc2, BuildRemapTable(doc2->globalPalette.get(), *small), *small, nullptr);
  EXPECT_EQ(g.transparentIndex, 0);
}

TEST(InverseMap, MatchesTheNearestEntryToEveryCellCentre) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3; ++round) {
    std::vector<Rgb> colours = test::RandomColours(rng, 40 + round * 100);
    colours.push_back(colours[3]);  // a duplicate never wins a cell
    InverseColourMap map;
    ASSERT_TRUE(map.prepare(colours.data(), int(colours.size())));
    for (int r = 0; r < 32; ++r)
      for (int g = 0; g < 32; ++g)
        for (int b = 0; b < 32; ++b) {
          const Rgb centre{uint8_t(r * 8 + 4), uint8_t(g * 8 + 4), uint8_t(b * 8 + 4)};
          ASSERT_EQ(map.at(size_t(r) * 1024 + size_t(g) * 32 + size_t(b)),
                    NearestByDistance(colours.data(), int(colours.size()), centre).index);
        }
  }
}

TEST(InverseMap, RepeatedRemapsOntoOnePaletteBuildItOnce) {
  test::ScopedMessages messages;
  auto dest = MakePalette({{0, 0, 0}, {128, 64, 0}, {255, 255, 255}, {0, 0, 200}});
  const int before = SharedInverseMap().builds();
  for (int i = 0; i < 3; ++i) {
    auto doc = DocumentWith({{10, 10, 10}, {250, 250, 250}, {120, 60, 10}});
    test::AddFrame(*doc, 0, 0, 8, 8, [](int x, int y) { return (x + y) % 3; });
    ASSERT_TRUE(DitherDocumentBlocks(*doc, *dest, -1, nullptr));
  }
  EXPECT_EQ(SharedInverseMap().builds(), before + 1);
  // One changed byte is a different palette.
  auto other = MakePalette({{0, 0, 0}, {128, 64, 1}, {255, 255, 255}, {0, 0, 200}});
  ASSERT_TRUE(PrepareDithering(*other, 8));
  EXPECT_EQ(SharedInverseMap().builds(), before + 2);
}

TEST(Ditherer, TransparentPixelsNeverShareTheirEntryWithOpaqueOnes) {
  test::ScopedMessages messages;
  // The transparent entry's colour is red, which opaque pixels also show: the nearest entry
  // to it is theirs, so the transparent pixels must move to an entry of their own.
  auto doc = DocumentWith({{255, 0, 0}, {0, 255, 0}, {255, 0, 0}});
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 6, 4, [](int x, int y) { return (x + y) % 3; });
  MakeTransparent(f, 2);
  const auto before = test::FramePixels(f);
  auto dest = MakePalette({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}});
  ASSERT_TRUE(DitherDocumentBlocks(*doc, *dest, -1, nullptr));
  const auto after = test::FramePixels(f);
  ASSERT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 2);
  for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(before[i] == 2, after[i] == f.transparentIndex) << i;
}

TEST(Ditherer, ExtremeChannelValuesStayInTheirEndCells) {
  for (int k = -1; k <= 6; ++k) {
    EXPECT_EQ(DitherCell(0, k), 0) << k;
    EXPECT_EQ(DitherCell(255, k), 31) << k;
  }
  EXPECT_EQ(DitherCell(7, 0), 1);
  EXPECT_EQ(DitherCell(7, -1), 0);
  EXPECT_EQ(DitherCell(30, 2), 3);  // (32 - 7) / 8
}

TEST(Ditherer, TransparentPixelsSpreadNoError) {
  test::ScopedMessages messages;
  const std::vector<Rgb> dest = {{0, 0, 0}, {255, 255, 255}, {96, 96, 96}};
  const std::vector<Rgb> source = {{77, 77, 77}, {160, 30, 200}};
  const int w = 13;
  ASSERT_TRUE(PrepareDithering(dest.data(), 3, w));
  // Four see-through rows of a colour that would spread large errors, then a grey row; the
  // grey row must come out as it does on its own (four rows keep the offset matrix aligned).
  std::vector<uint8_t> src(Stride8(w) * 5, 1), out(Stride8(w) * 5, 0);
  std::fill(src.begin() + 4 * Stride8(w), src.end(), 0);
  ASSERT_TRUE(DitherIndexedRows(out.data(), Stride8(w), src.data(), Stride8(w), source.data(), 2, w, 5, 1, 7));
  std::vector<uint8_t> alone(Stride8(w), 0), aloneOut(Stride8(w), 0);
  ASSERT_TRUE(DitherIndexedRows(aloneOut.data(), Stride8(w), alone.data(), Stride8(w), source.data(), 2, w, 1));
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(out[size_t(x)], 7);
    EXPECT_EQ(out[4 * Stride8(w) + size_t(x)], aloneOut[size_t(x)]) << x;
  }
}

TEST(Ditherer, AverageColourIsKeptOverAnArea) {
  test::ScopedMessages messages;
  const std::vector<Rgb> dest = {{0, 0, 0}, {255, 255, 255}};
  const int w = 64, h = 64;
  std::vector<uint8_t> rgb(Stride24(w) * h, 100), out(Stride8(w) * h);
  ASSERT_TRUE(PrepareDithering(dest.data(), 2, w));
  ASSERT_TRUE(ConvertTrueColourRows(out.data(), Stride8(w), rgb.data(), Stride24(w), nullptr, 0, w, h, true, 0));
  int white = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) white += out[size_t(y) * Stride8(w) + size_t(x)];
  EXPECT_NEAR(white / double(w * h), 100.0 / 255.0, 0.02);
}

TEST(TrueColour, MaskedPixelsTakeTheLastEntryAndNoOpaquePixelDoes) {
  test::ScopedMessages messages;
  auto doc = CreateAnimation();
  // The last entry is a black transparent slot: opaque black pixels would find it nearest.
  auto palette = MakePalette({{40, 40, 40}, {200, 0, 0}, {0, 0, 0}});
  for (bool dither : {false, true}) {
    ImageBlock& f =
        test::AddTrueColourFrame(*doc, 4, 2, [](int x, int) { return x < 2 ? Rgb{0, 0, 0} : Rgb{200, 0, 0}; });
    f.alpha.assign(Stride8(4) * 2, 255);
    f.alpha[1] = 0;
    ASSERT_TRUE(MapTrueColourBlock(f, *palette, dither));
    EXPECT_TRUE(f.transparent());
    EXPECT_EQ(f.transparentIndex, 2);
    const auto pixels = test::FramePixels(f);
    EXPECT_EQ(pixels[1], 2);
    for (size_t i = 0; i < pixels.size(); ++i) {
      if (i == 1) continue;
      EXPECT_NE(pixels[i], 2) << i;
    }
    EXPECT_FALSE(f.hasTrueColour());  // released unless the preference keeps it
    EXPECT_TRUE(test::ColourTableMatches(f));
  }
}

}  // namespace
}  // namespace fw
