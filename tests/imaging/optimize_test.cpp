// The optimizer's steps one by one: cropping against the screen model, frame removal,
// transparency substitution, the palette steps, clipping and block removal, stopping.
#include <gtest/gtest.h>

#include <random>

#include "colour_test_util.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "imaging/optimize_palette.h"
#include "imaging/optimize_transparency.h"

namespace fw {
namespace {

using namespace optimize_bit;
using test::GiveLocalPalette;
using test::MakeTransparent;

constexpr uint32_t kCropOnly = kCrop;

ImageBlock& Full(AnimHeader& doc, int index, int delay = 10) {
  ImageBlock& f = test::AddFrame(doc, 0, 0, doc.screenWidth, doc.screenHeight, [=](int, int) { return index; });
  f.delay = delay;
  return f;
}

std::string LooksTheSame(const AnimHeader& before, const AnimHeader& after) {
  return test::TimelineDifference(test::ComposeTimeline(before), test::ComposeTimeline(after));
}

// Optimizes a copy and checks that it shows the same; the copy is returned for more checks.
AnimPtr OptimizedCopy(const AnimHeader& doc, uint32_t options) {
  AnimPtr copy = CopyAnimation(doc, nullptr);
  Optimize(*copy, options, nullptr);
  EXPECT_EQ(LooksTheSame(doc, *copy), "") << "options " << options;
  return copy;
}

std::unique_ptr<Palette> Colours(std::initializer_list<Rgb> list) { return Palette::Create(list.begin(), int(list.size())); }

class OptimizeTest : public ::testing::Test {
 protected:
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(OptimizeTest, UnchangedImageBecomesOnePixelOrGivesItsTimeToThePreviousOne) {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  Full(*doc, 3, 10);
  ImageBlock& same = test::AddFrame(*doc, 2, 1, 5, 4, [](int, int) { return 3; });
  same.delay = 20;
  Full(*doc, 4, 5);

  AnimPtr kept = OptimizedCopy(*doc, kCropOnly);
  ASSERT_EQ(kept->frameCount, 3);
  const ImageBlock& dot = *ImageAt(kept.get(), 1);
  EXPECT_EQ(dot.width, 1);
  EXPECT_EQ(dot.height, 1);
  EXPECT_EQ(dot.left, 2);  // its own position
  EXPECT_EQ(dot.top, 1);

  AnimPtr removed = OptimizedCopy(*doc, kCropOnly | kRemoveFrames);
  ASSERT_EQ(removed->frameCount, 2);
  EXPECT_EQ(FirstImage(removed.get())->delay, 30);

  // The first image has nothing before it to take its time.
  AnimPtr blank = test::NewDocument(8, 6, 16);
  ImageBlock& first = Full(*blank, 0);
  MakeTransparent(first, 0);
  Full(*blank, 5);
  EXPECT_EQ(OptimizedCopy(*blank, kCropOnly | kRemoveFrames)->frameCount, 2);
}

TEST_F(OptimizeTest, NoRemovalAfterAnImageThatRestoresWhenItEnds) {
  // After a restore to background the same pixels draw anew; after a restore to the previous
  // picture an image equal to the older screen still differs from what was just shown.
  for (int disposal : {kDisposalBackground, kDisposalPrevious}) {
    AnimPtr doc = test::NewDocument(8, 6, 16);
    Full(*doc, 3);
    ImageBlock& patch = test::AddFrame(*doc, 1, 1, 3, 3, [](int, int) { return 7; });
    SetDisposal(patch, disposal);
    test::AddFrame(*doc, 6, 4, 2, 2, [](int, int) { return 3; });  // repeats the older screen
    AnimPtr out = OptimizedCopy(*doc, kDefault);
    EXPECT_EQ(out->frameCount, 3) << "disposal " << disposal;
  }
}

TEST_F(OptimizeTest, DelaysThatWouldNotFitOneGifDelayAreNotFolded) {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  Full(*doc, 3, 60000);
  Full(*doc, 3, 10000);
  AnimPtr out = OptimizedCopy(*doc, kDefault);
  EXPECT_EQ(out->frameCount, 2);
}

TEST_F(OptimizeTest, FirstImageIsCroppedOnlyWhenTransparent) {
  AnimPtr doc = test::NewDocument(10, 8, 16);
  test::AddFrame(*doc, 0, 0, 10, 8, [](int x, int y) { return x > 2 && x < 6 && y == 4 ? 9 : 1; });
  EXPECT_EQ(FirstImage(OptimizedCopy(*doc, kDefault).get())->width, 10);

  MakeTransparent(*FirstImage(doc.get()), 1);
  AnimPtr out = OptimizedCopy(*doc, kCropOnly);
  const ImageBlock& f = *FirstImage(out.get());
  EXPECT_EQ(f.left, 3);
  EXPECT_EQ(f.top, 4);
  EXPECT_EQ(f.width, 3);
  EXPECT_EQ(f.height, 1);
}

TEST_F(OptimizeTest, ImagesShrinkToTheRectangleTheyChange) {
  AnimPtr doc = test::NewDocument(12, 10, 16);
  Full(*doc, 2);
  test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int y) { return x >= 4 && x < 7 && y >= 2 && y < 4 ? 5 : 2; });
  const ImageBlock& f = *ImageAt(OptimizedCopy(*doc, kCropOnly).get(), 1);
  EXPECT_EQ(f.left, 4);
  EXPECT_EQ(f.top, 2);
  EXPECT_EQ(f.width, 3);
  EXPECT_EQ(f.height, 2);
}

TEST_F(OptimizeTest, RestoreToBackgroundKeepsItsRectangleOverEverythingDrawn) {
  // Its transparent pixels over drawn pixels must stay inside the rectangle, or the restore
  // would leave those pixels standing.
  AnimPtr doc = test::NewDocument(12, 10, 16);
  Full(*doc, 2);
  ImageBlock& wipe = test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int) { return x == 6 ? 4 : 0; });
  MakeTransparent(wipe, 0);
  SetDisposal(wipe, kDisposalBackground);
  ImageBlock& dot = test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int y) { return x == 1 && y == 1 ? 3 : 0; });
  MakeTransparent(dot, 0);
  AnimPtr out = OptimizedCopy(*doc, kDefault);
  EXPECT_EQ(ImageAt(out.get(), 1)->width, 12);
}

