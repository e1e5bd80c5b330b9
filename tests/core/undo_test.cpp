// Undo and redo: every step is checked by comparing the whole document with a copy taken
// before (and after) the command.
#include <gtest/gtest.h>

#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "support/test_support.h"

namespace fw {
namespace {

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override {
    ClearUndo();
    SetUndoCopyFailureHook(nullptr);
  }

  static AnimPtr Frames(int n) {
    AnimPtr doc = test::NewDocument(20, 20, 8);
    for (int i = 0; i < n; ++i) {
      ImageBlock& f = test::AddFrame(*doc, i, 0, 3, 2, [i](int x, int) { return (x + i) & 7; });
      f.delay = 10 + i;
      SetFrameName(f, ("f" + std::to_string(i)).c_str());
    }
    return doc;
  }

  AnimPtr Copy(const AnimHeader& doc) { return CopyAnimation(doc, nullptr); }

  // Undo must restore `before`, Redo must restore `after`.
  void ExpectRoundTrip(AnimHeader& doc, const AnimHeader& before) {
    AnimPtr after = Copy(doc);
    ApplyUndo(doc, false);
    EXPECT_EQ(test::DocumentDifference(doc, before), "");
    ApplyUndo(doc, true);
    EXPECT_EQ(test::DocumentDifference(doc, *after), "");
  }

  test::ScopedMessages messages_;
};

std::string FrameNames(const AnimHeader& doc) {
  std::string names;
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) names += FrameName(*f) + " ";
  return names;
}

}  // namespace

TEST_F(UndoTest, MoveOneFrameForwardAndBack) {
  AnimPtr doc = Frames(5);
  AnimPtr before = Copy(*doc);
  ASSERT_NE(RecordUndo(undo_kind::kMoveFrame, *doc, nullptr, {}, 1 | 4 << 16), nullptr);
  MoveFrameToIndex(*doc, 1, 3);  // dragged from index 1 to position 4
  EXPECT_EQ(FrameNames(*doc), "f0 f2 f3 f1 f4 ");
  ExpectRoundTrip(*doc, *before);
}

TEST_F(UndoTest, DeleteSeveralFramesAndInsertCompactly) {
  AnimPtr doc = Frames(6);
  AnimPtr before = Copy(*doc);
  // The command deletes frames 1, 2 and 4 and hands them over in list order.
  GifBlock* chain = nullptr;
  GifBlock* tail = nullptr;
  for (int index : {1, 2, 4}) {
    ImageBlock* f = ImageAt(doc.get(), index - (chain ? (index == 2 ? 1 : 2) : 0));
    f->formerIndex = index;
    GifBlock* b = DetachBlock(f).release();
    --doc->frameCount;
    if (!chain) chain = b;
    else tail->next = b;
    tail = b;
  }
  EXPECT_EQ(FrameNames(*doc), "f0 f3 f5 ");
  ASSERT_NE(RecordUndo(undo_kind::kDeleteFrames, *doc, nullptr, BlockChain(chain), 0), nullptr);
  ExpectRoundTrip(*doc, *before);

  // Insert three frames at position 2 without touching palette or screen: compact record.
  AnimPtr beforeInsert = Copy(*doc);
  UndoPtr pending = PrepareUndo(undo_kind::kInsertFrames, *doc, 2);
  for (int i = 0; i < 3; ++i) {
    ImagePtr f = CopyImage(*ImageAt(doc.get(), 0), doc->globalPalette.get());
    SetFrameName(*f, ("new" + std::to_string(i)).c_str());
    InsertAfter(ImageAt(doc.get(), 1 + i), f.release());
    ++doc->frameCount;
  }
  UndoRecord* r = CommitUndoInsert(std::move(pending), *doc);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->snapshot, nullptr);
  EXPECT_EQ(r->value, 3 * 65536 + 2);
  ExpectRoundTrip(*doc, *beforeInsert);
}

TEST_F(UndoTest, InsertThatChangesThePaletteKeepsASnapshot) {
  AnimPtr doc = Frames(2);
  AnimPtr before = Copy(*doc);
  UndoPtr pending = PrepareUndo(undo_kind::kPaste, *doc, 0);
  const Rgb grey[2] = {{9, 9, 9}, {1, 1, 1}};
  SetGlobalPalette(*doc, Palette::Create(grey, 2));
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->activePalette = doc->globalPalette.get();
  UndoRecord* r = CommitUndoInsert(std::move(pending), *doc);
  ASSERT_NE(r->snapshot, nullptr);
  ExpectRoundTrip(*doc, *before);
}

TEST_F(UndoTest, TimingPaletteTransparencyAndPixelEdits) {
  AnimPtr doc = Frames(3);
  AnimPtr before = Copy(*doc);
  RecordUndo(undo_kind::kEditTiming, *doc, nullptr, {}, 0);
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->delay = 99;
  ExpectRoundTrip(*doc, *before);

  before = Copy(*doc);
  RecordUndo(undo_kind::kEditPalette, *doc, nullptr, {}, -1);
  const Rgb red{255, 0, 0};
  doc->globalPalette->writeEntries(3, 1, &red);
  ExpectRoundTrip(*doc, *before);
  EXPECT_EQ(UndoMenuTexts().undoText, "撤消 编辑调色板(&U)\tCtrl+Z");

  before = Copy(*doc);
  // The command switched transparency on, so undoing it switches it off (mode 1).
  RecordUndo(undo_kind::kEditTransparency, *doc, nullptr, {}, 1 | 1 << 16);
  SetTransparency(*ImageAt(doc.get(), 1), true);
  ExpectRoundTrip(*doc, *before);

  before = Copy(*doc);
  RecordUndo(undo_kind::kEditPixels, *doc, nullptr, {}, 2);
  ImageAt(doc.get(), 2)->indexedImage->row(1)[2] = 6;
  ExpectRoundTrip(*doc, *before);
}

