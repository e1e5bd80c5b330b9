// The optimizer's steps where they can go wrong: frame removal, the screen model around
// local palettes and restores, clipping, substitution, the palette steps, stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "colour_test_util.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif/lzw_encoder.h"
#include "imaging/optimize.h"
#include "imaging/optimize_backup.h"
#include "imaging/optimize_lzw.h"
#include "imaging/optimize_palette.h"
#include "imaging/optimize_screen.h"
#include "imaging/optimize_shown.h"
#include "imaging/optimize_transparency.h"

namespace fw {
namespace {

using namespace optimize_bit;
using test::GiveLocalPalette;
using test::MakeTransparent;

ImageBlock& Rect(AnimHeader& doc, int x, int y, int w, int h, int index, int delay = 10) {
  ImageBlock& f = test::AddFrame(doc, x, y, w, h, [=](int, int) { return index; });
  f.delay = delay;
  return f;
}
ImageBlock& Full(AnimHeader& doc, int index, int delay = 10) {
  return Rect(doc, 0, 0, doc.screenWidth, doc.screenHeight, index, delay);
}

// Optimizes a copy, which must show the same at every moment.
AnimPtr OptimizedCopy(const AnimHeader& doc, uint32_t options) {
  AnimPtr copy = CopyAnimation(doc, nullptr);
  Optimize(*copy, options, nullptr);
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(doc), test::ComposeTimeline(*copy)), "") << options;
  return copy;
}

std::unique_ptr<Palette> Colours(std::initializer_list<Rgb> list) { return Palette::Create(list.begin(), int(list.size())); }

class OptimizeTest : public ::testing::Test {
 protected:
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(OptimizeTest, UnchangedImagesBecomeOnePixelOrFoldIntoAPreviousImageThatStays) {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  Full(*doc, 3, 10);
  Rect(*doc, 2, 1, 5, 4, 3, 20);
  AnimPtr kept = OptimizedCopy(*doc, kCrop);
  const ImageBlock& dot = *ImageAt(kept.get(), 1);
  EXPECT_TRUE(dot.width == 1 && dot.height == 1 && dot.left == 2 && dot.top == 1);
  AnimPtr folded = OptimizedCopy(*doc, kCrop | kRemoveFrames);
  ASSERT_EQ(folded->frameCount, 1);
  EXPECT_EQ(FirstImage(folded.get())->delay, 30);

  // Not after a restore (the picture in between differs), not when the sum outgrows a delay.
  for (int disposal : {kDisposalBackground, kDisposalPrevious}) {
    AnimPtr restoring = test::NewDocument(8, 6, 16);
    Full(*restoring, 3);
    SetDisposal(Rect(*restoring, 1, 1, 3, 3, 7), disposal);
    Rect(*restoring, 6, 4, 2, 2, 3);
    EXPECT_EQ(OptimizedCopy(*restoring, kDefault)->frameCount, 3) << disposal;
  }
  AnimPtr slow = test::NewDocument(8, 6, 16);
  Full(*slow, 3, 60000);
  Full(*slow, 3, 10000);
  EXPECT_EQ(OptimizedCopy(*slow, kDefault)->frameCount, 2);
}

TEST_F(OptimizeTest, FirstImageIsCroppedOnlyWhenTransparent) {
  AnimPtr doc = test::NewDocument(10, 8, 16);
  test::AddFrame(*doc, 0, 0, 10, 8, [](int x, int y) { return x > 2 && x < 6 && y == 4 ? 9 : 1; });
  EXPECT_EQ(FirstImage(OptimizedCopy(*doc, kDefault).get())->width, 10);
  MakeTransparent(*FirstImage(doc.get()), 1);
  AnimPtr optimized = OptimizedCopy(*doc, kCrop);
  const ImageBlock& f = *FirstImage(optimized.get());
  EXPECT_TRUE(f.left == 3 && f.top == 4 && f.width == 3 && f.height == 1);
}

TEST_F(OptimizeTest, WhatALocalPaletteImageDrewIsNeverTakenForTheOlderScreen) {
  // An image repeating the older picture over it must still draw.
  AnimPtr doc = test::NewDocument(12, 10, 16);
  Full(*doc, 2);
  GiveLocalPalette(Rect(*doc, 2, 2, 6, 5, 2), Colours({{9, 9, 9}, {200, 0, 0}, {0, 1, 2}}));
  Full(*doc, 2);
  AnimPtr out = OptimizedCopy(*doc, kCrop | kTransparency | kRemoveFrames);
  ASSERT_EQ(out->frameCount, 3);
  EXPECT_EQ(ImageAt(out.get(), 1)->width, 6);
  EXPECT_TRUE(ImageAt(out.get(), 2)->left == 2 && ImageAt(out.get(), 2)->width == 6);

  // A restore to background after it must keep reaching over it, though its pixels there
  // are transparent.
  AnimPtr wiped = test::NewDocument(12, 10, 16);
  Rect(*wiped, 6, 0, 6, 10, 3);
  GiveLocalPalette(Rect(*wiped, 0, 0, 4, 10, 1), Colours({{9, 9, 9}, {200, 0, 0}}));
  ImageBlock& wipe = test::AddFrame(*wiped, 0, 0, 12, 10, [](int x, int) { return x == 9 ? 6 : 0; });
  MakeTransparent(wipe, 0);
  SetDisposal(wipe, kDisposalBackground);
  Rect(*wiped, 5, 5, 1, 1, 7);
  EXPECT_EQ(ImageAt(OptimizedCopy(*wiped, kDefault & ~kRemoveLocalPalettes).get(), 2)->left, 0);
}

TEST_F(OptimizeTest, ClippingAndBlockRemovalWorkWithEveryOptionOff) {
  AnimPtr doc = test::NewDocument(10, 8, 16);
  doc->playCount = 3;
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kApplication));
  Full(*doc, 3);
  auto comment = CreateExtensionBlock(block_kind::kComment);
  SetCommentText(*comment, "stays");
  AppendBlock(*doc, std::move(comment));
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kPlainText));
  test::AddFrame(*doc, -3, 5, 8, 6, [](int x, int y) { return (x + y) % 5 + 4; });
  // Wholly off screen and restoring the background: it must not wipe a pixel it never covered.
  SetDisposal(Rect(*doc, 40, 40, 4, 4, 9), kDisposalBackground);
  Rect(*doc, 5, 5, 2, 2, 8);

  AnimPtr out = OptimizedCopy(*doc, 0);
  std::vector<uint8_t> kinds;
  for (GifBlock* b = out->blockList->next; b; b = b->next) kinds.push_back(b->kind);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), block_kind::kComment), 1);
  EXPECT_EQ(kinds.size(), 5u);
  EXPECT_EQ(out->playCount, 3);
  for (const ImageBlock* f = FirstImage(out.get()); f; f = NextImage(f))
    EXPECT_TRUE(f->left >= 0 && f->top >= 0 && f->left + f->width <= 10 && f->top + f->height <= 8);
  EXPECT_FALSE(Optimize(*out, 0, nullptr));
}

