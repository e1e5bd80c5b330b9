// True-colour, alpha and display planes; the transparency display mask; clipping to the screen
// before saving; the packed DIB of a frame.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/dib_export.h"
#include "core/display_mask.h"
#include "core/frame_clip.h"
#include "core/frame_planes.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "support/test_support.h"

namespace fw {
namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(FramePlanes, StridesAndPaddingIgnored) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& three = test::AddFrame(*doc, 0, 0, 3, 2, [](int, int) { return 1; });
  ImageBlock& five = test::AddFrame(*doc, 0, 0, 5, 2, [](int, int) { return 1; });
  EXPECT_EQ(three.indexedImage->stride(), 4u);
  ASSERT_NE(AddTrueColour(three, false), nullptr);
  ASSERT_NE(AddTrueColour(five, false), nullptr);
  EXPECT_EQ(three.trueColour.size(), 12u * 2);
  EXPECT_EQ(five.trueColour.size(), 16u * 2);

  ASSERT_NE(AddAlpha(three, false), nullptr);
  EXPECT_FALSE(AlphaIsOpaque(three));  // zero-filled
  for (int y = 0; y < 2; ++y) std::memset(three.alpha.data() + 4 * y, 255, 3);  // padding stays 0
  EXPECT_TRUE(AlphaIsOpaque(three));
  three.alpha[4 + 1] = 254;
  EXPECT_FALSE(AlphaIsOpaque(three));
  EXPECT_TRUE(AlphaIsOpaque(five));  // no alpha plane at all
}

// The scan takes 16 pixels a step: whatever lies in the row padding or beyond the asked width
// must not count, and the highest pixel counts wherever it sits.
TEST(FramePlanes, HighestIndexSeesOnlyTheAskedPixels) {
  for (int width = 1; width <= 40; ++width) {
    for (int at = 0; at < width; at += 3) {
      IndexedImage image;
      image.width = width;
      image.height = 3;
      image.pixels.assign(image.stride() * 3, 250);  // padding holds more than any pixel
      for (int y = 0; y < 3; ++y) std::memset(image.row(y), 7, static_cast<size_t>(width));
      image.row(2)[at] = 90;
      EXPECT_EQ(HighestIndex(image, width, 3), 90) << width << " " << at;
      EXPECT_EQ(HighestIndex(image, width, 2), 7) << width;
      if (at > 0) {
        EXPECT_EQ(HighestIndex(image, at, 3), 7) << width << " " << at;
      }
    }
  }
}

TEST(FramePlanes, AlphaNeverOutlivesTrueColour) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 0; });
  EXPECT_EQ(AddAlpha(f, false), nullptr);
  std::vector<uint8_t> refused = SetAlphaPlane(f, std::vector<uint8_t>(8, 9));
  EXPECT_EQ(refused.size(), 8u);  // handed back, not installed
  EXPECT_TRUE(f.alpha.empty());

  AddTrueColour(f, false);
  AddAlpha(f, false);
  AllocDisplayColour(f);
  f.trueColour[0] = 77;
  EXPECT_EQ(AddTrueColour(f, false), f.trueColour.data());  // kept without replace
  EXPECT_EQ(f.trueColour[0], 77);
  EXPECT_FALSE(f.displayColour.empty());

  std::vector<uint8_t> old = SetTrueColourPlane(f, std::vector<uint8_t>(f.trueColour.size(), 5));
  EXPECT_EQ(old[0], 77);
  EXPECT_TRUE(f.displayColour.empty());
  EXPECT_FALSE(f.alpha.empty());
  SetTrueColourPlane(f, {});
  EXPECT_TRUE(f.alpha.empty());

  AddTrueColour(f, false);
  AddAlpha(f, false);
  AllocDisplayColour(f);
  AddTrueColour(f, true);  // replace releases alpha and display copy
  EXPECT_TRUE(f.alpha.empty());
  EXPECT_TRUE(f.displayColour.empty());
  AddAlpha(f, false);
  RemoveTrueColour(f);
  EXPECT_FALSE(f.hasTrueColour());
  EXPECT_TRUE(f.alpha.empty());
}

