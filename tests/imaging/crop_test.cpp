// Move/crop and crop animation: the field rules, the picture they leave, and their undo steps.
#include <gtest/gtest.h>

#include "core/compositor.h"
#include "core/undo_history.h"
#include "imaging/canvas.h"
#include "imaging/crop.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Picture = std::vector<Rgb>;

// What a viewer shows at every frame, through the global palette.
std::vector<Picture> Timeline(const AnimHeader& doc) {
  std::vector<Picture> frames;
  Compositor c(doc);
  for (const ImageBlock* canvas = c.first(); canvas; canvas = c.next()) {
    Picture picture;
    for (int y = 0; y < doc.screenHeight; ++y)
      for (int x = 0; x < doc.screenWidth; ++x) picture.push_back((*doc.globalPalette)[canvas->indexedImage->row(y)[x]]);
    frames.push_back(std::move(picture));
  }
  return frames;
}

std::vector<Picture> Cut(const std::vector<Picture>& frames, int screenWidth, int l, int t, int r, int b) {
  std::vector<Picture> out;
  for (const Picture& p : frames) {
    Picture q;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) q.push_back(p[static_cast<size_t>(y * screenWidth + x)]);
    out.push_back(std::move(q));
  }
  return out;
}

// Frames at offsets with every disposal; transparent ones use index 0, which is also the
// background, so uncovered screen looks alike whichever frame decides its fill.
AnimPtr Layered(int w, int h) {
  AnimPtr doc = test::NewDocument(w, h, 16);
  doc->backgroundIndex = 0;
  for (int i = 0; i < 8; ++i) {
    ImageBlock& f = test::AddFrame(*doc, (i * 3) % (w - 4), i % (h - 3), 5, 4,
                                   [i](int x, int y) { return (x * y + i) % 4 == 0 ? 0 : 1 + (x + 2 * y + i) % 15; });
    SetTransparency(f, i % 3 != 1);
    SetDisposal(f, i % 4);
  }
  return doc;
}

class CropTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override { ClearUndo(); }
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(CropTest, FieldRules) {
  AnimPtr doc = test::NewDocument(30, 20, 4);
  test::AddFrame(*doc, 5, -3, 20, 10, [](int, int) { return 1; });
  MoveCropState s = StartMoveCrop(*doc, 0, false);
  EXPECT_EQ(s.x, 5);
  EXPECT_EQ(s.y, -3);
  EXPECT_EQ(s.right, 20);
  EXPECT_EQ(s.bottom, 10);

  EXPECT_EQ(SetCropField(s, crop_field::kLeft, -4), 0);
  EXPECT_EQ(SetCropField(s, crop_field::kLeft, 25), 19);  // at or beyond right
  EXPECT_EQ(SetCropField(s, crop_field::kTop, 1), 3);     // 1 + y would be above the screen
  EXPECT_EQ(SetCropField(s, crop_field::kRight, 25), 20);  // beyond the image
  EXPECT_EQ(SetCropField(s, crop_field::kRight, 10), 20);  // at or below left (19)
  SetCropField(s, crop_field::kLeft, 4);
  EXPECT_EQ(SetCropField(s, crop_field::kOffsetX, 15), 15);
  EXPECT_EQ(SetCropField(s, crop_field::kRight, 18), 15);  // 18 + 15 would pass the screen
  EXPECT_EQ(SetCropField(s, crop_field::kOffsetX, 40), 29);
  EXPECT_EQ(SetCropField(s, crop_field::kOffsetX, -25), -19);  // one column stays on screen
  EXPECT_EQ(SetCropField(s, crop_field::kOffsetY, 20), 19);

  // Pulling the left edge onto the screen never carries it past the right edge.
  SetCropField(s, crop_field::kOffsetX, -10);
  SetCropField(s, crop_field::kRight, 5);
  EXPECT_EQ(SetCropField(s, crop_field::kLeft, 2), 4);
  EXPECT_LT(s.left, s.right);

  s.left = 2;
  s.right = 12;
  AlignCropFrame(s, crop_align::kLeft);
  EXPECT_EQ(s.x, -2);
  AlignCropFrame(s, crop_align::kRight);
  EXPECT_EQ(s.x, 18);
  AlignCropFrame(s, crop_align::kHorizontalCentre);
  EXPECT_EQ(s.x, 8);  // the rectangle lands on 10..20 of 30

  ResetMoveCrop(s, *doc);
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.right, 20);
  EXPECT_EQ(s.x, 5);

  // Animation mode: auto size is the bounding box of all images inside the screen.
  test::AddFrame(*doc, 2, 4, 3, 3, [](int, int) { return 2; });
  MoveCropState a = StartMoveCrop(*doc, 0, true);
  EXPECT_EQ(a.right, 30);
  AutoSizeCrop(a, *doc);
  EXPECT_EQ(a.left, 2);
  EXPECT_EQ(a.top, 0);
  EXPECT_EQ(a.right, 25);
  EXPECT_EQ(a.bottom, 7);
}