// Half the rounds share one history of winners, so that some of them leave candidates out, and
// may leave out the image as it came too once a candidate is smaller than it was.
TEST_F(OptimizeTest, SubstitutionNeverGrowsAnImageAndKeepsEveryChangedPixel) {
  std::mt19937 rng(5);
  CandidateHistory history;
  for (int round = 0; round < 120; ++round) {
    const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 12), colours = 2 + int(rng() % 60);
    AnimPtr doc = test::NewDocument(w, h, colours);
    const int runs = 1 + int(rng() % 6);  // long runs make the candidates worth it, noise does not
    ImageBlock& f = test::AddFrame(*doc, 0, 0, w, h, [&](int x, int) { return int((x / runs) * 7 + rng() % 2) % colours; });
    // Now and then a transparent index beyond the palette, which widens the code size.
    if (round % 3 == 0) MakeTransparent(f, round % 9 == 0 ? colours + int(rng() % 8) : int(rng() % colours));
    std::vector<uint8_t> changed(Stride8(w) * h);
    for (uint8_t& c : changed) c = rng() % 3 == 0;
    const std::vector<uint8_t> before = test::FramePixels(f);
    const bool wasTransparent = f.transparent();
    const int key = f.transparentIndex;
    const int64_t sizeBefore = FrameEncodedSize(f);
    // Every other round, what the screen shows under transparent pixels is known (elsewhere a
    // pixel shows its own index): those may take back that colour.
    std::vector<uint8_t> shown;
    if (round % 2) {
      shown.assign(f.indexedImage->pixels.begin(), f.indexedImage->pixels.end());
      for (uint8_t& s : shown)
        if (wasTransparent && s == key && rng() % 4) s = static_cast<uint8_t>(rng() % colours);
    }

    int64_t size = 0;
    ShownUnder shownUnder;
    if (!shown.empty()) shownUnder = [&](int) { return shown; };
    const bool remembering = round % 4 < 2;
    if (!SubstituteTransparency(f, changed.data(), Stride8(w), &size, shownUnder, remembering ? &history : nullptr,
                                remembering ? sizeBefore : 0)) {
      EXPECT_EQ(test::FramePixels(f), before);
      EXPECT_EQ(f.transparent(), wasTransparent);
      continue;
    }
    EXPECT_LT(FrameEncodedSize(f), sizeBefore);
    EXPECT_EQ(size, FrameEncodedSize(f)) << round;
    ASSERT_TRUE(f.transparent());
    const std::vector<uint8_t> after = test::FramePixels(f);
    for (size_t i = 0; i < after.size(); ++i) {
      const bool kept = changed[i / w * Stride8(w) + i % w];
      const bool tookShown = !shown.empty() && wasTransparent && before[i] == key &&
                             after[i] == shown[i / w * Stride8(w) + i % w];
      if (kept)
        ASSERT_TRUE(after[i] == before[i] && (wasTransparent || after[i] != f.transparentIndex)) << round;
      else
        ASSERT_TRUE(after[i] == before[i] || after[i] == f.transparentIndex || tookShown) << round;
    }
  }
}