TEST_F(OptimizeTest, LocalPaletteImagesKeepTheirPixelsAndHideTheScreenBeneath) {
  // What a local-palette image leaves on screen cannot be compared with global indexes: an
  // image repeating the older picture there must still draw it.
  AnimPtr doc = test::NewDocument(12, 10, 16);
  Full(*doc, 2);
  ImageBlock& local = test::AddFrame(*doc, 2, 2, 6, 5, [](int, int) { return 2; });
  GiveLocalPalette(local, Colours({{9, 9, 9}, {200, 0, 0}, {0, 1, 2}}));
  Full(*doc, 2);
  AnimPtr out = OptimizedCopy(*doc, kCropOnly | kTransparency | kRemoveFrames);
  ASSERT_EQ(out->frameCount, 3);
  const ImageBlock& kept = *ImageAt(out.get(), 1);
  EXPECT_EQ(kept.width, 6);
  EXPECT_EQ(kept.height, 5);
  const ImageBlock& again = *ImageAt(out.get(), 2);
  EXPECT_EQ(again.left, 2);
  EXPECT_EQ(again.width, 6);
  EXPECT_EQ(again.height, 5);
}

TEST_F(OptimizeTest, RestoreToBackgroundStillCoversWhatALocalPaletteImageDrew) {
  // Frame 0 draws the right half, frame 1 (own palette) the left columns, frame 2 wipes the
  // screen while drawing one column: its rectangle must keep reaching over frame 1.
  AnimPtr doc = test::NewDocument(12, 10, 16);
  test::AddFrame(*doc, 6, 0, 6, 10, [](int, int) { return 3; });
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 4, 10, [](int x, int) { return x % 2; });
  GiveLocalPalette(local, Colours({{9, 9, 9}, {200, 0, 0}}));
  ImageBlock& wipe = test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int) { return x == 9 ? 6 : 0; });
  MakeTransparent(wipe, 0);
  SetDisposal(wipe, kDisposalBackground);
  ImageBlock& dot = test::AddFrame(*doc, 5, 5, 1, 1, [](int, int) { return 7; });
  dot.delay = 4;
  AnimPtr out = OptimizedCopy(*doc, kDefault & ~kRemoveLocalPalettes);
  EXPECT_EQ(ImageAt(out.get(), 2)->left, 0);
}

