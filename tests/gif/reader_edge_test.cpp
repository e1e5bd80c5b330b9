// The block structure around the image data: damaged, cut and unusual files, and how each
// field of a hand-built stream lands in the document.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "core/string_table.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif_bytes.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::Bytes;

// A complete 2x2 image (pixels 1 2 / 3 1) with no local table, minimum code size 2.
Bytes SmallImage(int left = 0, int top = 0, int width = 2, int height = 2) {
  return test::Image(left, top, width, height, 0x00, 2, test::LiteralCodes({1, 2, 3, 1}, 2));
}

ReadResult Read(const Bytes& b) { return ReadGifMemory(b.data(), b.size()); }

const std::vector<int> kDamagedAfterFrames = {msg::kGifDamaged, msg::kPartlyRead};

TEST(GifReaderStructure, EmptyDocumentIsACompleteRead) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(10, 8, 3);
  test::Put(gif, {0x3B});  // trailer straight after the global table
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(r.document->frameCount, 0);
  EXPECT_EQ(FirstImage(r.document.get()), nullptr);
  EXPECT_EQ(r.document->globalPalette->count(), 8);
  EXPECT_EQ(r.document->playCount, 1);
  EXPECT_TRUE(messages.ids().empty());
}

TEST(GifReaderStructure, ScreenFieldsAndBackgroundIndex) {
  test::ScopedMessages messages;
  {
    Bytes gif = test::GifHeader(300, 200, 2, /*background=*/3);
    gif[12] = 49;  // aspect byte
    test::Put(gif, {0x3B});
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(r.document->screenWidth, 300);
    EXPECT_EQ(r.document->screenHeight, 200);
    EXPECT_EQ(r.document->backgroundIndex, 3);
    EXPECT_EQ(r.document->aspectByte, 49);
  }
  {
    // Index 9 in a 4-entry table points nowhere.
    Bytes gif = test::GifHeader(4, 4, 2, /*background=*/9);
    test::Put(gif, {0x3B});
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(r.document->backgroundIndex, 0);
  }
  {
    // Without a global table there is nothing for the background to index.
    Bytes gif = test::GifHeader(4, 4, 0, /*background=*/2);
    test::Put(gif, {0x3B});
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(r.document->backgroundIndex, 0);
    EXPECT_FALSE(r.document->globalPalette);
  }
  {
    // A resolution field too small for the table is raised to match it.
    Bytes gif = test::GifHeader(4, 4, 8);
    gif[10] = 0x87;  // global table of 256 entries, resolution field 0
    test::Put(gif, {0x3B});
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(r.document->screenFlags, 0xF7);
  }
  EXPECT_TRUE(messages.ids().empty());
}

Bytes LoopBlock(const Bytes& subBlock) {
  Bytes b = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
  test::Put(b, subBlock);
  test::Put(b, {0x00});  // terminator
  return b;
}

TEST(GifReaderStructure, LoopCountBecomesPlayCount) {
  struct Case {
    Bytes subBlock;
    int playCount;
  };
  const Case cases[] = {
      {{3, 1, 0, 0}, 0},  // loop count 0: endless
      {{3, 1, 5, 0}, 6},  // five repeats after the first showing
      {{3, 1, 0x2C, 0x01}, 301},
  };
  for (const Case& c : cases) {
    test::ScopedMessages messages;
    Bytes gif = test::GifHeader(2, 2, 2);
    test::Put(gif, LoopBlock(c.subBlock));
    test::Put(gif, SmallImage());
    test::Put(gif, {0x3B});
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(r.document->playCount, c.playCount);
    // The loop block lives in the header only, not in the block list.
    EXPECT_TRUE(r.document->blockList->next->isImage());
    EXPECT_TRUE(messages.ids().empty());
  }
}

TEST(GifReaderStructure, LoopBlockWithALongerSubBlockIsAnOrdinaryApplicationBlock) {
  test::ScopedMessages messages;
  const Bytes block = LoopBlock({5, 1, 7, 0, 9, 9});
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, block);
  test::Put(gif, SmallImage());
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(r.document->playCount, 1);
  const GifBlock* first = r.document->blockList->next;
  ASSERT_EQ(first->kind, block_kind::kApplication);
  // Stored as the sub-blocks after the label, terminator included, ready to be written back.
  EXPECT_EQ(static_cast<const ExtensionBlock*>(first)->data, Bytes(block.begin() + 2, block.end()));
  EXPECT_TRUE(messages.ids().empty());
}