TEST(FramePlanes, ExpandToTrueColourUsesPaletteAndTransparency) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);  // entry i = (i, 255 - i, 7i)
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int y) { return x + 3 * y; });  // 5 is beyond the palette
  SetTransparentIndex(f, 2);
  SetTransparency(f, true);
  ASSERT_EQ(ExpandToTrueColour(f), 1);
  const uint8_t* row1 = f.trueColour.data() + Stride24(3);
  EXPECT_EQ(f.trueColour[3 * 1 + 0], 7);    // (1,0): blue of entry 1
  EXPECT_EQ(f.trueColour[3 * 1 + 1], 254);  // green
  EXPECT_EQ(f.trueColour[3 * 1 + 2], 1);    // red
  EXPECT_EQ(row1[3 * 0 + 1], 252);          // (0,1) = entry 3
  EXPECT_EQ(row1[3 * 2 + 0], 0);            // (2,1) = index 5: no palette entry, black
  EXPECT_EQ(row1[3 * 2 + 1], 0);
  EXPECT_EQ(f.alpha[2], 0);  // index 2 is transparent
  EXPECT_EQ(f.alpha[1], 255);
  // Expanding shows the palette colour at the transparent index, not the display colour.
  EXPECT_EQ(f.trueColour[3 * 2 + 2], 2);

  EXPECT_EQ(ExpandToTrueColour(f), 0);  // already there
  ImageBlock& opaque = test::AddFrame(*doc, 0, 0, 2, 1, [](int, int) { return 1; });
  ASSERT_EQ(ExpandToTrueColour(opaque), 1);
  EXPECT_TRUE(opaque.alpha.empty());
}

TEST(FramePlanes, BlackOutTransparentTouchesOnlyTransparentIndex) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x; });
  f.transparentIndex = 1;
  AddTrueColour(f, false);
  std::memset(f.trueColour.data(), 200, 9);
  BlackOutTransparent(f);
  EXPECT_EQ(f.trueColour[0], 200);
  EXPECT_EQ(f.trueColour[3], 0);
  EXPECT_EQ(f.trueColour[5], 0);
  EXPECT_EQ(f.trueColour[6], 200);
}

// Every width from one pixel to past two vector blocks, so each row ends in every kind of tail:
// whole blocks, a partial block read as a word, and the plane's last pixels read one by one.
TEST(DisplayMask, EveryWidthMarksExactlyTheKeyPixelsAndNothingPastTheRow) {
  test::ScopedMessages messages;
  for (int width = 1; width <= 140; ++width) {
    AnimPtr doc = test::NewDocument(width, 3, 4);
    ImageBlock& f = test::AddFrame(*doc, 0, 0, width, 3, [](int x, int y) { return (x * 7 + y * 3 + x / 5) % 4; });
    SetTransparentIndex(f, 1);
    SetTransparency(f, true);
    ASSERT_TRUE(HasDisplayMask(f));
    const size_t stride = MaskStride(width);
    for (int y = 0; y < 3; ++y)
      for (size_t byte = 0; byte < stride; ++byte) {
        uint8_t expected = 0;
        for (int bit = 0; bit < 8; ++bit) {
          const int x = static_cast<int>(byte * 8) + bit;
          if (x < width && f.indexedImage->row(y)[x] == 1) expected |= static_cast<uint8_t>(0x80 >> bit);
        }
        ASSERT_EQ(f.maskBitmap[static_cast<size_t>(y) * stride + byte], expected) << width << " " << y << " " << byte;
      }
  }
}

TEST(DisplayMask, FollowsTransparencyAndShowsPreferenceColour) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 35, 2, [](int x, int y) { return (x + y) % 3; });
  const uint32_t entry2 = ColourEntry((*doc->globalPalette)[2]);
  const uint32_t entry1 = ColourEntry((*doc->globalPalette)[1]);
  EXPECT_FALSE(HasDisplayMask(f));
  SetTransparentIndex(f, 2);
  EXPECT_FALSE(HasDisplayMask(f));  // transparency still off

  SetTransparency(f, true);
  ASSERT_TRUE(HasDisplayMask(f));
  EXPECT_EQ(f.maskBitmap.size(), MaskStride(35) * 2);
  EXPECT_EQ(MaskStride(35), 8u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 35; ++x) EXPECT_EQ(MaskIsSet(f, x, y), (x + y) % 3 == 2) << x << "," << y;
  EXPECT_FALSE(MaskIsSet(f, 35, 0));
  EXPECT_EQ(f.indexedImage->colourTable[2], kButtonFaceEntry);

  // Moving the index gives the old one its colour back.
  SetTransparentIndex(f, 1);
  EXPECT_EQ(f.indexedImage->colourTable[2], entry2);
  EXPECT_EQ(f.indexedImage->colourTable[1], kButtonFaceEntry);
  EXPECT_TRUE(MaskIsSet(f, 1, 0));
  EXPECT_FALSE(MaskIsSet(f, 2, 0));

  Prefs().write(pref::kStripTransparency, 0x02000000 | 0x00332211);  // custom colour, red first
  RebuildDisplayMasks(*doc);
  EXPECT_EQ(f.indexedImage->colourTable[1], 0x112233u);
  Prefs().write(pref::kStripTransparency, 0x01000000);  // the frame's own colour
  RebuildDisplayMasks(*doc);
  EXPECT_EQ(f.indexedImage->colourTable[1], entry1);
  EXPECT_TRUE(HasDisplayMask(f));

  Prefs().write(pref::kStripTransparency, 0);
  RebuildDisplayMasks(*doc);
  SetTransparency(f, false);
  EXPECT_FALSE(HasDisplayMask(f));
  EXPECT_EQ(f.indexedImage->colourTable[1], entry1);
}

