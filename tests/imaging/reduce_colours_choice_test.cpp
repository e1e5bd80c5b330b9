// The reduce-colours dialog's arithmetic and its run on a copy of the document.
#include <gtest/gtest.h>

#include "core/progress.h"
#include "core/undo_history.h"
#include "imaging/reduce_colours_choice.h"
#include "support/test_support.h"

namespace fw {
namespace {

TEST(ReduceColoursChoice, StartsAtHalfWhatTheLargestPaletteIndexes) {
  for (auto [entries, target] : {std::pair{256, 128}, std::pair{129, 128}, std::pair{128, 64}, std::pair{65, 64},
                                 std::pair{17, 16}, std::pair{9, 8}, std::pair{8, 4}, std::pair{5, 4},
                                 std::pair{4, 2}, std::pair{3, 2}, std::pair{2, 2}})
    EXPECT_EQ(InitialColourTarget(entries), target) << entries;
}

TEST(ReduceColoursChoice, LargestPaletteCountsLocalPalettes) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 8, 8, [](int x, int) { return x; });
  EXPECT_EQ(LargestPaletteCount(*doc), 16);
  Rgb entries[40] = {};
  f.localPalette = Palette::Create(entries, 40);
  EXPECT_EQ(LargestPaletteCount(*doc), 40);
}

// Asks the operation to stop at its first step, as Escape in the progress window does.
class StoppingHook : public ProgressHook {
 public:
  void showWindow() override {}
  void setRange(int) override {}
  void setPosition(int) override { RequestProgressStop(); }
  void setText(const std::string&) override {}
  void pumpEvents() override { RequestProgressStop(); }
  void closeWindow() override {}
};

AnimPtr Gradient() {
  AnimPtr doc = test::NewDocument(32, 16, 256);
  for (int i = 0; i < 3; ++i)
    test::AddFrame(*doc, 0, 0, 32, 16, [i](int x, int y) { return (x * 8 + y + i * 16) % 256; });
  return doc;
}

TEST(ReducedCopy, NeverTouchesTheDocumentAndStopsCleanly) {
  test::ScopedMessages messages;
  AnimPtr doc = Gradient();
  AnimPtr before = CopyAnimation(*doc, nullptr);
  AnimPtr reduced = ReducedCopy(*doc, {16, true}, nullptr, nullptr);
  ASSERT_TRUE(reduced);
  EXPECT_LE(reduced->globalPalette->count(), 16);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");

  StoppingHook hook;
  auto progress = CreateProgress(&hook, 0);
  EXPECT_FALSE(ReducedCopy(*doc, {16, false}, nullptr, progress.get()));
  CloseProgress(progress.get());
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_TRUE(messages.ids().empty());
}

TEST(ReducedCopy, InstallingIsOneUndoStepThatRestoresExactly) {
  test::ScopedMessages messages;
  ClearUndo();
  AnimPtr doc = Gradient();
  AnimPtr before = CopyAnimation(*doc, nullptr);
  ColourLocks locks;
  locks.lock(200);
  InstallReducedCopy(*doc, ReducedCopy(*doc, {8, false}, &locks, nullptr));
  EXPECT_EQ(UndoCount(), 1);
  EXPECT_EQ(CurrentUndoKind(), undo_kind::kReducePalette);
  bool lockedKept = false;
  for (int i = 0; i < doc->globalPalette->count(); ++i)
    lockedKept |= (*doc->globalPalette)[i] == (*before->globalPalette)[200];
  EXPECT_TRUE(lockedKept);
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  ClearUndo();
}

}  // namespace
}  // namespace fw