// Noise with a few unchanged pixels at its start: making them transparent saves a few bytes.
// With a history that is not worth it (so the candidate stops being measured on every image).
TEST_F(OptimizeTest, WithAHistoryACandidateThatSavesNextToNothingLeavesTheImageAsItCame) {
  std::mt19937 rng(7);
  AnimPtr doc = test::NewDocument(160, 100, 128);
  std::vector<uint8_t> noise(160 * 100);
  for (uint8_t& v : noise) v = static_cast<uint8_t>(rng() % 64);
  const ImageBlock& f = test::AddFrame(*doc, 0, 0, 160, 100, [&](int x, int y) { return noise[size_t(y * 160 + x)]; });
  const int64_t size = FrameEncodedSize(f);
  const size_t stride = Stride8(160);
  for (int unchanged = 8; unchanged < 400; unchanged += 8) {
    std::vector<uint8_t> changed(stride * 100, 1);
    for (int i = 0; i < unchanged; ++i) changed[size_t(i / 160) * stride + size_t(i % 160)] = 0;
    AnimPtr without = CopyAnimation(*doc, nullptr);
    int64_t after = 0;
    if (!SubstituteTransparency(*FirstImage(without.get()), changed.data(), stride, &after)) continue;
    if ((size - after) * 512 >= size) continue;
    CandidateHistory history;
    AnimPtr with = CopyAnimation(*doc, nullptr);
    EXPECT_FALSE(SubstituteTransparency(*FirstImage(with.get()), changed.data(), stride, &after, {}, &history, size));
    EXPECT_EQ(after, size);
    EXPECT_EQ(test::FramePixels(*FirstImage(with.get())), test::FramePixels(f));
    return;
  }
  FAIL() << "no substitution saved less than 1/512 of the image";
}

// A candidate that never wins is still measured on the first images and on every eighth; one
// that won is measured on each of the eight images after.
TEST_F(OptimizeTest, CandidatesThatStopWinningAreMeasuredAgainNowAndThen) {
  CandidateHistory history;
  std::vector<int> measured;
  for (int image = 0; image < 40; ++image) {
    if (history.worthMeasuring(CandidateHistory::kShownColours)) measured.push_back(image);
    history.record(image == 16 ? CandidateHistory::kShownColours : -1);
  }
  EXPECT_EQ(measured, (std::vector<int>{0, 1, 2, 3, 8, 16, 17, 18, 19, 20, 21, 22, 23, 24, 32}));
}

// The screen tells changes by colour: an index holding a colour listed earlier changes nothing,
// and neither does the same colour drawn from another palette, before or after it, in rows
// long enough for sixteen pixels at a time and a tail.
TEST_F(OptimizeTest, TheScreenComparesColoursWhateverPaletteDrewThem) {
  const int width = 37;
  AnimPtr doc = test::NewDocument(width, 2, 4);
  SetGlobalPalette(*doc, test::MakePalette({{10, 0, 0}, {0, 20, 0}, {0, 0, 30}, {0, 20, 0}}));
  const auto base = [](int x, int y) { return (x * 5 + y) % 3; };
  const auto moved = [](int x, int y) { return x == 20 && y == 1; };
  // Colour 1 again through index 3, and one pixel really changed.
  ImageBlock& first = test::AddFrame(*doc, 0, 0, width, 2, base);
  ImageBlock& same = test::AddFrame(*doc, 0, 0, width, 2, [&](int x, int y) {
    return moved(x, y) ? (base(x, y) + 1) % 3 : base(x, y) == 1 ? 3 : base(x, y);
  });
  // The same picture through a palette of its own that lists the colours in another order.
  const int reordered[] = {2, 0, 1};
  ImageBlock& own = test::AddFrame(*doc, 0, 0, width, 2, [&](int x, int y) {
    return reordered[moved(x, y) ? (base(x, y) + 1) % 3 : base(x, y)];
  });
  SetLocalPalette(own, test::MakePalette({{0, 20, 0}, {0, 0, 30}, {10, 0, 0}, {0, 0, 0}}));
  ImageBlock& back = test::AddFrame(*doc, 0, 0, width, 2, base);
  OptimizeScreen screen;
  ASSERT_TRUE(screen.allocate(width, 2));
  EXPECT_EQ(screen.compare(first).changedCount, width * 2);
  const OptimizeScreen::Scan one = screen.compare(same);
  EXPECT_EQ(one.changedCount, 1);
  EXPECT_EQ(std::make_pair(one.left, one.top), std::make_pair(20, 1));
  EXPECT_EQ(screen.compare(own).changedCount, 0);
  const OptimizeScreen::Scan undone = screen.compare(back);
  EXPECT_EQ(undone.changedCount, 1);
  EXPECT_EQ(std::make_pair(undone.right, undone.bottom), std::make_pair(21, 2));
}

