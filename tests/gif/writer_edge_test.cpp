// What the writer puts in the stream around the pixels: loop block, control data, sub-block
// sizes, measured sizes and single-frame export.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "core/string_table.h"
#include "core/write_failure.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif/lzw_encoder.h"
#include "gif_bytes.h"
#include "samples/sample_drawings.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::Bytes;

Bytes Write(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  return sink.bytes;
}

AnimPtr Checkerboard(int frames, int playCount) {
  AnimPtr doc = test::NewDocument(8, 8, 4);
  doc->playCount = playCount;
  for (int i = 0; i < frames; ++i) test::AddFrame(*doc, 0, 0, 8, 8, [i](int x, int y) { return (x + y + i) & 3; });
  return doc;
}

TEST(GifWriterStream, LoopBlockOnlyForRepeatingAnimations) {
  struct Case {
    int frames, playCount, loopCount;  // -1: no loop block
  };
  const Case cases[] = {{2, 1, -1}, {1, 0, -1}, {1, 5, -1}, {2, 0, 0}, {3, 3, 2}, {2, 70000, 0xFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.frames) + " frames, play count " + std::to_string(c.playCount));
    test::ScopedMessages messages;
    AnimPtr doc = Checkerboard(c.frames, c.playCount);
    const Bytes bytes = Write(*doc);
    const test::WalkedGif walked = test::WalkGif(bytes);
    ASSERT_TRUE(walked.ok) << walked.error;
    int loops = -1;
    for (const test::WalkedExtension& e : walked.extensions) {
      if (e.label != 0xFF) continue;
      ASSERT_EQ(e.subBlocks.size(), 2u);
      EXPECT_EQ(e.subBlocks[0], Bytes(std::begin("NETSCAPE2.0"), std::end("NETSCAPE2.0") - 1));
      ASSERT_EQ(e.subBlocks[1].size(), 3u);
      EXPECT_EQ(e.subBlocks[1][0], 1);
      loops = e.subBlocks[1][1] | e.subBlocks[1][2] << 8;
    }
    EXPECT_EQ(loops, c.loopCount);
    if (c.loopCount >= 0) {
      // Straight after the global table: 19 bytes ending in the terminator.
      const size_t at = 13 + walked.globalTableBytes;
      EXPECT_EQ(bytes[at], 0x21);
      EXPECT_EQ(bytes[at + 1], 0xFF);
      EXPECT_EQ(bytes[at + 18], 0x00);
      EXPECT_EQ(test::GiflibDecodeDetail(bytes).loopCount, c.loopCount);
    }
  }
}