TEST_F(OptimizeTest, TextAndApplicationBlocksGoEvenWithEveryOptionOff) {
  AnimPtr doc = test::NewDocument(8, 6, 4);
  doc->playCount = 3;
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kApplication));
  Full(*doc, 1);
  auto comment = CreateExtensionBlock(block_kind::kComment);
  SetCommentText(*comment, "stays");
  AppendBlock(*doc, std::move(comment));
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kPlainText));
  Full(*doc, 2);
  AnimPtr before = CopyAnimation(*doc, nullptr);

  EXPECT_TRUE(Optimize(*doc, 0, nullptr));
  std::vector<uint8_t> kinds;
  for (GifBlock* b = doc->blockList->next; b; b = b->next) kinds.push_back(b->kind);
  EXPECT_EQ(kinds, (std::vector<uint8_t>{block_kind::kImage, block_kind::kComment, block_kind::kImage}));
  EXPECT_EQ(doc->playCount, 3);
  EXPECT_EQ(test::FramePixels(*ImageAt(doc.get(), 1)), test::FramePixels(*ImageAt(before.get(), 1)));
  EXPECT_FALSE(Optimize(*doc, 0, nullptr));
}

TEST_F(OptimizeTest, ImagesReachingOffScreenAreClippedWithoutChangingThePicture) {
  AnimPtr doc = test::NewDocument(10, 8, 16);
  Full(*doc, 3);
  test::AddFrame(*doc, -3, 5, 8, 6, [](int x, int y) { return (x + y) % 5 + 4; });
  // Wholly off screen and restoring the background: it must not wipe a pixel it never covered.
  ImageBlock& away = test::AddFrame(*doc, 40, 40, 4, 4, [](int, int) { return 9; });
  SetDisposal(away, kDisposalBackground);
  test::AddFrame(*doc, 5, 5, 2, 2, [](int, int) { return 8; }).delay = 7;
  AnimPtr out = OptimizedCopy(*doc, 0);
  for (const ImageBlock* f = FirstImage(out.get()); f; f = NextImage(f))
    EXPECT_TRUE(f->left >= 0 && f->top >= 0 && f->left + f->width <= 10 && f->top + f->height <= 8);
  OptimizedCopy(*doc, kDefault);
}

TEST_F(OptimizeTest, SubstitutionNeverGrowsAnImageAndKeepsEveryChangedPixel) {
  std::mt19937 rng(5);
  for (int round = 0; round < 60; ++round) {
    const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 12), colours = 2 + int(rng() % 60);
    AnimPtr doc = test::NewDocument(w, h, colours);
    const int runs = 1 + int(rng() % 6);  // long runs make the candidates worth it, noise does not
    ImageBlock& f = test::AddFrame(*doc, 0, 0, w, h, [&](int x, int) { return int((x / runs) * 7 + rng() % 2) % colours; });
    if (round % 3 == 0) MakeTransparent(f, int(rng() % colours));
    std::vector<uint8_t> changed(Stride8(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) changed[y * Stride8(w) + x] = rng() % 3 == 0;
    const std::vector<uint8_t> before = test::FramePixels(f);
    const bool wasTransparent = f.transparent();
    const int64_t sizeBefore = FrameEncodedSize(f);

    const bool taken = SubstituteTransparency(f, changed.data(), Stride8(w));
    const std::vector<uint8_t> after = test::FramePixels(f);
    if (!taken) {
      EXPECT_EQ(after, before);
      EXPECT_EQ(f.transparent(), wasTransparent);
      continue;
    }
    EXPECT_LT(FrameEncodedSize(f), sizeBefore);
    ASSERT_TRUE(f.transparent());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t i = size_t(y) * w + x;
        if (changed[y * Stride8(w) + x])
          ASSERT_TRUE(after[i] == before[i] && (wasTransparent || after[i] != f.transparentIndex)) << round;
        else
          ASSERT_TRUE(after[i] == before[i] || after[i] == f.transparentIndex) << round;
      }
  }
}