// Under a transparent pixel that changes nothing the screen's colour is named by the first
// index holding it, never by the transparent index itself; kept pixels, colours only the
// transparent index holds and pixels not holding the fill index stay as they are.
TEST_F(OptimizeTest, ShownIndexesNameTheScreenColourUnderUnchangedPixels) {
  AnimPtr doc = test::NewDocument(5, 1, 4);
  SetGlobalPalette(*doc, test::MakePalette({{10, 0, 0}, {0, 20, 0}, {0, 0, 30}, {0, 20, 0}}));
  ImageBlock& first = test::AddFrame(*doc, 0, 0, 5, 1, [](int x, int) { return std::vector<int>{0, 3, 2, 1, 2}[x]; });
  ImageBlock& second = test::AddFrame(*doc, 0, 0, 5, 1, [](int x, int) { return std::vector<int>{2, 2, 0, 2, 2}[x]; });
  MakeTransparent(second, 2);
  OptimizeScreen screen;
  ASSERT_TRUE(screen.allocate(5, 1));
  screen.compare(first);
  screen.compare(second);
  const std::vector<uint8_t> shown = ShownIndexes(screen, second, screen.changed(), screen.changedStride(), 2);
  EXPECT_EQ(std::vector<uint8_t>(shown.begin(), shown.begin() + 5), (std::vector<uint8_t>{0, 1, 0, 1, 2}));
  // Only pixels holding the fill index are looked up: a substitution uses no other.
  const std::vector<uint8_t> underZero = ShownIndexes(screen, second, screen.changed(), screen.changedStride(), 0);
  EXPECT_EQ(std::vector<uint8_t>(underZero.begin(), underZero.begin() + 5), (std::vector<uint8_t>{2, 2, 0, 2, 2}));

  // Rows long enough to be taken sixteen pixels at a time, with a tail. Drawn over pixels of the
  // same palette, and over the same colours drawn with a palette of their own, in another order.
  const int width = 37;
  const auto under = [](int x, int y) { return (x * 7 + y * 3) % 4; };
  const auto over = [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 2; };
  for (const bool ownPalette : {false, true}) {
    SCOPED_TRACE(ownPalette ? "palette of its own beneath" : "one palette");
    AnimPtr wide = test::NewDocument(width, 2, 4);
    SetGlobalPalette(*wide, test::MakePalette({{10, 0, 0}, {0, 20, 0}, {0, 0, 30}, {0, 20, 0}}));
    const int reordered[] = {1, 0, 3, 2};
    ImageBlock& bottom = test::AddFrame(*wide, 0, 0, width, 2, [&](int x, int y) {
      return ownPalette ? reordered[under(x, y)] : under(x, y);
    });
    if (ownPalette) SetLocalPalette(bottom, test::MakePalette({{0, 20, 0}, {10, 0, 0}, {0, 20, 0}, {0, 0, 30}}));
    ImageBlock& top = test::AddFrame(*wide, 0, 0, width, 2, over);
    MakeTransparent(top, 2);
    OptimizeScreen wideScreen;
    ASSERT_TRUE(wideScreen.allocate(width, 2));
    wideScreen.compare(bottom);
    wideScreen.compare(top);
    const std::vector<uint8_t> wideShown =
        ShownIndexes(wideScreen, top, wideScreen.changed(), wideScreen.changedStride(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < width; ++x) {
        const int named[] = {0, 1, 2, 1};  // colour 3 is first held by 1; only the fill holds 2's
        EXPECT_EQ(wideShown[static_cast<size_t>(y) * Stride8(width) + static_cast<size_t>(x)],
                  over(x, y) == 2 ? named[under(x, y)] : over(x, y))
            << x << "," << y;
      }
  }
}

TEST_F(OptimizeTest, RepeatedPixelsTurnTransparentWhenAnIndexIsFree) {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return (x * 3 + y * 5) % 11; });
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return x == y || x == 39 - y ? 12 : (x * 3 + y * 5) % 11; });
  AnimPtr optimized = OptimizedCopy(*doc, kCrop | kTransparency);
  const ImageBlock& f = *ImageAt(optimized.get(), 1);
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 15);  // the highest index no kept pixel uses

  AnimPtr full = test::NewDocument(8, 3, 4);
  test::AddFrame(*full, 0, 0, 8, 3, [](int x, int) { return x % 4; });
  test::AddFrame(*full, 0, 0, 8, 3, [](int x, int y) { return y != 1 ? (x + 1) % 4 : x % 4; });
  EXPECT_FALSE(ImageAt(OptimizedCopy(*full, kCrop | kTransparency).get(), 1)->transparent());
}

TEST_F(OptimizeTest, ShrinkingKeepsUsedEntriesInOrderOnlyWhereTheTableGetsSmaller) {
  AnimPtr doc = test::NewDocument(6, 4, 16);
  const std::unique_ptr<Palette> old = doc->globalPalette->copy();
  test::AddFrame(*doc, 0, 0, 6, 4, [](int x, int) { return x < 2 ? 9 : x < 4 ? 2 : 5; });
  MakeTransparent(test::AddFrame(*doc, 0, 0, 6, 4, [](int x, int y) { return x == y ? 2 : 12; }), 12);
  AnimPtr out = OptimizedCopy(*doc, kShrinkPalettes);
  ASSERT_EQ(out->globalPalette->count(), 4);
  const int kept[] = {2, 5, 9, 12};
  for (int i = 0; i < 4; ++i) EXPECT_EQ((*out->globalPalette)[i], (*old)[kept[i]]);
  EXPECT_EQ(ImageAt(out.get(), 1)->transparentIndex, 3);
  // The stored colour usage follows the pixels to their new indexes.
  std::array<int32_t, 256> counted{};
  ComputeColourUsage(*out, counted.data(), true);
  EXPECT_TRUE(std::equal(counted.begin(), counted.end(), out->colourUsage.data()));
  EXPECT_EQ(counted[0], 8 + 4);  // index 2: a third of the first image, the diagonal of the second

  AnimPtr all = test::NewDocument(4, 4, 4);
  test::AddFrame(*all, 0, 0, 4, 4, [](int x, int) { return x; });
  EXPECT_FALSE(Optimize(*all, kShrinkPalettes, nullptr));
  AnimPtr nine = test::NewDocument(9, 1, 16);  // nine of sixteen: sixteen entries either way
  test::AddFrame(*nine, 0, 0, 9, 1, [](int x, int) { return x; });
  EXPECT_FALSE(Optimize(*nine, kShrinkPalettes, nullptr));
}