TEST(DisplayMask, UnchangedValuesDoNotRebuild) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  SetTransparency(f, true);  // index 0
  EXPECT_TRUE(MaskIsSet(f, 0, 0));
  f.indexedImage->row(0)[1] = 0;
  SetTransparency(f, true);
  SetTransparentIndex(f, 0);
  EXPECT_FALSE(MaskIsSet(f, 1, 0));  // still the mask of the old pixels
  BuildDisplayMask(f);
  EXPECT_TRUE(MaskIsSet(f, 1, 0));
}

TEST(DisplayMask, BuiltForNewImagesCopiesAndSwaps) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& a = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  ImageBlock& b = test::AddFrame(*doc, 0, 0, 3, 1, [](int, int) { return 3; });
  SetTransparency(a, true);

  auto image = AllocIndexedImage(2, 1, a.activePalette);
  image->row(0)[0] = 1;  // pixel 1 stays 0 = transparent
  SetIndexedImage(a, std::move(image));
  EXPECT_FALSE(MaskIsSet(a, 0, 0));
  EXPECT_TRUE(MaskIsSet(a, 1, 0));
  EXPECT_EQ(a.indexedImage->colourTable[0], kButtonFaceEntry);

  ImagePtr copy = CopyImage(a, doc->globalPalette.get());
  EXPECT_TRUE(HasDisplayMask(*copy));
  EXPECT_TRUE(MaskIsSet(*copy, 1, 0));
  EXPECT_EQ(copy->indexedImage->colourTable[0], kButtonFaceEntry);

  SwapPixelContent(a, b);
  EXPECT_FALSE(HasDisplayMask(a));
  EXPECT_TRUE(HasDisplayMask(b));
  EXPECT_TRUE(MaskIsSet(b, 1, 0));
}

TEST(DisplayMask, TrueColourKeepsItsColours) {
  // Switching transparency on and off again must not lose colours: drawing uses the mask, so
  // the transparent pixels' true colours are not blacked out.
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  AddTrueColour(f, false);
  std::memset(f.trueColour.data(), 90, 6);
  SetTransparency(f, true);
  SetTransparency(f, false);
  EXPECT_EQ(f.trueColour[0], 90);
}

TEST(FrameClip, EmptyCropLeavesOneTransparentPixelWithMask) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 3, 4, 4, 4, [](int, int) { return 2; });
  ExpandToTrueColour(f);
  CropFrame(f, 1, 1, 0, 3);
  EXPECT_EQ(f.width, 1);
  EXPECT_EQ(f.height, 1);
  EXPECT_EQ(f.left, 0);
  EXPECT_EQ(f.top, 0);
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 0);
  EXPECT_EQ(f.indexedImage->row(0)[0], 0);
  EXPECT_FALSE(f.hasTrueColour());
  EXPECT_TRUE(MaskIsSet(f, 0, 0));

  ImageBlock& keyed = test::AddFrame(*doc, 3, 4, 4, 4, [](int, int) { return 2; });
  SetTransparentIndex(keyed, 3);
  SetTransparency(keyed, true);
  CropFrame(keyed, 0, 0, 2, -1);
  EXPECT_EQ(keyed.transparentIndex, 3);
  EXPECT_EQ(keyed.indexedImage->row(0)[0], 3);
}