TEST_F(CropTest, CroppedAnimationShowsTheCutOfThePicture) {
  const int rects[][4] = {{0, 0, 20, 12}, {3, 2, 11, 9}, {15, 0, 20, 3}, {0, 8, 20, 12}, {7, 5, 8, 6}};
  for (const auto& r : rects) {
    SCOPED_TRACE(testing::Message() << r[0] << "," << r[1] << "-" << r[2] << "," << r[3]);
    AnimPtr doc = Layered(20, 12);
    const auto expected = Cut(Timeline(*doc), 20, r[0], r[1], r[2], r[3]);
    CropAnimation(*doc, r[0], r[1], r[2], r[3]);
    EXPECT_EQ(doc->screenWidth, r[2] - r[0]);
    EXPECT_EQ(doc->screenHeight, r[3] - r[1]);
    EXPECT_EQ(Timeline(*doc), expected);
    for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
      EXPECT_GE(f->left, 0);
      EXPECT_LE(f->left + f->width, doc->screenWidth);
    }
  }
}

TEST_F(CropTest, FullScreenCropIsANopAndOutsideFramesShrinkToATransparentPixel) {
  AnimPtr doc = Layered(20, 12);
  AnimPtr before = CopyAnimation(*doc, nullptr);
  EXPECT_FALSE(CropAnimation(*doc, 0, 0, 20, 12));
  EXPECT_EQ(CurrentUndoKind(), undo_kind::kNop);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");

  // Frame 1 (opaque) lies at 3..8 x 1..5: wholly left of the rectangle.
  ASSERT_TRUE(CropAnimation(*doc, 12, 0, 20, 12));
  const ImageBlock* f = ImageAt(doc.get(), 1);
  EXPECT_EQ(f->width, 1);
  EXPECT_EQ(f->height, 1);
  EXPECT_EQ(f->left, 0);
  EXPECT_TRUE(f->transparent());
  EXPECT_EQ(f->indexedImage->row(0)[0], f->transparentIndex);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
}

TEST_F(CropTest, CropThenCanvasBackRestoresThePicture) {
  // All frames share 0..8 x 0..6 of a 14 x 10 screen: the crop cuts nothing visible.
  AnimPtr doc = test::NewDocument(14, 10, 16);
  doc->backgroundIndex = 0;
  for (int i = 0; i < 6; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 8, 6, [i](int x, int y) { return (x + y + i) % 3 == 0 ? 0 : 1 + (x * y + i) % 15; });
    SetTransparency(f, i != 2);
    SetDisposal(f, i % 4);
  }
  const auto original = Timeline(*doc);
  ASSERT_TRUE(CropAnimation(*doc, 0, 0, 8, 6));
  EXPECT_EQ(Timeline(*doc), Cut(original, 14, 0, 0, 8, 6));
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->selected = 1;
  EXPECT_EQ(IncreaseCanvas(*doc, 14, 10), 2);
  EXPECT_EQ(doc->screenWidth, 14);
  EXPECT_EQ(doc->screenHeight, 10);
  EXPECT_EQ(Timeline(*doc), original);
}

TEST_F(CropTest, MoveCropMovesEverySelectedFrameAlikeAndUndoes) {
  AnimPtr doc = test::NewDocument(12, 8, 64);
  test::AddFrame(*doc, 2, 2, 6, 4, [](int x, int y) { return 1 + x + 6 * y; }).selected = 1;
  test::AddFrame(*doc, 5, 1, 4, 4, [](int x, int y) { return 30 + x + 4 * y; }).selected = 1;
  test::AddFrame(*doc, 0, 0, 3, 3, [](int, int) { return 50; });
  AnimPtr before = CopyAnimation(*doc, nullptr);

  MoveCropState s = StartMoveCrop(*doc, 0, false);
  SetCropField(s, crop_field::kOffsetX, 4);  // moved by (2, 1)
  SetCropField(s, crop_field::kOffsetY, 3);
  SetCropField(s, crop_field::kLeft, 1);
  SetCropField(s, crop_field::kRight, 6);
  SetCropField(s, crop_field::kBottom, 3);
  ASSERT_EQ(ApplyMoveCrop(*doc, s), 2);

  // The target on the screen: (1..6) + 4 = 5..10, (0..3) + 3 = 3..6.
  const int expect[2][4] = {{5, 3, 5, 3}, {7, 3, 3, 3}};
  for (int i = 0; i < 2; ++i) {
    const ImageBlock* old = ImageAt(before.get(), i);
    const ImageBlock* f = ImageAt(doc.get(), i);
    EXPECT_EQ(f->left, expect[i][0]);
    EXPECT_EQ(f->top, expect[i][1]);
    ASSERT_EQ(f->width, expect[i][2]);
    ASSERT_EQ(f->height, expect[i][3]);
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x) {
        // Screen pixel (X, Y) came from the old frame at (X - 2 - left, Y - 1 - top).
        const int ox = f->left + x - 2 - old->left, oy = f->top + y - 1 - old->top;
        EXPECT_EQ(f->indexedImage->row(y)[x], old->indexedImage->row(oy)[ox]);
      }
  }
  EXPECT_EQ(ImageAt(doc.get(), 2)->width, 3);

  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");

  // Nothing selected: nothing done, no undo step.
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->selected = 0;
  const int undos = UndoCount();
  EXPECT_EQ(ApplyMoveCrop(*doc, s), 0);
  EXPECT_EQ(UndoCount(), undos);
}

}  // namespace fw