// With narrow code sizes the global palette's entries go in the order of how many images use
// them, where that lets images start from narrower codes: here the two colours every small
// image draws with sit at 200 and 201 of 256, so each image needs 8-bit codes until they move
// to the front. An order that already serves is left alone.
TEST_F(OptimizeTest, NarrowCodesOrderTheGlobalPaletteByTheImagesUsingEachEntry) {
  AnimPtr doc = test::NewDocument(64, 64, 256);
  test::AddFrame(*doc, 0, 0, 64, 64, [](int x, int y) { return (x * 64 + y) % 256; });
  for (int i = 0; i < 6; ++i)
    test::AddFrame(*doc, i * 8, i * 8, 8, 8, [i](int x, int y) { return (x + y + i) % 3 ? 200 : 201; });
  const std::unique_ptr<Palette> old = doc->globalPalette->copy();
  const uint32_t options = kShrinkPalettes | kKeepFullLzwTables;
  AnimPtr out = OptimizedCopy(*doc, options);
  EXPECT_EQ((*out->globalPalette)[0], (*old)[200]);
  EXPECT_EQ((*out->globalPalette)[1], (*old)[201]);
  for (const ImageBlock* f = NextImage(FirstImage(out.get())); f; f = NextImage(f)) EXPECT_EQ(FrameMinCodeSize(*f), 2);
  std::array<int32_t, 256> counted{};
  ComputeColourUsage(*out, counted.data(), true);
  EXPECT_TRUE(std::equal(counted.begin(), counted.end(), out->colourUsage.data()));
  EXPECT_LT(EncodedSize(out.get(), true, nullptr), EncodedSize(doc.get(), true, nullptr));

  // The small images' colours first already: the palette stays as it is.
  AnimPtr ordered = test::NewDocument(64, 64, 256);
  test::AddFrame(*ordered, 0, 0, 64, 64, [](int x, int y) { return (x * 64 + y) % 256; });
  for (int i = 0; i < 6; ++i) test::AddFrame(*ordered, i * 8, i * 8, 8, 8, [i](int x, int y) { return (x + y + i) % 3 ? 0 : 1; });
  AnimPtr same = OptimizedCopy(*ordered, options);
  for (int i = 0; i < 256; ++i) EXPECT_EQ((*same->globalPalette)[i], (*ordered->globalPalette)[i]) << i;
}

// Counting images would rank the small image's four colours behind the sixty the others share,
// so that it starts from 6 bits; placing the colours of the images with fewest first gives it 2
// and the others still 6.
TEST_F(OptimizeTest, NarrowCodesPutTheColoursOfImagesWithFewestFirstWhereThatCodesNarrower) {
  AnimPtr doc = test::NewDocument(64, 64, 256);
  test::AddFrame(*doc, 0, 0, 64, 64, [](int x, int y) { return (x * 64 + y) % 256; });
  for (int i = 0; i < 20; ++i)
    test::AddFrame(*doc, i, i, 16, 16, [i](int x, int y) { return (x + 16 * y + i) % 60; });
  test::AddFrame(*doc, 0, 0, 32, 32, [](int x, int y) { return 100 + (x + y) % 4; });
  const std::unique_ptr<Palette> old = doc->globalPalette->copy();
  AnimPtr out = OptimizedCopy(*doc, kShrinkPalettes | kKeepFullLzwTables);
  for (int i = 0; i < 4; ++i) EXPECT_EQ((*out->globalPalette)[i], (*old)[100 + i]) << i;
  EXPECT_EQ(FrameMinCodeSize(*ImageAt(out.get(), 21)), 2);
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(FrameMinCodeSize(*ImageAt(out.get(), i)), 6) << i;
  EXPECT_LT(EncodedSize(out.get(), true, nullptr), EncodedSize(doc.get(), true, nullptr));
}

