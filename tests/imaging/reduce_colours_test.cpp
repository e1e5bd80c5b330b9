// The reduce-colours operation on whole documents.
#include <gtest/gtest.h>

#include <algorithm>

#include "colour_test_util.h"
#include "imaging/reduce_colours.h"

namespace fw {
namespace {

using test::MakeTransparent;

// 256 colours in 256 different histogram cells, every one used once by a 16 x 16 frame.
AnimPtr FullPaletteDocument() {
  AnimPtr doc = test::NewDocument(16, 16, 256);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return x + 16 * y; });
  return doc;
}

bool AllFramesShowTheirPalette(const AnimHeader& doc) {
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (!test::ColourTableMatches(*f)) return false;
  return true;
}

TEST(ReducePalettes, AppendsTheTransparentSlotAfterTheWorkingCount) {
  test::ScopedMessages messages;
  for (auto [target, expected] : {std::pair{100, 101}, std::pair{128, 128}, std::pair{8, 8}}) {
    AnimPtr doc = FullPaletteDocument();
    ASSERT_TRUE(ReducePalettes(*doc, target, false, nullptr, nullptr));
    ASSERT_EQ(doc->globalPalette->count(), expected) << target;
    EXPECT_EQ((*doc->globalPalette)[expected - 1], (Rgb{0, 0, 0}));
    const auto pixels = test::FramePixels(*FirstImage(doc.get()));
    EXPECT_LT(*std::max_element(pixels.begin(), pixels.end()), expected - 1);
    EXPECT_EQ(FirstImage(doc.get())->activePalette, doc->globalPalette.get());
    EXPECT_TRUE(AllFramesShowTheirPalette(*doc));
    int32_t usage[256];
    ComputeColourUsage(*doc, usage, true);
    EXPECT_TRUE(std::equal(usage, usage + 256, doc->colourUsage.begin()));
  }
  EXPECT_TRUE(messages.ids().empty());
}

TEST(ReducePalettes, TransparentFramesKeepTransparencyOnTheAppendedSlot) {
  test::ScopedMessages messages;
  for (bool dither : {false, true}) {
    AnimPtr doc = FullPaletteDocument();
    ImageBlock& f = *FirstImage(doc.get());
    MakeTransparent(f, 200);  // a bright entry: its colour must not matter
    const auto before = test::FramePixels(f);
    ASSERT_TRUE(ReducePalettes(*doc, 16, dither, nullptr, nullptr));
    const int count = doc->globalPalette->count();
    EXPECT_LE(count, 16);
    EXPECT_TRUE(f.transparent());
    EXPECT_EQ(f.transparentIndex, count - 1);
    const auto after = test::FramePixels(f);
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(before[i] == 200, after[i] == count - 1) << i;
    EXPECT_TRUE(AllFramesShowTheirPalette(*doc));
  }
}

TEST(ReducePalettes, MovesTheBackgroundToTheNearestNewEntry) {
  test::ScopedMessages messages;
  AnimPtr doc = test::DocumentWith({{0, 0, 0}, {4, 0, 0}, {252, 252, 252}, {248, 252, 252}});
  doc->backgroundIndex = 3;
  // The dark pair holds most pixels, so the cut falls between the pairs.
  const int indices[8] = {0, 0, 0, 1, 1, 1, 2, 3};
  test::AddFrame(*doc, 0, 0, 8, 1, [&](int x, int) { return indices[x]; });
  ASSERT_TRUE(ReducePalettes(*doc, 2, false, nullptr, nullptr));
  ASSERT_EQ(doc->globalPalette->count(), 3);  // two colours (2 is no power-of-two target) and the slot
  EXPECT_EQ((*doc->globalPalette)[1], (Rgb{250, 255, 255}));
  EXPECT_EQ(doc->backgroundIndex, 1);
}

TEST(ReducePalettes, LockedColoursSurviveInTheGlobalPalette) {
  test::ScopedMessages messages;
  AnimPtr doc = FullPaletteDocument();
  ColourLocks locks;
  locks.lock(77);
  const Rgb locked = (*doc->globalPalette)[77];
  ASSERT_TRUE(ReducePalettes(*doc, 16, false, &locks, nullptr));
  const Palette& p = *doc->globalPalette;
  EXPECT_LE(p.count(), 16);
  EXPECT_NE(std::find(p.data(), p.data() + p.count(), locked), p.data() + p.count());
  // The pixel that had the locked colour still shows it.
  const ImageBlock& f = *FirstImage(doc.get());
  EXPECT_EQ(p[f.indexedImage->row(77 / 16)[77 % 16]], locked);
}

TEST(ReducePalettes, LocalPalettesAreReducedOnlyWhenLargerAndPadded) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& small = test::AddFrame(*doc, 0, 0, 2, 2, [](int x, int) { return x; });
  test::GiveLocalPalette(small, test::MakePalette({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}));
  const Palette* smallPalette = small.localPalette.get();

  // Twenty entries, two in use: two colours result, then black and white fill up to four.
  std::vector<Rgb> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back({uint8_t(i * 12), 100, 100});
  ImageBlock& big = test::AddFrame(*doc, 0, 0, 2, 2, [](int x, int) { return x == 0 ? 4 : 8; });
  test::GiveLocalPalette(big, test::MakePalette(twenty));

  // The same with transparency: three colours, padded to three, and the slot.
  ImageBlock& clear = test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x; });
  test::GiveLocalPalette(clear, test::MakePalette(twenty));
  MakeTransparent(clear, 2);

  ASSERT_TRUE(ReducePalettes(*doc, 4, false, nullptr, nullptr));
  EXPECT_EQ(small.localPalette.get(), smallPalette);
  ASSERT_EQ(big.localPalette->count(), 4);
  EXPECT_EQ((*big.localPalette)[2], (Rgb{0, 0, 0}));
  EXPECT_EQ((*big.localPalette)[3], (Rgb{255, 255, 255}));
  EXPECT_EQ((*big.localPalette)[test::FramePixels(big)[0]], (Rgb{48, 101, 101}));  // cell means, 6-bit

  ASSERT_EQ(clear.localPalette->count(), 4);
  EXPECT_EQ((*clear.localPalette)[2], (Rgb{0, 0, 0}));  // padding black
  EXPECT_EQ(clear.transparentIndex, 3);
  EXPECT_EQ(test::FramePixels(clear)[2], 3);
  EXPECT_TRUE(AllFramesShowTheirPalette(*doc));
}

}  // namespace
}  // namespace fw