TEST(GifReaderStructure, LoopBlockWithoutTerminatorIsDamage) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, SmallImage());
  test::Put(gif, {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0});
  test::Put(gif, {0x07});  // where the zero terminator belongs
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadPartial);
  EXPECT_EQ(r.document->frameCount, 1);
  EXPECT_EQ(messages.ids(), kDamagedAfterFrames);
}

TEST(GifReaderStructure, LastGraphicControlBeforeAnImageApplies) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, test::GraphicControl(2 << 2 | 1, 10, 3));  // restore to background, transparent 3
  test::Put(gif, test::GraphicControl(1 << 2, 25, 0));      // leave in place, opaque
  test::Put(gif, SmallImage());
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  ASSERT_EQ(r.document->frameCount, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(f.delay, 25);
  EXPECT_EQ(f.disposal(), kDisposalLeave);
  EXPECT_FALSE(f.transparent());
  EXPECT_TRUE(messages.ids().empty());
}

TEST(GifReaderStructure, ExtensionsAndPaddingBetweenBlocks) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0});  // comment in two sub-blocks
  test::Put(gif, {0x00, 0x00});                                     // stray zeros are skipped
  test::Put(gif, {0x21, 0x01, 0});                                  // empty plain text: nothing kept
  test::Put(gif, SmallImage());
  test::Put(gif, {0x00});
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  const GifBlock* first = r.document->blockList->next;
  ASSERT_TRUE(IsComment(*first));
  EXPECT_EQ(CommentText(*first), "abc");
  EXPECT_EQ(static_cast<const ExtensionBlock*>(first)->data, (Bytes{3, 'a', 'b', 'c', 2, 'd', 'e', 0}));
  EXPECT_TRUE(first->next->isImage());
  EXPECT_EQ(first->next->next, nullptr);
  EXPECT_TRUE(messages.ids().empty());
}

// Whatever goes wrong after the first frame, the frames before it are kept and the file is
// reported as partly read; before any frame the read fails.
TEST(GifReaderStructure, DamageBetweenBlocksKeepsEarlierFrames) {
  struct Case {
    const char* name;
    Bytes after;  // what follows one good frame
  };
  const Case cases[] = {
      {"garbage byte", {0x55, 0x3B}},
      {"unknown extension label", {0x21, 0x42, 0x00, 0x3B}},
      {"missing trailer", {}},
      {"extension cut short", {0x21, 0xFE, 10, 'x'}},
      {"descriptor cut short", {0x2C, 0x00, 0x00}},
      {"graphic control cut short", {0x21, 0xF9, 4, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScopedMessages messages;
    Bytes gif = test::GifHeader(2, 2, 2);
    test::Put(gif, SmallImage());
    test::Put(gif, c.after);
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadPartial);
    EXPECT_EQ(r.document->frameCount, 1);
    EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), (std::vector<uint8_t>{1, 2, 3, 1}));
    EXPECT_EQ(messages.ids(), kDamagedAfterFrames);
    EXPECT_EQ(r.document->encodedSize, -1);

    test::ScopedMessages noFrames;
    Bytes bare = test::GifHeader(2, 2, 2);
    test::Put(bare, c.after);
    EXPECT_EQ(Read(bare).status, kReadFailed);
    EXPECT_EQ(noFrames.ids(), (std::vector<int>{msg::kGifDamaged, msg::kCouldNotRead}));
  }
}

TEST(GifReaderStructure, FileCutInTheThirdFrame) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(40, 40, 256);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 40, 40, [i](int x, int y) { return (x * y + i * 31) & 255; });
  MemorySink sink;
  ASSERT_EQ(WriteGifStream(sink, *doc, nullptr), 1);
  const test::WalkedGif walked = test::WalkGif(sink.bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  ASSERT_EQ(walked.images.size(), 3u);
  const size_t third = walked.images[2].at;
  ASSERT_GT(third, 0u);
  for (size_t cut : {third + 5, third + 40, sink.bytes.size() - 3, sink.bytes.size() - 1}) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    test::ScopedMessages cutMessages;
    const Bytes part(sink.bytes.begin(), sink.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    ReadResult r = Read(part);
    ASSERT_EQ(r.status, kReadPartial);
    EXPECT_EQ(r.document->frameCount, cut == sink.bytes.size() - 1 ? 3 : 2);
    EXPECT_EQ(cutMessages.ids(), kDamagedAfterFrames);
  }
}

