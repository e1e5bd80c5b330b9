// Unoptimize, rotations, bounce, thinning out and centring, with their undo steps.
#include <gtest/gtest.h>

#include "core/compositor.h"
#include "core/undo_history.h"
#include "imaging/transform_commands.h"
#include "imaging/transforms.h"
#include "support/test_support.h"

namespace fw {
namespace {

// What a viewer shows at every frame, as RGB through the global palette.
std::vector<std::vector<Rgb>> Timeline(const AnimHeader& doc) {
  std::vector<std::vector<Rgb>> frames;
  Compositor c(doc);
  for (const ImageBlock* canvas = c.first(); canvas; canvas = c.next()) {
    std::vector<Rgb> picture;
    for (int y = 0; y < doc.screenHeight; ++y)
      for (int x = 0; x < doc.screenWidth; ++x) picture.push_back((*doc.globalPalette)[canvas->indexedImage->row(y)[x]]);
    frames.push_back(std::move(picture));
  }
  return frames;
}

// Small frames at offsets with every disposal method and transparency.
AnimPtr Layered() {
  AnimPtr doc = test::NewDocument(12, 10, 16);
  doc->backgroundIndex = 0;  // the transparent index: both then show uncovered screen alike
  for (int i = 0; i < 8; ++i) {
    ImageBlock& f = test::AddFrame(*doc, i, i % 4, 5, 4, [i](int x, int y) { return (x * y + i) % 5 == 0 ? 0 : 4 + (x + i) % 9; });
    SetTransparency(f, i % 2 == 0);
    SetDisposal(f, i % 4);
  }
  return doc;
}

std::vector<std::vector<uint8_t>> PlaneBytes(const AnimHeader& doc) {
  std::vector<std::vector<uint8_t>> planes;
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) planes.push_back(test::FramePixels(*f));
  return planes;
}

class TransformTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); InstallTransformUndo(); }
  void TearDown() override { ClearUndo(); }
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(TransformTest, UnoptimizeShowsTheSameAndIsIdempotent) {
  AnimPtr doc = Layered();
  const auto before = Timeline(*doc);
  ASSERT_EQ(UnoptimizeCommand(*doc, nullptr), 8);
  EXPECT_EQ(Timeline(*doc), before);
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
    EXPECT_EQ(f->width, 12);
    EXPECT_EQ(f->left, 0);
    EXPECT_FALSE(f->transparent());
    EXPECT_EQ(Disposal(*f), kDisposalLeave);
  }
  AnimPtr once = CopyAnimation(*doc, nullptr);
  ASSERT_EQ(Unoptimize(*doc, nullptr), 8);
  EXPECT_EQ(test::DocumentDifference(*doc, *once), "");

  // Undo brings back the optimized frames.
  ApplyUndo(*doc, false);  // the second run recorded nothing (no command)
  EXPECT_EQ(Timeline(*doc), before);
  EXPECT_EQ(FirstImage(doc.get())->width, 5);
}

TEST_F(TransformTest, UnoptimizeTakesLocalPalettesAsOneStep) {
  AnimPtr doc = Layered();
  const Rgb two[2] = {{200, 0, 0}, {0, 0, 200}};
  SetLocalPalette(*ImageAt(doc.get(), 3), Palette::Create(two, 2));
  const test::ComposedTimeline shown = test::ComposeTimeline(*doc);
  AnimPtr original = CopyAnimation(*doc, nullptr);
  EXPECT_EQ(UnoptimizeCommand(*doc, nullptr), 8);
  EXPECT_TRUE(messages_.ids().empty());
  EXPECT_EQ(UndoCount(), 1);
  // Background pixels come back drawn in the background colour, as in the global case; the
  // rest of every picture is unchanged.
  const test::ComposedTimeline after = test::ComposeTimeline(*doc);
  ASSERT_EQ(after.pictures.size(), shown.pictures.size());
  for (size_t i = 0; i < shown.pictures.size(); ++i)
    for (size_t k = 0; k < shown.pictures[i].size(); ++k)
      if (shown.pictures[i][k]) {
        EXPECT_EQ(after.pictures[i][k], shown.pictures[i][k]) << i << " " << k;
      }
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *original), "");
}