// Always 89a, and every image gets its graphic control extension even when it has nothing
// to say, so that delays and disposal survive whatever the file was read from.
TEST(GifWriterStream, Gif89aWithAControlBlockPerImage) {
  test::ScopedMessages messages;
  AnimPtr doc = Checkerboard(3, 1);
  doc->backgroundIndex = 3;
  doc->aspectByte = 17;
  const Bytes bytes = Write(*doc);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
  EXPECT_EQ(bytes[11], 3);   // background index
  EXPECT_EQ(bytes[12], 17);  // aspect byte
  const test::WalkedGif walked = test::WalkGif(bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  ASSERT_EQ(walked.extensions.size(), 3u);
  for (const auto& e : walked.extensions) {
    EXPECT_EQ(e.label, 0xF9);
    ASSERT_EQ(e.subBlocks.size(), 1u);
    EXPECT_EQ(e.subBlocks[0].size(), 4u);
  }
  EXPECT_EQ(bytes.back(), 0x3B);
}

// The resolution field must cover the widest palette in the file, local ones included, and
// the document keeps the raised value.
TEST(GifWriterStream, ColourResolutionCoversEveryPalette) {
  test::ScopedMessages messages;
  AnimPtr doc = Checkerboard(2, 1);
  doc->screenFlags = 0x81;  // 4-entry global table, resolution field 0
  std::vector<Rgb> wide(100);
  SetLocalPalette(*ImageAt(doc.get(), 1), Palette::Create(wide.data(), 100));
  const Bytes bytes = Write(*doc);
  EXPECT_EQ(bytes[10], 0x80 | 6 << 4 | 1);  // 100 entries need 7 bits: field 6
  EXPECT_EQ(doc->screenFlags, bytes[10]);
}

TEST(GifWriterStream, DelaysFollowTheTimeBase) {
  struct Case {
    int timeBase, delay, written;
  };
  // A time base that does not divide 100 is scaled rather than rounded down to nothing; the
  // clamp keeps a delay too long for the 16-bit field from wrapping around to a short one.
  const Case cases[] = {{100, 10, 10}, {10, 3, 30}, {1000, 250, 25}, {100, 70000, 65535}, {100, -5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("time base " + std::to_string(c.timeBase) + ", delay " + std::to_string(c.delay));
    test::ScopedMessages messages;  // puts the time base back afterwards
    Prefs().write(pref::kTimeBase, static_cast<uint32_t>(c.timeBase));
    AnimPtr doc = Checkerboard(1, 1);
    FirstImage(doc.get())->delay = c.delay;
    const test::WalkedGif walked = test::WalkGif(Write(*doc));
    ASSERT_TRUE(walked.ok) << walked.error;
    const Bytes& gce = walked.extensions.at(0).subBlocks.at(0);
    EXPECT_EQ(gce[1] | gce[2] << 8, c.written);
  }
}

TEST(GifWriterStream, ImageDataComesInSubBlocksOf254Bytes) {
  test::ScopedMessages messages;
  AnimPtr doc = samples::VideoClip(160, 120, 3);
  const Bytes bytes = Write(*doc);
  const test::WalkedGif walked = test::WalkGif(bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  ASSERT_EQ(walked.images.size(), 3u);
  for (const test::WalkedImage& im : walked.images) {
    ASSERT_GT(im.subBlockLengths.size(), 10u);
    for (size_t i = 0; i + 1 < im.subBlockLengths.size(); ++i) EXPECT_EQ(im.subBlockLengths[i], 254);
    EXPECT_LE(im.subBlockLengths.back(), 254);
    EXPECT_GE(im.subBlockLengths.back(), 1);
  }
}

TEST(GifWriterStream, MeasuredSizeMatchesTheWrittenFile) {
  test::ScopedMessages messages;
  // Saving adds a signature comment the plain stream lacks; without it the two agree.
  Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true);
  test::TempDir dir;
  for (auto make : {+[] { return samples::Spinner(); }, +[] { return samples::CommentedAnimation(); },
                    +[] { return samples::BouncingBall(); }}) {
    AnimPtr doc = make();
    CountingSink counter;
    ASSERT_EQ(WriteGifStream(counter, *doc, nullptr), 1);
    const std::string path = dir.file("m.gif");
    ASSERT_EQ(WriteGifFile(path, *doc, nullptr), 1);
    const Bytes file = test::ReadBytes(path);
    EXPECT_EQ(counter.total(), static_cast<int64_t>(file.size()));
    EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int32_t>(file.size()));
    // Reading the file back measures it the same way.
    EXPECT_EQ(ReadGifMemory(file.data(), file.size()).document->encodedSize, static_cast<int32_t>(file.size()));
    // The frames' own measures add up to the image part of the stream.
    int64_t frames = 0;
    for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) frames += FrameEncodedSize(*f);
    const test::WalkedGif walked = test::WalkGif(file);
    int64_t rest = 13 + static_cast<int64_t>(walked.globalTableBytes) + 1;  // header, table, trailer
    for (const auto& e : walked.extensions) {
      if (e.label == 0xF9) continue;  // counted with the frames
      rest += 3;                        // introducer, label, terminator
      for (const Bytes& b : e.subBlocks) rest += 1 + static_cast<int64_t>(b.size());
    }
    EXPECT_EQ(frames + rest, static_cast<int64_t>(file.size()));
  }
  EXPECT_EQ(EncodedSize(nullptr, true, nullptr), -1);
}

TEST(GifWriterStream, UnwritablePathReportsTheTemporaryFile) {
  test::ScopedMessages messages;
  AnimPtr doc = Checkerboard(1, 1);
  EXPECT_EQ(WriteGifFile("/nonexistent-dir/x.gif", *doc, nullptr), 0);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kCannotSaveTemp}));
  ImageBlock& f = *FirstImage(doc.get());
  EXPECT_EQ(WriteFrameAsGif("/nonexistent-dir/y.gif", f), 0);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kCannotSaveTemp, msg::kCannotSaveTemp}));
}

// Sizes and positions are 16-bit fields: a frame at 65535 on a 65550-pixel screen would come
// out on a 14-pixel screen. The writer refuses instead, naming the limit, and the measured
// size stays unknown. A device that refuses bytes fails the write with its reason noted.
TEST(GifWriterStream, WhatSixteenBitsCannotHoldIsRefused) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(65535 + 15, 15, 4);
  test::AddFrame(*doc, 65535, 0, 15, 15, [](int x, int y) { return (x + y) & 3; });
  CountingSink counter;
  EXPECT_EQ(WriteGifStream(counter, *doc, nullptr), 0);
  EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), -1);
  EXPECT_EQ(WriteGifFile(dir.file("wide.gif"), *doc, nullptr), 0);
  ASSERT_EQ(messages.sink.texts().size(), 1u);
  EXPECT_NE(messages.sink.texts()[0].find("65535"), std::string::npos) << messages.sink.texts()[0];

  // The largest screen the fields hold, with a frame in its last column, is written as is.
  AnimPtr edge = test::NewDocument(65535, 2, 4);
  test::AddFrame(*edge, 65534, 1, 1, 1, [](int, int) { return 3; });
  EXPECT_EQ(WriteGifFile(dir.file("edge.gif"), *edge, nullptr), 1);
  ReadResult back = ReadGifPath(dir.file("edge.gif"));
  ASSERT_TRUE(back.document);
  EXPECT_EQ(back.document->screenWidth, 65535);
  EXPECT_EQ(FirstImage(back.document.get())->left, 65534);

  messages.sink.clear();
  TakeWriteError();
  EXPECT_EQ(WriteGifFile("/dev/full", *Checkerboard(2, 0), nullptr), 0);
  EXPECT_EQ(TakeWriteError(), ENOSPC);
  EXPECT_EQ(messages.ids(), std::vector<int>{});  // the save step names the target
}

