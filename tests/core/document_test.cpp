// The animation document: list structure, names, palettes, copies and measures.
#include <gtest/gtest.h>

#include "core/anim_document.h"
#include "core/frame_clip.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "support/test_support.h"

namespace fw {
namespace {

AnimPtr ThreeFrames() {
  AnimPtr doc = test::NewDocument(20, 10, 4);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, i, 0, 5, 5, [i](int, int) { return i; });
  return doc;
}

}  // namespace

TEST(Document, EmptyDocumentMeasures) {
  AnimPtr doc = CreateAnimation();
  EXPECT_EQ(FirstImage(doc.get()), nullptr);
  EXPECT_EQ(LastBlock(doc.get()), doc->blockList);
  EXPECT_EQ(ImageExtent(*doc).right, 0);
  EXPECT_EQ(ImageExtent(*doc).bottom, 0);
  EXPECT_EQ(TotalDuration(*doc), 0);
  EXPECT_EQ(doc->encodedSize, -1);
  EXPECT_EQ(doc->selectionAnchor, -1);
  EXPECT_EQ(ImageAt(doc.get(), 0), nullptr);
  EXPECT_EQ(NextImage(nullptr), nullptr);
}

TEST(Document, ImageAtBoundsAndNavigationSkipExtensions) {
  AnimPtr doc = ThreeFrames();
  InsertAfter(ImageAt(doc.get(), 0), CreateExtensionBlock(block_kind::kComment).release());
  EXPECT_EQ(ImageAt(doc.get(), -1), nullptr);
  EXPECT_EQ(ImageAt(doc.get(), doc->frameCount), nullptr);
  EXPECT_EQ(NextImage(ImageAt(doc.get(), 0)), ImageAt(doc.get(), 1));
  EXPECT_EQ(PrevImage(ImageAt(doc.get(), 1)), ImageAt(doc.get(), 0));
  EXPECT_EQ(ImageAt(doc.get(), 0)->next->kind, block_kind::kComment);
}

TEST(Document, ReverseKeepsCommentBetweenFramesAndIgnoresSingleFrame) {
  AnimPtr one = test::NewDocument(4, 4, 2);
  test::AddFrame(*one, 0, 0, 1, 1, [](int, int) { return 0; });
  EXPECT_EQ(ReverseBlocks(*one), 0);

  AnimPtr doc = test::NewDocument(4, 4, 4);
  ImageBlock& a = test::AddFrame(*doc, 0, 0, 1, 1, [](int, int) { return 1; });
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kComment));
  ImageBlock& b = test::AddFrame(*doc, 0, 0, 1, 1, [](int, int) { return 2; });
  EXPECT_EQ(ReverseBlocks(*doc), 1);
  EXPECT_EQ(ImageAt(doc.get(), 0), &b);
  EXPECT_EQ(b.next->kind, block_kind::kComment);
  EXPECT_EQ(b.next->next, &a);
  EXPECT_EQ(a.prev->prev, &b);
  EXPECT_EQ(a.next, nullptr);
}

TEST(Document, FrameNamesAreSharedReferences) {
  test::ScopedMessages messages;
  AnimPtr doc = ThreeFrames();
  ImageBlock& f = *FirstImage(doc.get());
  EXPECT_EQ(FrameName(f), MessageText(msg::kNoName));
  EXPECT_EQ(SetFrameName(f, "walk"), 1);
  const Atom atom = f.name;
  EXPECT_EQ(AtomRefCount(atom), 1);
  EXPECT_EQ(SetFrameName(f, "walk"), 0);
  EXPECT_EQ(AtomRefCount(atom), 1);

  BlockPtr copy = CopyBlock(f, doc->globalPalette.get());
  EXPECT_EQ(AtomRefCount(atom), 2);
  RemoveBlock(&f);  // frees the original
  EXPECT_EQ(FrameName(static_cast<ImageBlock&>(*copy)), "walk");
  EXPECT_EQ(AtomRefCount(atom), 1);
}

TEST(Document, NamesFromFileKeepExistingNames) {
  test::ScopedMessages messages;
  AnimPtr doc = ThreeFrames();
  SetFrameName(*ImageAt(doc.get(), 1), "kept");
  NameFramesFromFile(*doc, "dir/sub\\walk.gif");
  EXPECT_EQ(FrameName(*ImageAt(doc.get(), 0)), "walk.gif - 帧 1");
  EXPECT_EQ(FrameName(*ImageAt(doc.get(), 1)), "kept");
  EXPECT_EQ(FrameName(*ImageAt(doc.get(), 2)), "walk.gif - 帧 3");

  AnimPtr single = test::NewDocument(2, 2, 2);
  test::AddFrame(*single, 0, 0, 1, 1, [](int, int) { return 0; });
  NameFramesFromFile(*single, "/x/still.gif");
  EXPECT_EQ(FrameName(*FirstImage(single.get())), "still.gif");
}