TEST_F(TransformTest, QuarterTurnsRoundTripAndGrowTheScreen) {
  AnimPtr doc = test::NewDocument(100, 50, 256);
  test::AddFrame(*doc, 10, 5, 30, 20, [](int x, int y) { return (x * 3 + y * 7) & 255; });
  test::AddFrame(*doc, 60, 30, 40, 20, [](int x, int y) { return (x ^ y) & 255; });
  AnimPtr before = CopyAnimation(*doc, nullptr);
  ASSERT_TRUE(RotateAllCommand(*doc, 40104));
  EXPECT_EQ(doc->screenWidth, 50);
  EXPECT_EQ(doc->screenHeight, 100);
  // Source (x, y) lands at (h - 1 - y, x).
  const ImageBlock& f = *FirstImage(doc.get());
  EXPECT_EQ(f.width, 20);
  EXPECT_EQ(f.indexedImage->row(4)[20 - 1 - 2], FirstImage(before.get())->indexedImage->row(2)[4]);
  EXPECT_EQ(f.left, 50 - 5 - 20);
  EXPECT_EQ(f.top, 10);
  ApplyUndo(*doc, false);  // the counter-clockwise turn of every frame
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");

  // Undo of a quarter turn of one frame turns it back and restores the screen.
  ASSERT_TRUE(RotateFrameCommand(*doc, 1, transform::kRotateClockwise));  // 20x40 at (60,30) needs height 70
  EXPECT_EQ(doc->screenHeight, 70);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  ApplyUndo(*doc, true);
  EXPECT_EQ(doc->screenHeight, 70);
}

TEST_F(TransformTest, MirrorsAndHalfTurnUndoThemselves) {
  AnimPtr doc = test::NewDocument(9, 7, 256);
  ImageBlock& f = test::AddFrame(*doc, 1, 2, 5, 3, [](int x, int y) { return x * 10 + y; });
  f.trueColour.assign(Stride24(5) * 3, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) f.trueColour[y * Stride24(5) + 3 * x] = static_cast<uint8_t>(x * 10 + y);
  AnimPtr before = CopyAnimation(*doc, nullptr);
  for (int code : {transform::kMirrorLeftRight, transform::kMirrorTopBottom, transform::kRotateHalf}) {
    ASSERT_TRUE(RotateFrame(*doc, f, code));
    EXPECT_NE(test::FramePixels(f), test::FramePixels(*FirstImage(before.get())));
    EXPECT_EQ(f.trueColour[0], f.indexedImage->row(0)[0]);  // planes turn alike
    ASSERT_TRUE(RotateFrame(*doc, f, code));
    EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  }
}

TEST_F(TransformTest, BounceCopiesTheMiddleFrames) {
  AnimPtr two = Layered();
  while (two->frameCount > 2) {
    RemoveBlock(ImageAt(two.get(), 2));
    --two->frameCount;
  }
  EXPECT_EQ(BounceCommand(*two), 0);
  EXPECT_EQ(UndoCount(), 0);

  // The stored frames are copied as they are (the command itself expands these layered frames
  // first; see keep_pictures_test).
  AnimPtr doc = Layered();
  const auto frames = PlaneBytes(*doc);
  EXPECT_EQ(BounceAnimation(*doc), 6);
  const auto bounced = PlaneBytes(*doc);
  ASSERT_EQ(bounced.size(), 14u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bounced[8 + i], frames[6 - i]);

  // With a selection, copies of the selected frames go right after the last selected one.
  AnimPtr sel = Layered();
  for (int i : {1, 3, 4}) ImageAt(sel.get(), i)->selected = 1;
  EXPECT_EQ(BounceAnimation(*sel), 2);
  const auto withCopies = PlaneBytes(*sel);
  EXPECT_EQ(withCopies[5], frames[3]);
  EXPECT_EQ(withCopies[6], frames[1]);
  EXPECT_EQ(withCopies[7], frames[5]);
}

TEST_F(TransformTest, ReduceFrameCountFoldsDelays) {
  AnimPtr doc = test::NewDocument(4, 4, 4);
  for (int i = 0; i < 10; ++i) test::AddFrame(*doc, 0, 0, 1, 1, [](int, int) { return 0; }).delay = 10 + i;
  const int64_t total = TotalDuration(*doc);
  EXPECT_FALSE(ReduceFramesCommand(*doc, 11));
  EXPECT_EQ(messages_.ids(), std::vector<int>{40251});
  ASSERT_TRUE(ReduceFramesCommand(*doc, 3));
  EXPECT_EQ(doc->frameCount, 7);
  EXPECT_EQ(TotalDuration(*doc), total);
  EXPECT_EQ(ImageAt(doc.get(), 1)->delay, 11 + 12);  // frame 3 folded into frame 2
  ApplyUndo(*doc, false);
  EXPECT_EQ(doc->frameCount, 10);
}

TEST_F(TransformTest, CentreAllTruncatesTowardZero) {
  AnimPtr doc = test::NewDocument(10, 10, 4);
  test::AddFrame(*doc, 0, 0, 3, 4, [](int, int) { return 0; });
  test::AddFrame(*doc, 0, 0, 13, 10, [](int, int) { return 0; });
  CentreAll(*doc);
  EXPECT_EQ(ImageAt(doc.get(), 0)->left, 3);
  EXPECT_EQ(ImageAt(doc.get(), 0)->top, 3);
  EXPECT_EQ(ImageAt(doc.get(), 1)->left, -1);
}

}  // namespace fw
