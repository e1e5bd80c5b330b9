// Increase canvas: the fill of the new area in every plane, the screen, the dialog values.
#include <gtest/gtest.h>

#include "core/frame_planes.h"
#include "core/undo_history.h"
#include "imaging/canvas.h"
#include "support/test_support.h"

namespace fw {
namespace {

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override {
    ClearUndo();
    SetMaxPlaneBytes(saved_);
  }
  test::ScopedMessages messages_;
  size_t saved_ = MaxPlaneBytes();
};

}  // namespace

TEST_F(CanvasTest, NewAreaShowsNothingNewInEveryPlane) {
  AnimPtr doc = test::NewDocument(10, 10, 8);
  doc->backgroundIndex = 6;
  ImageBlock& keyed = test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int) { return 1 + x; });
  keyed.transparentIndex = 7;
  SetTransparency(keyed, true);
  ImageBlock& plain = test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int) { return 1 + x; });
  ASSERT_EQ(ExpandToTrueColour(keyed), 1);  // with a mask
  ASSERT_EQ(ExpandToTrueColour(plain), 1);  // without one
  keyed.selected = plain.selected = 1;
  AnimPtr before = CopyAnimation(*doc, nullptr);

  EXPECT_EQ(IncreaseCanvas(*doc, 5, 4), 1);
  const Rgb bg = (*doc->globalPalette)[6];
  for (const ImageBlock* f : {ImageAt(doc.get(), 0), ImageAt(doc.get(), 1)}) {
    ASSERT_EQ(f->width, 5);
    ASSERT_EQ(f->height, 4);
    const bool masked = f->transparent();
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool old = x < 3 && y < 2;
        const uint8_t index = f->indexedImage->row(y)[x];
        const uint8_t* c = TrueColourRows(*f) + y * Stride24(5) + 3 * x;
        if (old) {
          EXPECT_EQ(index, 1 + x);
          continue;
        }
        EXPECT_EQ(index, masked ? 7 : 6);
        if (masked) {
          EXPECT_EQ(AlphaRows(*f)[y * Stride8(5) + x], 0);
          EXPECT_EQ(c[0] | c[1] | c[2], 0);
        } else {
          EXPECT_EQ(Rgb(c[2], c[1], c[0]), bg);
        }
      }
  }
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
}

TEST_F(CanvasTest, ScreenGrowsNeverShrinksAndSameSizeChangesNothing) {
  AnimPtr doc = test::NewDocument(10, 10, 8);
  test::AddFrame(*doc, 4, 6, 3, 2, [](int, int) { return 1; }).selected = 1;
  ImageBlock& big = test::AddFrame(*doc, 0, 0, 9, 3, [](int, int) { return 2; });
  big.selected = 1;
  AnimPtr before = CopyAnimation(*doc, nullptr);

  // Sizes below every frame's: nothing is cut, nothing changes, nothing is recorded.
  EXPECT_EQ(IncreaseCanvas(*doc, 1, 1), 0);
  EXPECT_EQ(UndoCount(), 0);

  // The 3 x 2 frame at (4, 6) grows to 5 x 5 and reaches 9 x 11: the screen grows in height
  // only. The wide frame keeps its width and gains rows.
  EXPECT_EQ(IncreaseCanvas(*doc, 5, 5), 2);
  EXPECT_EQ(doc->screenWidth, 10);
  EXPECT_EQ(doc->screenHeight, 11);
  EXPECT_EQ(ImageAt(doc.get(), 1)->width, 9);
  EXPECT_EQ(ImageAt(doc.get(), 1)->height, 5);
  EXPECT_EQ(ApplyUndo(*doc, false) & undo_hint::kPixels, undo_hint::kPixels);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  SetMaxPlaneBytes(16);
  EXPECT_EQ(IncreaseCanvas(*doc, 50, 50), 0);
  EXPECT_EQ(messages_.ids(), std::vector<int>{40182});
  EXPECT_EQ(UndoCount(), 0);  // the redo step went with the new command; the failed one left none
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
}

TEST_F(CanvasTest, DialogValues) {
  AnimPtr doc = test::NewDocument(10, 10, 8);
  test::AddFrame(*doc, 0, 0, 4, 7, [](int, int) { return 1; }).selected = 1;
  test::AddFrame(*doc, 0, 0, 6, 2, [](int, int) { return 1; });
  CanvasStart s = StartCanvas(*doc);
  EXPECT_TRUE(s.uniform);
  EXPECT_EQ(CanvasSizeText(s), "当前大小: 4 x 7");
  ImageAt(doc.get(), 1)->selected = 1;
  s = StartCanvas(*doc);
  EXPECT_FALSE(s.uniform);
  EXPECT_EQ(s.minWidth, 6);
  EXPECT_EQ(s.minHeight, 7);
  EXPECT_EQ(CanvasSizeText(s), "当前大小:变量(多选)");

  int32_t w = 5, h = 3;
  EXPECT_EQ(CheckCanvasSize(s, w, h), canvas_field::kWidth);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(CheckCanvasSize(s, w, h), canvas_field::kHeight);
  EXPECT_EQ(h, 7);
  EXPECT_EQ(CheckCanvasSize(s, w, h), 0);
}

}  // namespace fw