TEST_F(OptimizeTest, RepeatedPixelsTurnTransparentWhenSmaller) {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return (x * 3 + y * 5) % 11; });
  // The same picture with two small patches changed: everything between them repeats.
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return x == y || x == 39 - y ? 12 : (x * 3 + y * 5) % 11; });
  AnimPtr out = OptimizedCopy(*doc, kCrop | kTransparency);
  const ImageBlock& f = *ImageAt(out.get(), 1);
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 15);  // the highest index no kept pixel uses
  EXPECT_LT(FrameEncodedSize(f), FrameEncodedSize(*ImageAt(OptimizedCopy(*doc, kCrop).get(), 1)));

  // Every index taken by kept pixels: nothing can stand for "repeat the screen".
  AnimPtr full = test::NewDocument(8, 3, 4);
  test::AddFrame(*full, 0, 0, 8, 3, [](int x, int) { return x % 4; });
  test::AddFrame(*full, 0, 0, 8, 3, [](int x, int y) { return y != 1 ? (x + 1) % 4 : x % 4; });
  EXPECT_FALSE(ImageAt(OptimizedCopy(*full, kCrop | kTransparency).get(), 1)->transparent());
}

TEST_F(OptimizeTest, ShrinkingKeepsUsedEntriesInOrderAndTheTransparentIndex) {
  AnimPtr doc = test::NewDocument(6, 4, 16);
  const std::unique_ptr<Palette> saved = doc->globalPalette->copy();
  const Palette& old = *saved;
  test::AddFrame(*doc, 0, 0, 6, 4, [](int x, int) { return x < 2 ? 9 : x < 4 ? 2 : 5; });
  ImageBlock& holes = test::AddFrame(*doc, 0, 0, 6, 4, [](int x, int y) { return x == y ? 2 : 12; });
  MakeTransparent(holes, 12);
  AnimPtr out = OptimizedCopy(*doc, kShrinkPalettes);
  ASSERT_EQ(out->globalPalette->count(), 4);
  EXPECT_EQ((*out->globalPalette)[0], old[2]);
  EXPECT_EQ((*out->globalPalette)[1], old[5]);
  EXPECT_EQ((*out->globalPalette)[2], old[9]);
  EXPECT_EQ((*out->globalPalette)[3], old[12]);
  EXPECT_EQ(ImageAt(out.get(), 1)->transparentIndex, 3);
  for (const ImageBlock* f = FirstImage(out.get()); f; f = NextImage(f))
    EXPECT_EQ(f->activePalette, out->globalPalette.get());
}

TEST_F(OptimizeTest, PalettesThatCannotGetSmallerAreLeftAlone) {
  AnimPtr all = test::NewDocument(4, 4, 4);
  test::AddFrame(*all, 0, 0, 4, 4, [](int x, int) { return x; });
  const Palette* palette = all->globalPalette.get();
  EXPECT_FALSE(Optimize(*all, kShrinkPalettes, nullptr));
  EXPECT_EQ(all->globalPalette.get(), palette);

  // Nine of sixteen used: a table of sixteen entries either way.
  AnimPtr nine = test::NewDocument(9, 1, 16);
  test::AddFrame(*nine, 0, 0, 9, 1, [](int x, int) { return x; });
  EXPECT_FALSE(Optimize(*nine, kShrinkPalettes, nullptr));

  AnimPtr local = test::NewDocument(4, 4, 4);
  ImageBlock& f = test::AddFrame(*local, 0, 0, 4, 4, [](int x, int) { return 100 + x % 3; });
  std::vector<Rgb> many(256);
  for (int i = 0; i < 256; ++i) many[i] = {uint8_t(i), 0, uint8_t(255 - i)};
  GiveLocalPalette(f, test::MakePalette(many));
  AnimPtr out = OptimizedCopy(*local, kShrinkPalettes);
  EXPECT_EQ(FirstImage(out.get())->localPalette->count(), 4);
}