TEST(Document, LocalPaletteFlags) {
  AnimPtr doc = ThreeFrames();
  ImageBlock& f = *FirstImage(doc.get());
  SetInterlaced(f, true);
  const Rgb five[5] = {};
  EXPECT_EQ(SetLocalPalette(f, Palette::Create(five, 5)), nullptr);
  EXPECT_EQ(f.descriptorFlags, 0x80 | 0x40 | 2);
  EXPECT_EQ(f.activePalette, f.localPalette.get());
  auto old = SetLocalPalette(f, nullptr);
  EXPECT_NE(old, nullptr);
  EXPECT_EQ(f.descriptorFlags, 0x40);

  SetGlobalPalette(*doc, Palette::Create(five, 5));
  EXPECT_EQ(doc->screenFlags, 0x80 | 2 << 4 | 2);
  SetGlobalPalette(*doc, nullptr);
  EXPECT_EQ(doc->screenFlags, 0);
}

TEST(Document, TimeBaseConversions) {
  EXPECT_EQ(GifDelayToDocument(7, 100), 7);
  EXPECT_EQ(GifDelayFromDocument(7, 100), 7);
  EXPECT_EQ(GifDelayToDocument(25, 10), 2);
  EXPECT_EQ(GifDelayFromDocument(2, 10), 20);
  // A base finer than hundredths must not divide by zero.
  EXPECT_EQ(GifDelayToDocument(25, 1000), 250);
  EXPECT_EQ(GifDelayFromDocument(250, 1000), 25);
}

TEST(Document, CopyAnimationIsDeepAndPointsAtItsOwnPalettes) {
  AnimPtr doc = ThreeFrames();
  const Rgb two[2] = {{1, 2, 3}, {4, 5, 6}};
  SetLocalPalette(*ImageAt(doc.get(), 2), Palette::Create(two, 2));
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kComment));
  AnimPtr copy = CopyAnimation(*doc, nullptr);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->frameCount, 3);
  EXPECT_EQ(copy->screenFlags, doc->screenFlags);
  EXPECT_NE(copy->globalPalette.get(), doc->globalPalette.get());
  EXPECT_EQ(ImageAt(copy.get(), 0)->activePalette, copy->globalPalette.get());
  ImageBlock& local = *ImageAt(copy.get(), 2);
  EXPECT_EQ(local.activePalette, local.localPalette.get());
  EXPECT_NE(local.localPalette.get(), ImageAt(doc.get(), 2)->localPalette.get());
  EXPECT_EQ(test::FramePixels(local), test::FramePixels(*ImageAt(doc.get(), 2)));
  EXPECT_EQ(LastBlock(copy.get())->kind, block_kind::kComment);
  // Changing the copy leaves the original alone.
  local.indexedImage->row(0)[0] = 99;
  EXPECT_EQ(ImageAt(doc.get(), 2)->indexedImage->row(0)[0], 2);
}

TEST(Document, AppendChainMovesBlocksAndCounts) {
  AnimPtr doc = ThreeFrames();
  doc->nextInChain = ThreeFrames();
  doc->nextInChain->nextInChain = ThreeFrames();
  AppendChain(*doc);
  EXPECT_EQ(doc->frameCount, 9);
  EXPECT_EQ(doc->nextInChain, nullptr);
  int n = 0;
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) ++n;
  EXPECT_EQ(n, 9);
}

TEST(Document, AppenderAndChainsKeepBothDirectionsLinked) {
  // An appender starts after what is there, extensions and empty chains included.
  AnimPtr doc = ThreeFrames();
  AppendBlock(*doc, CreateExtensionBlock(block_kind::kComment));
  BlockAppender out(*doc);
  for (int i = 3; i < 6; ++i) {
    ImagePtr frame = CreateSizedImage(1, 1);
    frame->left = i;
    out.append(std::move(frame));
    out.append(nullptr);
  }
  doc->nextInChain = CreateAnimation();
  doc->nextInChain->nextInChain = ThreeFrames();
  doc->nextInChain->nextInChain->nextInChain = ThreeFrames();
  AppendChain(*doc);
  AppendBlock(*doc, CreateSizedImage(1, 1));
  EXPECT_EQ(doc->frameCount, 13);
  std::vector<int> lefts;
  GifBlock* last = doc->blockList;
  for (GifBlock* b = doc->blockList->next; b; b = b->next) {
    EXPECT_EQ(b->prev, last);
    last = b;
    if (b->isImage()) lefts.push_back(static_cast<ImageBlock*>(b)->left);
  }
  EXPECT_EQ(LastBlock(doc.get()), last);
  EXPECT_EQ(lefts, (std::vector<int>{0, 1, 2, 3, 4, 5, 0, 1, 2, 0, 1, 2, 0}));
}