TEST(FrameClip, CropRebuildsMaskFromCroppedRows) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 6, 3, [](int x, int y) { return x == 4 && y == 2 ? 1 : 0; });
  SetTransparentIndex(f, 1);
  SetTransparency(f, true);
  CropFrame(f, 3, 1, 2, 2);
  EXPECT_EQ(f.maskBitmap.size(), MaskStride(2) * 2);
  EXPECT_TRUE(MaskIsSet(f, 1, 1));
  EXPECT_FALSE(MaskIsSet(f, 0, 0));
  EXPECT_EQ(f.indexedImage->colourTable[1], kButtonFaceEntry);
}

TEST(FrameClip, OffsetsNearTheLimitsDoNotWrap) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(50, 50, 4);
  ImageBlock& far = test::AddFrame(*doc, 0, 0, 10, 10, [](int, int) { return 1; });
  far.left = INT32_MAX - 5;
  EXPECT_FALSE(FrameInsideScreen(far, 50, 50));
  EXPECT_EQ(ClipFrameToScreen(far, 50, 50), 0);
  EXPECT_EQ(far.width, 1);
  EXPECT_EQ(far.left, 0);

  ImageBlock& below = test::AddFrame(*doc, 0, 0, 10, 10, [](int, int) { return 1; });
  below.top = INT32_MIN + 3;
  ClipFrameToScreen(below, 50, 50);
  EXPECT_EQ(below.height, 1);
  EXPECT_TRUE(below.transparent());
}

TEST(ClipBeforeSave, AsksInteractivelyAndClipsInBatch) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(50, 50, 4);
  test::AddFrame(*doc, 0, 0, 50, 50, [](int, int) { return 1; });
  EXPECT_EQ(ClipBeforeSave(*doc, true), 1);
  EXPECT_TRUE(messages.ids().empty());  // nothing outside: no question

  ImageBlock& wide = test::AddFrame(*doc, -10, 0, 100, 5, [](int, int) { return 1; });
  messages.sink.scriptedAnswers = {Answer::No};
  EXPECT_EQ(ClipBeforeSave(*doc, true), 0);
  ASSERT_EQ(messages.ids(), std::vector<int>{msg::kClipFramesQuestion});
  EXPECT_TRUE(messages.sink.entries[0].question);
  EXPECT_EQ(messages.sink.entries[0].text, MessageText(msg::kClipFramesQuestion));
  EXPECT_EQ(wide.width, 100);  // cancelled: untouched

  messages.sink.scriptedAnswers = {Answer::Yes};
  EXPECT_EQ(ClipBeforeSave(*doc, true), 1);
  EXPECT_EQ(wide.width, 50);
  EXPECT_EQ(wide.left, 0);

  messages.sink.clear();
  ImageBlock& low = test::AddFrame(*doc, 0, 45, 5, 10, [](int, int) { return 1; });
  EXPECT_EQ(ClipBeforeSave(*doc, false), 1);
  EXPECT_TRUE(messages.ids().empty());
  EXPECT_EQ(low.height, 5);
}

TEST(ExportDib, BottomUpRowsAndPaletteColours) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 5);
  test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 0; });
  ImageBlock& f = test::AddFrame(*doc, 1, 1, 3, 2, [](int x, int y) { return x + 2 * y; });
  SetTransparentIndex(f, 4);
  SetTransparency(f, true);  // puts the display colour into the table at 4

  const std::vector<uint8_t> dib = ExportDib(*doc, 1);
  ASSERT_EQ(dib.size(), 40u + 5 * 4 + 2 * 4);
  EXPECT_EQ(Le32(dib, 0), 40u);
  EXPECT_EQ(Le32(dib, 4), 3u);
  EXPECT_EQ(Le32(dib, 8), 2u);  // positive: bottom-up
  EXPECT_EQ(dib[12], 1);
  EXPECT_EQ(dib[14], 8);
  EXPECT_EQ(Le32(dib, 16), 0u);  // no compression
  EXPECT_EQ(Le32(dib, 32), 5u);  // colours used
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Le32(dib, 40 + 4 * i), ColourEntry((*doc->globalPalette)[i])) << i;
  const size_t rows = 40 + 5 * 4;
  EXPECT_EQ(dib[rows + 0], 2);  // first stored row is the bottom one: 2, 3, 4
  EXPECT_EQ(dib[rows + 2], 4);
  EXPECT_EQ(dib[rows + 4], 0);  // then the top row: 0, 1, 2
  EXPECT_EQ(dib[rows + 6], 2);

  EXPECT_TRUE(ExportDib(*doc, 2).empty());
  EXPECT_TRUE(ExportDib(*doc, -1).empty());
  EXPECT_TRUE(messages.ids().empty());
}

}  // namespace
}  // namespace fw