TEST_F(UndoTest, SnapshotKindsAndFrameProperties) {
  AnimPtr doc = Frames(4);
  AnimPtr before = Copy(*doc);
  RecordUndo(undo_kind::kReduceFrames, *doc, nullptr, {}, 0);
  RemoveBlock(ImageAt(doc.get(), 1));
  --doc->frameCount;
  ExpectRoundTrip(*doc, *before);

  before = Copy(*doc);
  RecordUndo(undo_kind::kFrameProperties, *doc, nullptr, {}, 0 | 2 << 16);
  ImageBlock& f = *ImageAt(doc.get(), 2);
  f.delay = 77;
  SetDisposal(f, kDisposalPrevious);
  f.left = 9;
  ExpectRoundTrip(*doc, *before);

  before = Copy(*doc);
  RecordUndo(undo_kind::kAllFrameProperties, *doc, nullptr, {}, 0);
  for (ImageBlock* g = FirstImage(doc.get()); g; g = NextImage(g)) SetInterlaced(*g, true);
  ExpectRoundTrip(*doc, *before);

  before = Copy(*doc);
  RecordUndo(undo_kind::kReorder, *doc, nullptr, {}, 0);
  ReverseBlocks(*doc);
  ExpectRoundTrip(*doc, *before);
}

TEST_F(UndoTest, MoveGroupOfFrames) {
  AnimPtr doc = Frames(6);
  AnimPtr before = Copy(*doc);
  // Frames 0 and 3 dragged to position 5 (between f4 and f5).
  RecordUndo(undo_kind::kMoveFrames, *doc, nullptr, {}, 5 | 2 << 16, {0, 3});
  ImageBlock* anchor = ImageAt(doc.get(), 4);
  GifBlock* f3 = DetachBlock(ImageAt(doc.get(), 3)).release();
  GifBlock* f0 = DetachBlock(ImageAt(doc.get(), 0)).release();
  InsertAfter(anchor, f3);
  InsertAfter(anchor, f0);
  EXPECT_EQ(FrameNames(*doc), "f1 f2 f4 f0 f3 f5 ");
  ExpectRoundTrip(*doc, *before);
}

TEST_F(UndoTest, LevelsLimitAndRedoDiscard) {
  AnimPtr doc = Frames(2);
  Prefs().write(pref::kUndoLevels, 2);
  for (int i = 0; i < 3; ++i) RecordUndo(undo_kind::kNop, *doc, nullptr, {}, i);
  EXPECT_EQ(UndoCount(), 2);
  ApplyUndo(*doc, false);
  EXPECT_EQ(NextRedoKind(), undo_kind::kNop);
  RecordUndo(undo_kind::kReorder, *doc, nullptr, {}, 0);
  EXPECT_EQ(NextRedoKind(), 0);
  EXPECT_FALSE(UndoMenuTexts().redoEnabled);
  EXPECT_EQ(UndoMenuTexts().redoText, "取消 恢复(&R)\tCtrl+Y");

  Prefs().write(pref::kUndoLevels, 0);
  ClearUndo();
  EXPECT_EQ(RecordUndo(undo_kind::kReorder, *doc, nullptr, {}, 0), nullptr);
  EXPECT_FALSE(UndoMenuTexts().undoEnabled);
}

TEST_F(UndoTest, MemoryPressureDropsOldRecordsAndWarnsOnce) {
  AnimPtr doc = Frames(3);
  for (int i = 0; i < 4; ++i) RecordUndo(undo_kind::kUnoptimize, *doc, nullptr, {}, 0);
  ASSERT_EQ(UndoCount(), 4);
  // Copies fail until only one old record is left, then succeed.
  SetUndoCopyFailureHook([] { return UndoCount() > 1; });
  ASSERT_NE(RecordUndo(undo_kind::kUnoptimize, *doc, nullptr, {}, 0), nullptr);
  EXPECT_EQ(UndoCount(), 2);
  EXPECT_EQ(messages_.ids(), std::vector<int>{40281});
  SetUndoCopyFailureHook([] { return UndoCount() > 1; });
  RecordUndo(undo_kind::kUnoptimize, *doc, nullptr, {}, 0);
  EXPECT_EQ(messages_.ids().size(), 1u);  // warned only once until the history is cleared
  // The newest action stays undoable.
  AnimPtr before = Copy(*doc);
  SetUndoCopyFailureHook(nullptr);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
}

}  // namespace fw

namespace fw {

TEST(UndoTrueColour, AddAndRemoveTrueColourPlane) {
  test::ScopedMessages messages;
  ClearUndo();
  AnimPtr doc = test::NewDocument(4, 4, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int) { return x; });
  SetTransparency(f, true);
  RecordUndo(undo_kind::kAddTrueColour, *doc, nullptr, {}, 0);
  ApplyUndo(*doc, false);  // nothing to remove yet
  ApplyUndo(*doc, true);
  ASSERT_TRUE(f.hasTrueColour());
  EXPECT_EQ(f.trueColour[3 + 2], (*doc->globalPalette)[1].r);
  EXPECT_EQ(f.alpha.size(), Stride8(3) * 2);
  ApplyUndo(*doc, false);
  EXPECT_FALSE(f.hasTrueColour());
  EXPECT_TRUE(f.alpha.empty());
  ClearUndo();
}

}  // namespace fw