// Frames reaching past the logical screen widen it, but only when the whole file was read:
// a damaged file is shown as it claims to be.
TEST(GifReaderStructure, FrameBeyondScreenEnlargesOnlyACompleteRead) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(10, 10, 2);
  test::Put(gif, SmallImage(0, 0));
  test::Put(gif, test::Image(5, 6, 8, 7, 0x00, 2, test::LiteralCodes(std::vector<int>(56, 2), 2)));
  Bytes complete = gif;
  test::Put(complete, {0x3B});
  ReadResult whole = Read(complete);
  ASSERT_EQ(whole.status, kReadComplete);
  EXPECT_EQ(whole.document->screenWidth, 13);
  EXPECT_EQ(whole.document->screenHeight, 13);
  ReadResult part = Read(gif);  // no trailer
  ASSERT_EQ(part.status, kReadPartial);
  EXPECT_EQ(part.document->frameCount, 2);
  EXPECT_EQ(part.document->screenWidth, 10);
  EXPECT_EQ(part.document->screenHeight, 10);
}

TEST(GifReaderStructure, HugeFrameIsRefusedQuickly) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(10, 10, 2);
  test::Put(gif, test::Image(0, 0, 65535, 65535, 0x00, 2, test::LiteralCodes({1, 2}, 2)));
  test::Put(gif, {0x3B});
  const auto start = std::chrono::steady_clock::now();
  ReadResult r = Read(gif);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.status, kReadFailed);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kNoMemoryFrameImage, msg::kCouldNotRead}));
  EXPECT_LT(took, std::chrono::milliseconds(500));
}

TEST(GifReaderStructure, ZeroSizedFrameReadsAsOnePixel) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(4, 4, 2);
  test::Put(gif, test::Image(1, 1, 0, 3, 0x00, 2, test::LiteralCodes({1, 2, 3}, 2)));
  test::Put(gif, SmallImage());
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  ASSERT_EQ(r.document->frameCount, 2);
  const ImageBlock& empty = *FirstImage(r.document.get());
  EXPECT_EQ(empty.width, 0);
  ASSERT_TRUE(empty.indexedImage);
  EXPECT_EQ(empty.indexedImage->width, 1);
  // It shows nothing: its one pixel is transparent.
  ASSERT_TRUE(empty.transparent());
  EXPECT_EQ(empty.indexedImage->row(0)[0], empty.transparentIndex);
  EXPECT_EQ(test::FramePixels(*ImageAt(r.document.get(), 1)), (std::vector<uint8_t>{1, 2, 3, 1}));
  EXPECT_TRUE(messages.ids().empty());
}

TEST(GifReaderStructure, LocalTableCutShortIsDamage) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, SmallImage());
  test::Put(gif, {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x87});  // announces a 256-entry local table
  test::Put(gif, {1, 2, 3, 4, 5, 6});                    // but the file ends after two entries
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadPartial);
  EXPECT_EQ(r.document->frameCount, 1);
  EXPECT_EQ(messages.ids(), kDamagedAfterFrames);
}

// A 1x10 interlaced image whose stream carries the values 0..9 in stream order: each row
// must receive the value of its place in the four passes.
TEST(GifReaderStructure, InterlacedRowsAndTheInterlacePreference) {
  std::vector<int> streamOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  Bytes gif = test::GifHeader(1, 10, 4);
  test::Put(gif, test::Image(0, 0, 1, 10, 0x40, 4, test::LiteralCodes(streamOrder, 4)));
  test::Put(gif, {0x3B});
  // Rows in stream order are 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const std::vector<uint8_t> rows = {0, 5, 3, 6, 2, 7, 4, 8, 1, 9};
  {
    test::ScopedMessages messages;
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), rows);
    EXPECT_FALSE(FirstImage(r.document.get())->interlaced());
    EXPECT_EQ(r.document->encodedSize, -1);
  }
  {
    test::ScopedMessages messages;
    Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), rows);
    EXPECT_TRUE(FirstImage(r.document.get())->interlaced());
    EXPECT_EQ(r.document->encodedSize, static_cast<int32_t>(gif.size()));
  }
}

TEST(GifReaderStructure, ReadsFromAFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, SmallImage());
  test::Put(gif, {0x3B});
  test::WriteBytes(dir.file("a.gif"), gif);
  ReadResult r = ReadGifPath(dir.file("a.gif"));
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(r.document->encodedSize, static_cast<int32_t>(gif.size()));
  gif[4] = '8';  // "GIF88a" is no GIF signature
  test::WriteBytes(dir.file("b.gif"), gif);
  EXPECT_EQ(ReadGifPath(dir.file("b.gif")).status, kReadFailed);
  EXPECT_EQ(ReadGifPath(dir.file("missing.gif")).status, kReadFailed);
  EXPECT_TRUE(messages.ids().empty());
}

}  // namespace
}  // namespace fw