TEST_F(OptimizeTest, LocalPalettesFoldExactlyOrStayUnlessTheOptionsAllowApproximating) {
  // A global palette with one entry to spare: the first local palette's colours are all
  // there; the second repeats its transparent colour and needs every global entry, so none
  // would be left to stand for "transparent"; the third brings two new colours.
  std::vector<Rgb> global(255);
  for (int i = 0; i < 255; ++i) global[i] = {uint8_t(i), uint8_t(i), 0};
  AnimPtr doc = test::DocumentWith(global, 16, 16);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return (y * 16 + x + 1) % 255; });
  GiveLocalPalette(test::AddFrame(*doc, 0, 0, 4, 4, [](int x, int) { return x % 2; }), Colours({{7, 7, 0}, {200, 200, 0}}));
  std::vector<Rgb> local = global;
  local.push_back(global[7]);
  ImageBlock& shared = test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return y * 16 + x; });
  GiveLocalPalette(shared, test::MakePalette(local));
  MakeTransparent(shared, 255);
  GiveLocalPalette(test::AddFrame(*doc, 4, 4, 4, 4, [](int x, int) { return x % 2; }), Colours({{1, 2, 3}, {4, 5, 6}}));
  EXPECT_FALSE(LocalPalettesFoldExactly(*doc));

  for (uint32_t options : {kRemoveLocalPalettes, kDefault & ~kAdaptiveGlobal}) {
    AnimPtr exact = OptimizedCopy(*doc, options);
    EXPECT_FALSE(ImageAt(exact.get(), 1)->localPalette);
    EXPECT_TRUE(ImageAt(exact.get(), 2)->localPalette);
    EXPECT_TRUE(ImageAt(exact.get(), 3)->localPalette);
  }
  for (uint32_t options : {kRemoveLocalPalettes | kMapIntoGlobal, kDefault}) {
    AnimPtr mapped = CopyAnimation(*doc, nullptr);
    Optimize(*mapped, options, nullptr);
    for (const ImageBlock* f = FirstImage(mapped.get()); f; f = NextImage(f)) EXPECT_FALSE(f->localPalette);
    EXPECT_EQ(test::ComposeTimeline(*mapped).totalTime(), test::ComposeTimeline(*doc).totalTime());
  }

  // Colours one step apart would share a leaf of the adaptive palette builder; they fit one
  // palette, so the default options keep them exact.
  AnimPtr close = test::DocumentWith({{10, 10, 10}, {11, 10, 10}}, 8, 4);
  test::AddFrame(*close, 0, 0, 8, 4, [](int x, int) { return x % 2; });
  GiveLocalPalette(test::AddFrame(*close, 0, 0, 8, 4, [](int x, int y) { return (x + y) % 3; }),
                   Colours({{12, 10, 10}, {10, 11, 10}, {10, 10, 11}}));
  EXPECT_FALSE(ImageAt(OptimizedCopy(*close, kDefault).get(), 1)->localPalette);
}

TEST_F(OptimizeTest, AStopEndsTheRunAfterTheCurrentImageAndMissingMemoryLeavesImagesAlone) {
  struct StopAt : ProgressHook {
    int steps = 0;
    void showWindow() override {}
    void setRange(int) override {}
    void setPosition(int) override {}
    void setText(const std::string&) override {}
    void pumpEvents() override {
      if (++steps == 2) RequestProgressStop();
    }
    void closeWindow() override {}
  } hook;
  AnimPtr doc = test::NewDocument(10, 8, 16);
  for (int i = 0; i < 6; ++i) test::AddFrame(*doc, 0, 0, 10, 8, [i](int x, int y) { return x == i && y == i ? 9 : 1; });
  AnimPtr copy = CopyAnimation(*doc, nullptr);
  std::unique_ptr<Progress> progress = CreateProgress(&hook, 0);
  EXPECT_TRUE(Optimize(*copy, kCrop, progress.get()));
  CloseProgress(progress.get());
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*doc), test::ComposeTimeline(*copy)), "");
  EXPECT_EQ(ImageAt(copy.get(), 1)->width, 2);   // done before the stop
  EXPECT_EQ(ImageAt(copy.get(), 2)->width, 10);  // untouched after it

  const size_t limit = MaxPlaneBytes();
  SetMaxPlaneBytes(64);
  EXPECT_TRUE(Optimize(*doc, kDefault, nullptr));  // the palette shrinks all the same
  SetMaxPlaneBytes(limit);
  EXPECT_EQ(messages_.ids(), std::vector<int>{optimize_msg::kNoScreenPlanes});
  EXPECT_EQ(ImageAt(doc.get(), 1)->width, 10);
}

// A global palette of 256 greys drawn by a first frame, then frames with local palettes of
// `colours` new colours each (more than the global palette has room for when there are two).
AnimPtr GreysThenLocalPalettes(int frames, int colours) {
  std::vector<Rgb> greys(256);
  for (int i = 0; i < 256; ++i) greys[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  AnimPtr doc = test::DocumentWith(greys, 16, 16);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return y * 16 + x; });
  for (int k = 0; k < frames; ++k) {
    std::vector<Rgb> own(static_cast<size_t>(colours));
    for (int i = 0; i < colours; ++i) own[size_t(i)] = {uint8_t(i), uint8_t(40 + k * 100), uint8_t(255 - i)};
    GiveLocalPalette(test::AddFrame(*doc, 0, 0, 16, 16, [=](int x, int y) { return (y * 16 + x + k) % colours; }),
                     test::MakePalette(own));
  }
  return doc;
}