TEST(Document, LongListsAreFreedWithoutRecursion) {
  AnimPtr doc = CreateAnimation();
  GifBlock* tail = doc->blockList;
  for (int i = 0; i < 200000; ++i) {
    GifBlock* b = CreateExtensionBlock(block_kind::kComment).release();
    InsertAfter(tail, b);
    tail = b;
  }
  doc.reset();  // would overflow the stack if blocks freed each other recursively
  SUCCEED();
}

TEST(Document, CommentText) {
  test::ScopedMessages messages;
  auto comment = CreateExtensionBlock(block_kind::kComment);
  EXPECT_EQ(SetCommentText(*comment, "hello"), 1);
  EXPECT_EQ(CommentText(*comment), "hello");
  EXPECT_EQ(comment->data, (std::vector<uint8_t>{5, 'h', 'e', 'l', 'l', 'o', 0}));
  auto app = CreateExtensionBlock(block_kind::kApplication);
  EXPECT_EQ(SetCommentText(*app, "x"), 0);
  EXPECT_EQ(CommentText(*app), "");
}

TEST(Document, ColourUsageCountsGlobalPaletteFramesOnly) {
  AnimPtr doc = test::NewDocument(4, 4, 4);
  test::AddFrame(*doc, 0, 0, 3, 2, [](int x, int) { return x; });  // 3-wide: row padding must not count
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 3; });
  const Rgb two[2] = {};
  SetLocalPalette(local, Palette::Create(two, 2));
  ImageBlock& trans = test::AddFrame(*doc, 0, 0, 2, 1, [](int, int) { return 1; });
  SetTransparency(trans, true);
  SetTransparentIndex(trans, 1);
  ComputeColourUsage(*doc, doc->colourUsage.data(), true);
  EXPECT_EQ(doc->colourUsage[0], 2);
  EXPECT_EQ(doc->colourUsage[1], 4);
  EXPECT_EQ(doc->colourUsage[2], 2);
  EXPECT_EQ(doc->colourUsage[3], 0);
  std::array<int32_t, 256> visible{};
  ComputeVisibleColourUsage(*doc, visible.data(), true);
  EXPECT_EQ(visible[1], 2);
}

TEST(FrameClip, CropAndClipToScreen) {
  AnimPtr doc = test::NewDocument(50, 50, 256);
  ImageBlock& f = test::AddFrame(*doc, -10, 5, 100, 3, [](int x, int y) { return (x + y) & 255; });
  EXPECT_EQ(ClipFrameToScreen(f, 50, 50), 0);
  EXPECT_EQ(f.left, 0);
  EXPECT_EQ(f.width, 50);
  EXPECT_EQ(f.indexedImage->width, 50);
  EXPECT_EQ(f.indexedImage->row(2)[0], 12);  // old (10, 2)
  EXPECT_EQ(f.indexedImage->row(2)[49], 61);

  ImageBlock& outside = test::AddFrame(*doc, 60, 0, 5, 5, [](int, int) { return 7; });
  ClipFrameToScreen(outside, 50, 50);
  EXPECT_EQ(outside.width, 1);
  EXPECT_EQ(outside.left, 0);
  EXPECT_TRUE(outside.transparent());
  EXPECT_EQ(outside.indexedImage->row(0)[0], outside.transparentIndex);
  EXPECT_EQ(ClipFrameToScreen(outside, 50, 50), 1);
}

TEST(FrameClip, CropMovesTrueColourAndAlphaRows) {
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 5, 4, [](int x, int y) { return (x + y) & 3; });
  f.trueColour.assign(Stride24(5) * 4, 0);
  f.alpha.assign(Stride8(5) * 4, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      f.trueColour[y * Stride24(5) + 3 * x] = static_cast<uint8_t>(10 * y + x);
      f.alpha[y * Stride8(5) + x] = static_cast<uint8_t>(100 + 10 * y + x);
    }
  CropFrame(f, 2, 1, 3, 2);
  EXPECT_EQ(f.left, 2);
  EXPECT_EQ(f.top, 1);
  EXPECT_EQ(f.trueColour.size(), Stride24(3) * 2);
  EXPECT_EQ(f.trueColour[Stride24(3) + 3 * 2], 24);  // old (4, 2)
  EXPECT_EQ(f.alpha[Stride8(3) + 1], 123);           // old (3, 2)
  EXPECT_EQ(f.indexedImage->row(1)[2], (4 + 2) & 3);
}

}  // namespace fw