TEST_F(OptimizeTest, LosslessMergeFoldsOnlyThePalettesThatFit) {
  // A full global palette: a local palette of colours it holds folds, one with a new colour
  // stays; mapping into the global palette folds both.
  std::vector<Rgb> global(256);
  for (int i = 0; i < 256; ++i) global[i] = {uint8_t(i), uint8_t(i), 0};
  AnimPtr doc = test::DocumentWith(global, 16, 16);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return y * 16 + x; });
  ImageBlock& fits = test::AddFrame(*doc, 0, 0, 4, 4, [](int x, int) { return x % 2; });
  GiveLocalPalette(fits, Colours({{7, 7, 0}, {200, 200, 0}}));
  ImageBlock& misfit = test::AddFrame(*doc, 4, 4, 4, 4, [](int x, int) { return x % 2; });
  GiveLocalPalette(misfit, Colours({{7, 7, 0}, {1, 2, 3}}));
  EXPECT_FALSE(LocalPalettesFoldExactly(*doc));

  AnimPtr exact = OptimizedCopy(*doc, kRemoveLocalPalettes);
  EXPECT_FALSE(ImageAt(exact.get(), 1)->localPalette);
  EXPECT_TRUE(ImageAt(exact.get(), 2)->localPalette);

  AnimPtr mapped = CopyAnimation(*doc, nullptr);
  Optimize(*mapped, kRemoveLocalPalettes | kMapIntoGlobal, nullptr);
  EXPECT_FALSE(ImageAt(mapped.get(), 2)->localPalette);
  EXPECT_EQ(test::ComposeTimeline(*mapped).totalTime(), test::ComposeTimeline(*doc).totalTime());
}

TEST_F(OptimizeTest, LosslessMergeKeepsATransparentIndexThatSharesItsColour) {
  // The local palette repeats the colour of its transparent index and uses every colour of
  // the global one: once folded, no global entry would be left to stand for "transparent".
  std::vector<Rgb> global(255);
  for (int i = 0; i < 255; ++i) global[i] = {uint8_t(i), 0, uint8_t(i)};
  AnimPtr doc = test::DocumentWith(global, 16, 16);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return (y * 16 + x + 1) % 255; });
  std::vector<Rgb> local = global;
  local.push_back(global[7]);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return y * 16 + x; });
  GiveLocalPalette(f, test::MakePalette(local));
  MakeTransparent(f, 255);
  EXPECT_FALSE(LocalPalettesFoldExactly(*doc));
  EXPECT_TRUE(ImageAt(OptimizedCopy(*doc, kDefault & ~kAdaptiveGlobal).get(), 1)->localPalette);
}