TEST_F(OptimizeTest, RestoresTheNextFramePaintsOverBecomeLeaveSoFullFramesCrop) {
  // Full frames each restoring the background: only a small square moves.
  AnimPtr doc = test::NewDocument(40, 30, 16);
  for (int i = 0; i < 6; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 40, 30, [i](int x, int y) {
      return x >= 4 + i * 5 && x < 8 + i * 5 && y >= 10 && y < 14 ? 9 : (x / 8 + y / 6) % 4;
    });
    SetDisposal(f, kDisposalBackground);
  }
  AnimPtr optimized = OptimizedCopy(*doc, kCrop | kTransparency);
  for (const ImageBlock* f = NextImage(FirstImage(optimized.get())); f; f = NextImage(f)) {
    EXPECT_LE(f->width, 10);
    EXPECT_EQ(f->disposal(), kDisposalLeave);
  }
  // The last one too: the first frame covers it when the animation starts again.
  EXPECT_EQ(ImageAt(optimized.get(), 5)->disposal(), kDisposalLeave);

  // A hole in the next frame shows what the restore left, and a next frame that restores the
  // previous picture brings the restored screen back: those restores stay.
  AnimPtr guarded = test::NewDocument(12, 8, 16);
  SetDisposal(Full(*guarded, 2), kDisposalBackground);
  ImageBlock& holed = Full(*guarded, 3);
  holed.indexedImage->row(4)[5] = 0;
  MakeTransparent(holed, 0);
  SetDisposal(holed, kDisposalBackground);
  SetDisposal(Full(*guarded, 4), kDisposalPrevious);
  Full(*guarded, 5);
  AnimPtr kept = OptimizedCopy(*guarded, kCrop);
  EXPECT_EQ(ImageAt(kept.get(), 0)->disposal(), kDisposalBackground);
  EXPECT_EQ(ImageAt(kept.get(), 1)->disposal(), kDisposalBackground);

  // A restore that draws nothing over the background changes nothing either way.
  AnimPtr blank = test::NewDocument(12, 8, 16);
  Rect(*blank, 0, 0, 4, 4, 2);
  ImageBlock& clear = Rect(*blank, 6, 1, 4, 4, 0);
  MakeTransparent(clear, 0);
  SetDisposal(clear, kDisposalBackground);
  Rect(*blank, 0, 0, 2, 2, 7);
  EXPECT_EQ(ImageAt(OptimizedCopy(*blank, kCrop).get(), 1)->disposal(), kDisposalLeave);
}

TEST_F(OptimizeTest, AResultThatWouldGrowKeepsTheInput) {
  // A noisy frame on a two-colour local palette whose colours the 256-entry global palette
  // holds: folding it is lossless but trades 3-bit codes for 9-bit ones, where the codes keep
  // to the palette's size (narrow codes would take those colours to the front).
  std::vector<Rgb> greys(256);
  for (int i = 0; i < 256; ++i) greys[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  AnimPtr doc = test::DocumentWith(greys, 64, 64);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return y * 16 + x; });
  std::mt19937 random(5);
  std::vector<uint8_t> noise(64 * 64);
  for (uint8_t& v : noise) v = static_cast<uint8_t>(random() % 2);
  GiveLocalPalette(test::AddFrame(*doc, 0, 0, 64, 64, [&](int x, int y) { return noise[size_t(y * 64 + x)]; }),
                   Colours({{0, 0, 0}, {255, 255, 255}}));
  const int32_t before = EncodedSize(doc.get(), true, nullptr);

  const uint32_t options = kLosslessDefault & ~kKeepFullLzwTables;
  AnimPtr grown = CopyAnimation(*doc, nullptr);
  Optimize(*grown, options, nullptr);
  ASSERT_GT(EncodedSize(grown.get(), true, nullptr), before);  // what the net is for

  AnimPtr kept = CopyAnimation(*doc, nullptr);
  const OptimizeOutcome run = OptimizeNeverLarger(*kept, options, nullptr);
  EXPECT_FALSE(run.changed);
  EXPECT_EQ(test::DocumentDifference(*kept, *doc), "");
  EXPECT_EQ(EncodedSize(kept.get(), true, nullptr), before);
}

// A file whose data is smaller than Save writes (its frame keeps a full table, where Save
// clears at once) and that the optimizer cannot beat: the result equals the file, yet it is
// smaller than the input saved again, so it stays.
TEST_F(OptimizeTest, TheInputIsWeighedAsSaveWritesItWhenTheResultIsNoSmallerThanItsFile) {
  AnimPtr doc = test::NewDocument(120, 120, 64);
  std::mt19937 random(11);
  std::vector<uint8_t> rows(60 * 120);
  for (uint8_t& v : rows) v = static_cast<uint8_t>(random() % 64);
  // Noise fills the table; its rows repeated are what a kept table still knows.
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 120, 120, [&](int x, int y) { return rows[size_t(y % 60 * 120 + x)]; });
  const int64_t clearing = FrameEncodedSize(f);
  int64_t best = clearing;
  for (uint8_t rule = 1; rule < kLzwClearRules; ++rule) {
    if (!(kEveryLzwRule >> rule & 1)) continue;
    f.lzwClearRule = rule;
    if (FrameEncodedSize(f) < best) best = FrameEncodedSize(f);
    else f.lzwClearRule = 0;
  }
  ASSERT_LT(best, clearing);
  const int64_t fileSize = EncodedSize(doc.get(), true, nullptr);
  MemorySink file;
  ASSERT_EQ(WriteGifStream(file, *doc, nullptr), 1);
  ReadResult read = ReadGifMemory(file.bytes.data(), file.bytes.size(), {.keepDataAsRead = true});
  ASSERT_EQ(read.status, kReadComplete);
  AnimHeader& input = *read.document;
  AnimPtr original = CopyAnimation(input, nullptr);
  ASSERT_EQ(FirstImage(&input)->lzwClearRule, 0);

  const OptimizeOutcome run = OptimizeNeverLarger(input, kLosslessDefault, nullptr);
  EXPECT_TRUE(run.changed);
  EXPECT_EQ(EncodedSize(&input, true, nullptr), fileSize);
  EXPECT_LT(EncodedSize(&input, true, nullptr), EncodedSize(original.get(), true, nullptr));
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*original), test::ComposeTimeline(input)), "");
}