// Indexes beyond what the palette's bit width can code would otherwise turn into control
// codes; the writer widens the code size for such a frame.
TEST(GifWriterStream, IndexesBeyondThePaletteWidenTheCodeSize) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(16, 4, 4);
  test::AddFrame(*doc, 0, 0, 16, 4, [](int x, int y) { return x + 16 * y; });  // up to 63
  const Bytes bytes = Write(*doc);
  const test::WalkedGif walked = test::WalkGif(bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  EXPECT_EQ(walked.images[0].minCodeSize, 6);
  const test::PeerGif peer = test::GiflibDecode(bytes);
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_EQ(peer.frames[0].pixels, test::FramePixels(*FirstImage(doc.get())));
}

TEST(GifWriterStream, FrameAsGifKeepsOffsetAndLeavesTheDocumentAlone) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = samples::Spinner();  // frame 6 has its own palette
  std::vector<const ImageBlock*> before;
  for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) before.push_back(f);
  const Palette* global = doc->globalPalette.get();

  for (int index : {0, 6, 11}) {
    SCOPED_TRACE("frame " + std::to_string(index));
    ImageBlock& frame = *ImageAt(doc.get(), index);
    frame.left = 7;
    frame.top = 3;
    const Palette* local = frame.localPalette.get();
    const std::string path = dir.file("frame.gif");
    ASSERT_EQ(WriteFrameAsGif(path, frame), 1);

    // The document is exactly as it was: same blocks, same order, same palettes.
    std::vector<const ImageBlock*> after;
    for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) after.push_back(f);
    EXPECT_EQ(after, before);
    for (const GifBlock* b = doc->blockList; b->next; b = b->next) EXPECT_EQ(b->next->prev, b);
    EXPECT_EQ(doc->frameCount, 12);
    EXPECT_EQ(doc->globalPalette.get(), global);
    EXPECT_EQ(frame.localPalette.get(), local);

    const Bytes file = test::ReadBytes(path);
    const test::WalkedGif walked = test::WalkGif(file);
    ASSERT_TRUE(walked.ok) << walked.error;
    ASSERT_EQ(walked.images.size(), 1u);
    EXPECT_EQ(walked.images[0].left, 7);
    EXPECT_EQ(walked.images[0].top, 3);
    EXPECT_EQ(walked.screenWidth, frame.width);
    EXPECT_EQ(walked.screenHeight, frame.height);
    // The palette in effect travels as the global table.
    const test::PeerGifDetail detail = test::GiflibDecodeDetail(file);
    ASSERT_TRUE(detail.ok) << detail.error;
    EXPECT_EQ(detail.globalMap.size(), 3u * 256);
    EXPECT_EQ(detail.globalMap[3], frame.activePalette->operator[](1).r);
    EXPECT_EQ(detail.loopCount, -1);
    const test::PeerGif peer = test::GiflibDecode(file);
    EXPECT_EQ(peer.frames.at(0).pixels, test::FramePixels(frame));
  }
  // The document still writes and measures normally.
  EXPECT_GT(EncodedSize(doc.get(), true, nullptr), 0);
  EXPECT_TRUE(messages.ids().empty());
}

}  // namespace
}  // namespace fw

namespace fw {

// Code that installs palettes without the setters must still produce a readable file: the
// table bits follow the tables actually written.
TEST(GifWriter, TableBitsFollowThePalettesWritten) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(4, 4, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 4, 4, [](int x, int) { return x; });
  const Rgb five[5] = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}};
  f.localPalette = Palette::Create(five, 5);  // descriptor byte left stale on purpose
  f.activePalette = f.localPalette.get();
  doc->screenFlags = 0;  // likewise for the global table
  MemorySink sink;
  ASSERT_EQ(WriteGifStream(sink, *doc, nullptr), 1);
  ReadResult back = ReadGifMemory(sink.bytes.data(), sink.bytes.size());
  ASSERT_EQ(back.status, kReadComplete);
  ImageBlock& g = *FirstImage(back.document.get());
  ASSERT_NE(g.localPalette, nullptr);
  EXPECT_EQ(g.localPalette->count(), 8);
  EXPECT_EQ((*g.localPalette)[4], (Rgb{5, 5, 5}));
  EXPECT_EQ(back.document->globalPalette->count(), 4);
  EXPECT_EQ(test::FramePixels(g), test::FramePixels(f));
}

}  // namespace fw