TEST_F(OptimizeTest, AdaptiveGlobalPaletteKeepsColoursThatFitAndRebuildsWhenTheyDoNot) {
  // Colours one step apart would share a leaf of the adaptive builder; they fit one palette,
  // so they must come through exactly.
  AnimPtr close = test::DocumentWith({{10, 10, 10}, {11, 10, 10}}, 8, 4);
  test::AddFrame(*close, 0, 0, 8, 4, [](int x, int) { return x % 2; });
  ImageBlock& local = test::AddFrame(*close, 0, 0, 8, 4, [](int x, int y) { return (x + y) % 3; });
  GiveLocalPalette(local, Colours({{12, 10, 10}, {10, 11, 10}, {10, 10, 11}}));
  AnimPtr out = OptimizedCopy(*close, kDefault);
  for (const ImageBlock* f = FirstImage(out.get()); f; f = NextImage(f)) EXPECT_FALSE(f->localPalette);

  // Two pictures of 200 different colours each cannot share 256 entries.
  AnimPtr many = test::NewDocument(20, 10, 200);
  test::AddFrame(*many, 0, 0, 20, 10, [](int x, int y) { return y * 20 + x; });
  ImageBlock& other = test::AddFrame(*many, 0, 0, 20, 10, [](int x, int y) { return y * 20 + x; });
  std::vector<Rgb> colours(200);
  for (int i = 0; i < 200; ++i) colours[i] = {uint8_t(255 - i), 255, uint8_t(i)};
  GiveLocalPalette(other, test::MakePalette(colours));
  ASSERT_FALSE(LocalPalettesFoldExactly(*many));
  Optimize(*many, kDefault, nullptr);
  EXPECT_LE(many->globalPalette->count(), 256);
  for (const ImageBlock* f = FirstImage(many.get()); f; f = NextImage(f)) {
    EXPECT_FALSE(f->localPalette);
    EXPECT_EQ(f->activePalette, many->globalPalette.get());
  }
}

TEST_F(OptimizeTest, StopRequestEndsTheRunAfterTheCurrentImage) {
  struct StopAt : ProgressHook {
    int steps = 0, stopAfter = 2;
    void showWindow() override {}
    void setRange(int) override {}
    void setPosition(int) override {}
    void setText(const std::string&) override {}
    void pumpEvents() override {
      if (++steps == stopAfter) RequestProgressStop();
    }
    void closeWindow() override {}
  } hook;
  AnimPtr doc = test::NewDocument(10, 8, 16);
  for (int i = 0; i < 6; ++i) test::AddFrame(*doc, 0, 0, 10, 8, [i](int x, int y) { return x == i && y == i ? 9 : 1; });
  AnimPtr copy = CopyAnimation(*doc, nullptr);
  std::unique_ptr<Progress> progress = CreateProgress(&hook, 0);
  EXPECT_TRUE(Optimize(*copy, kCropOnly, progress.get()));
  CloseProgress(progress.get());
  EXPECT_EQ(LooksTheSame(*doc, *copy), "");
  EXPECT_EQ(ImageAt(copy.get(), 1)->width, 2);   // done before the stop
  EXPECT_EQ(ImageAt(copy.get(), 2)->width, 10);  // untouched after it
}

TEST_F(OptimizeTest, WithoutRoomForTheScreenPlanesTheImagesStayAsTheyWere) {
  AnimPtr doc = test::NewDocument(64, 64, 16);
  Full(*doc, 1);
  Full(*doc, 1);
  const size_t limit = MaxPlaneBytes();
  SetMaxPlaneBytes(1024);
  const bool changed = Optimize(*doc, kDefault, nullptr);
  SetMaxPlaneBytes(limit);
  EXPECT_EQ(messages_.ids(), std::vector<int>{optimize_msg::kNoScreenPlanes});
  EXPECT_TRUE(changed);  // the palette shrank all the same
  EXPECT_EQ(doc->frameCount, 2);
  EXPECT_EQ(ImageAt(doc.get(), 1)->width, 64);
}

TEST_F(OptimizeTest, BatchOptimizeRunsTheStoredOptions) {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  Full(*doc, 3);
  Full(*doc, 3);
  Prefs().write(pref::kOptimizeOptions, kCrop);
  AnimPtr a = CopyAnimation(*doc, nullptr);
  EXPECT_TRUE(BatchOptimize(*a));
  EXPECT_EQ(a->frameCount, 2);
  EXPECT_EQ(a->globalPalette->count(), 16);
  Prefs().write(pref::kOptimizeOptions, kDefault);
  EXPECT_TRUE(BatchOptimize(*doc));
  EXPECT_EQ(doc->frameCount, 1);
  EXPECT_EQ(doc->encodedSize, -1);
}

}  // namespace fw