// The input kept in case the result would grow comes back byte for byte: planes kept as LZW
// data (interlaced, odd widths, indexes beyond the palette) and planes that data could not
// give back (wider than their frame, padding that is not clear), which are kept as they are.
TEST_F(OptimizeTest, TheKeptInputComesBackWhateverItsPlanesHold) {
  AnimPtr doc = test::NewDocument(13, 9, 4);
  SetInterlaced(test::AddFrame(*doc, 0, 0, 13, 9, [](int x, int y) { return (x * 7 + y * 3) % 4; }), true);
  test::AddFrame(*doc, 1, 1, 11, 7, [](int x, int y) { return x == y ? 200 : x % 2; });
  ImageBlock& narrowed = test::AddFrame(*doc, 0, 0, 13, 9, [](int x, int) { return x % 3; });
  narrowed.width = 5;
  ImageBlock& padded = test::AddFrame(*doc, 2, 0, 6, 9, [](int x, int y) { return (x + y) % 4; });
  padded.indexedImage->row(3)[7] = 9;
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 13, 9, [](int x, int y) { return (x ^ y) & 1; });
  GiveLocalPalette(local, Colours({{9, 9, 9}, {200, 10, 10}}));
  MakeTransparent(local, 1);
  local.lzwClearRule = 3;
  AnimPtr original = CopyAnimation(*doc, nullptr);

  OptimizeBackup backup(*doc);
  ASSERT_TRUE(backup.kept());
  const int64_t size = EncodedSize(doc.get(), true, nullptr);
  Optimize(*doc, kDefault, nullptr);
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) FillIndexed(*f->indexedImage, 1);
  EXPECT_EQ(backup.encodedSize(), size);
  ASSERT_TRUE(backup.putBack(*doc));
  EXPECT_EQ(test::DocumentDifference(*doc, *original), "");
  for (const ImageBlock *f = FirstImage(doc.get()), *o = FirstImage(original.get()); f && o;
       f = NextImage(f), o = NextImage(o)) {
    EXPECT_EQ(f->lzwClearRule, o->lzwClearRule);
    EXPECT_TRUE(f->indexedImage->pixels == o->indexedImage->pixels) << IndexOfImage(doc.get(), f);
    EXPECT_EQ(f->indexedImage->colourTable, o->indexedImage->colourTable);
  }
}

TEST_F(OptimizeTest, ApproximatedFramesAreCountedAndTheLosslessDefaultHasNone) {
  AnimPtr doc = GreysThenLocalPalettes(2, 128);
  ASSERT_FALSE(LocalPalettesFoldExactly(*doc));
  const test::ComposedTimeline shown = test::ComposeTimeline(*doc);

  AnimPtr adaptive = CopyAnimation(*doc, nullptr);
  const int approximated = OptimizeReporting(*adaptive, kDefault, nullptr).approximatedFrames;
  EXPECT_GE(approximated, 2);
  AnimPtr mapped = CopyAnimation(*doc, nullptr);
  // Every grey is drawn, so no entry is free for the new colours.
  EXPECT_EQ(OptimizeReporting(*mapped, kRemoveLocalPalettes | kMapIntoGlobal, nullptr).approximatedFrames, 2);
  AnimPtr exact = CopyAnimation(*doc, nullptr);
  EXPECT_EQ(OptimizeReporting(*exact, kLosslessDefault, nullptr).approximatedFrames, 0);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*exact)), "");

  // The command line says so when the options the user chose approximate; fresh, it keeps
  // the picture and has nothing to say.
  MemoryPreferenceStore store;
  Prefs().load(&store);
  AnimPtr batch = CopyAnimation(*doc, nullptr);
  EXPECT_TRUE(BatchOptimize(*batch));
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*batch)), "");
  EXPECT_TRUE(messages_.sink.notes.empty());
  StoreOptimizeOptions(kDefault);
  EXPECT_TRUE(BatchOptimize(*doc));
  ASSERT_EQ(messages_.sink.notes.size(), 1u);
  EXPECT_NE(messages_.sink.notes[0].find(std::to_string(approximated) + " frame(s)"), std::string::npos)
      << messages_.sink.notes[0];
  Prefs().load(nullptr);
}

// -z keeps the picture until the user has chosen options in the dialog; from then on it uses
// what was chosen, approximating colours included.
TEST_F(OptimizeTest, BatchOptimizeRunsTheOptionsChosenInTheDialogElseTheLosslessDefault) {
  MemoryPreferenceStore store;
  Prefs().load(&store);
  EXPECT_EQ(BatchOptimizeOptions(), kLosslessDefault);
  // Other settings store the whole preference block, the optimizer's word with it.
  Prefs().write(pref::kOptimizeOptions, kCrop);
  EXPECT_EQ(BatchOptimizeOptions(), kLosslessDefault);

  AnimPtr doc = test::NewDocument(8, 6, 16);
  Full(*doc, 3);
  Full(*doc, 3);
  AnimPtr copy = CopyAnimation(*doc, nullptr);
  StoreOptimizeOptions(kCrop);
  EXPECT_EQ(BatchOptimizeOptions(), kCrop);
  EXPECT_TRUE(BatchOptimize(*copy));
  EXPECT_EQ(copy->frameCount, 2);
  StoreOptimizeOptions(kDefault);
  Prefs().load(&store);  // as the next run of the program reads it
  EXPECT_EQ(BatchOptimizeOptions(), kDefault);
  EXPECT_TRUE(BatchOptimize(*doc));
  EXPECT_EQ(doc->frameCount, 1);
  Prefs().load(nullptr);
}

}  // namespace fw