namespace fw {
namespace {

// Frames are encoded ahead on several cores and in stretches: the stream must still be the
// frames one after another, each exactly as the single-frame writer makes it, however many
// stretches the animation spans.
TEST(GifWriterStream, FramesEncodedAheadComeOutInOrderByteForByte) {
  AnimPtr doc = test::NewDocument(64, 48, 256);
  for (int i = 0; i < 150; ++i) {
    const int w = 1 + (i * 37) % 64, h = 1 + (i * 11) % 48;
    test::AddFrame(*doc, 0, 0, w, h, [i](int x, int y) { return (x * x + y * (i + 3)) & 255; });
  }
  const Bytes stream = Write(*doc);
  Bytes frames;
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
    MemorySink one;
    ASSERT_TRUE(WriteGifFrame(one, *f));
    frames.insert(frames.end(), one.bytes.begin(), one.bytes.end());
  }
  ASSERT_GT(stream.size(), frames.size());
  EXPECT_TRUE(std::equal(frames.begin(), frames.end(), stream.end() - 1 - std::ptrdiff_t(frames.size())));
  EXPECT_EQ(stream.back(), 0x3B);
}

// Frames that fill their LZW table, each written with the rule it carries: every measure of
// the document agrees with the file under either rule, the rule changes the stream, and the
// frames encoded ahead on other threads come out as one frame at a time writes them.
TEST(GifWriterStream, EachFramesClearingRuleIsWhatEveryMeasureAndTheFileUse) {
  test::ScopedMessages messages;
  Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true);
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(200, 150, 256);
  for (int i = 0; i < 12; ++i) {
    uint32_t state = static_cast<uint32_t>(i) + 1;
    test::AddFrame(*doc, 0, 0, 200, 150, [&](int x, int y) {
      state = state * 1103515245u + 12345u;
      // Noise in one half of the colours, then in the other: the full table stops paying.
      return (y < 40 ? 0 : 128) + static_cast<int>((state >> 16) % 128) * ((x + i) % 3 != 0);
    });
  }
  int32_t sizes[2] = {};
  for (const bool measured : {false, true}) {
    SCOPED_TRACE(measured ? "tables kept" : "clear when full");
    int k = 0;
    for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f), ++k)
      f->lzwClearRule = static_cast<uint8_t>(measured ? 1 + k % (kLzwClearRules - 1) : 0);
    const std::string path = dir.file("m.gif");
    ASSERT_EQ(WriteGifFile(path, *doc, nullptr), 1);
    const Bytes file = test::ReadBytes(path);
    sizes[measured] = EncodedSize(doc.get(), true, nullptr);
    EXPECT_EQ(sizes[measured], static_cast<int32_t>(file.size()));
    // A copy measures the same: what the optimize dialog's trial measures.
    AnimPtr copy = CopyAnimation(*doc, nullptr);
    EXPECT_EQ(EncodedSize(copy.get(), true, nullptr), sizes[measured]);
    Bytes frames;
    for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
      MemorySink one;
      ASSERT_TRUE(WriteGifFrame(one, *f));
      const auto size = static_cast<int64_t>(one.bytes.size());
      EXPECT_EQ(FrameEncodedSize(*f), size);
      // A measurement bounded below the frame's size stops early and says it reached the
      // bound; one bounded above it measures exactly. Stopping leaves nothing behind.
      EXPECT_EQ(FrameEncodedSizeBelow(*f, size + 1), size);
      EXPECT_EQ(FrameEncodedSizeBelow(*f, size), size);
      EXPECT_EQ(FrameEncodedSizeBelow(*f, size / 3), size / 3);
      EXPECT_TRUE(ThreadLzwEncoder().gaveUp());
      MemorySink again;
      ASSERT_TRUE(WriteGifFrame(again, *f));
      EXPECT_EQ(again.bytes, one.bytes);
      frames.insert(frames.end(), one.bytes.begin(), one.bytes.end());
    }
    ASSERT_GT(file.size(), frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), file.end() - 1 - std::ptrdiff_t(frames.size())));
    ReadResult back = ReadGifMemory(file.data(), file.size());
    ASSERT_EQ(back.status, kReadComplete);
    EXPECT_EQ(back.document->encodedSize, sizes[measured]);
  }
  EXPECT_NE(sizes[1], sizes[0]);
}

}  // namespace
}  // namespace fw
