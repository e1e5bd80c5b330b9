// Committing a palette edit or a transparency choice: what the pixels, the transparency and
// the display colour tables look like afterwards, and after undo.
#include <gtest/gtest.h>

#include "core/display_mask.h"
#include "core/indexed_image.h"
#include "core/palette_edit.h"
#include "core/undo_history.h"
#include "support/test_support.h"

namespace fw {
namespace {

TEST(ApplyTransparencyChoice, LaterIndicesMergeIntoTheFirstThroughoutThePaddedRows) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(5, 2, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 5, 2, [](int x, int) { return x + 4; });  // 4..8
  // Padding bytes carry a merged index too: they must not survive as a stray colour.
  f.indexedImage->row(0)[6] = 7;
  ASSERT_TRUE(ApplyTransparencyChoice(f, {5, 6, 7}));
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 5);
  EXPECT_EQ(test::FramePixels(f), (std::vector<uint8_t>{4, 5, 5, 5, 8, 4, 5, 5, 5, 8}));
  EXPECT_EQ(f.indexedImage->row(0)[6], 5);
  EXPECT_TRUE(HasDisplayMask(f));
  EXPECT_TRUE(MaskIsSet(f, 2, 1));
  EXPECT_FALSE(MaskIsSet(f, 4, 1));
}

TEST(ApplyTransparencyChoice, OneIndexOrNoneSwitchesTransparency) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(4, 1, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 4, 1, [](int x, int) { return x; });
  // The stored index of an opaque frame, chosen again, turns transparency on.
  ASSERT_FALSE(f.transparent());
  EXPECT_TRUE(ApplyTransparencyChoice(f, {f.transparentIndex}));
  EXPECT_TRUE(f.transparent());
  EXPECT_FALSE(ApplyTransparencyChoice(f, {f.transparentIndex}));
  EXPECT_TRUE(ApplyTransparencyChoice(f, {3}));
  EXPECT_EQ(f.transparentIndex, 3);
  EXPECT_TRUE(MaskIsSet(f, 3, 0));
  EXPECT_FALSE(MaskIsSet(f, 0, 0));
  EXPECT_TRUE(ApplyTransparencyChoice(f, {}));
  EXPECT_FALSE(f.transparent());
  EXPECT_FALSE(ApplyTransparencyChoice(f, {}));
  EXPECT_EQ(test::FramePixels(f), (std::vector<uint8_t>{0, 1, 2, 3}));
}

TEST(ReplacePaletteEntries, TheTransparentEntryKeepsItsDisplayColourAlsoAfterUndo) {
  test::ScopedMessages messages;
  ClearUndo();
  AnimPtr doc = test::NewDocument(4, 1, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 4, 1, [](int x, int) { return x; });
  ASSERT_TRUE(ApplyTransparencyChoice(f, {2}));
  const uint32_t transparentShown = f.indexedImage->colourTable[2];
  std::array<Rgb, 256> entries{};
  doc->globalPalette->readEntries(0, 16, entries.data());
  const std::array<Rgb, 256> before = entries;
  EXPECT_FALSE(ReplacePaletteEntries(*doc, *doc->globalPalette, entries));
  entries[1] = {9, 8, 7};
  entries[2] = {1, 1, 1};
  ASSERT_NE(RecordUndo(undo_kind::kEditPalette, *doc, nullptr, {}, -1), nullptr);
  ASSERT_TRUE(ReplacePaletteEntries(*doc, *doc->globalPalette, entries));
  EXPECT_EQ(EntryColour(f.indexedImage->colourTable[1]), (Rgb{9, 8, 7}));
  EXPECT_EQ(f.indexedImage->colourTable[2], transparentShown);
  ApplyUndo(*doc, false);
  EXPECT_EQ((*doc->globalPalette)[1], before[1]);
  EXPECT_EQ((*doc->globalPalette)[2], before[2]);
  EXPECT_EQ(EntryColour(f.indexedImage->colourTable[1]), before[1]);
  EXPECT_EQ(f.indexedImage->colourTable[2], transparentShown);
  ClearUndo();
}

}  // namespace
}  // namespace fw
