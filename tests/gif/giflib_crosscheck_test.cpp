// giflib as the independent judge of our codec: it must decode everything our writer
// produces to the same pixels and metadata, and our reader must decode what giflib writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_encoder.h"
#include "gif_bytes.h"
#include "samples/sample_drawings.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::Bytes;

Bytes WriteToMemory(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  return sink.bytes;
}

// The palette as the file stores it: its entries, then black up to the power of two.
Bytes PaddedTriplets(const Palette& palette) {
  Bytes out;
  for (int i = 0; i < palette.count(); ++i) test::Put(out, {palette[i].r, palette[i].g, palette[i].b});
  out.resize(3u << PaletteBits(palette.count()), 0);
  return out;
}

Bytes Triplets(const Palette& palette) {
  Bytes out;
  for (int i = 0; i < palette.count(); ++i) test::Put(out, {palette[i].r, palette[i].g, palette[i].b});
  return out;
}

std::vector<const ImageBlock*> Frames(const AnimHeader& doc) {
  std::vector<const ImageBlock*> out;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) out.push_back(f);
  return out;
}

// Checks that giflib sees in `bytes` exactly the document: geometry, pixels, palettes,
// control data, loop count and comments.
void ExpectGiflibSees(const AnimHeader& doc, const Bytes& bytes) {
  const test::PeerGif peer = test::GiflibDecode(bytes);
  ASSERT_TRUE(peer.ok) << peer.error;
  const test::PeerGifDetail detail = test::GiflibDecodeDetail(bytes);
  ASSERT_TRUE(detail.ok) << detail.error;
  const auto frames = Frames(doc);
  ASSERT_EQ(peer.frames.size(), frames.size());
  EXPECT_EQ(peer.screenWidth, doc.screenWidth);
  EXPECT_EQ(peer.screenHeight, doc.screenHeight);
  if (doc.globalPalette) {
    EXPECT_EQ(detail.globalMap, PaddedTriplets(*doc.globalPalette));
  }
  EXPECT_EQ(detail.loopCount, doc.playCount == 1 || doc.frameCount < 2 ? -1 : std::max(0, doc.playCount - 1));
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const ImageBlock& f = *frames[i];
    const test::PeerFrame& p = peer.frames[i];
    EXPECT_EQ(p.left, f.left);
    EXPECT_EQ(p.top, f.top);
    EXPECT_EQ(p.width, f.width);
    EXPECT_EQ(p.height, f.height);
    EXPECT_EQ(p.interlaced, f.interlaced());
    EXPECT_EQ(p.pixels, test::FramePixels(f));
    const test::PeerFrameDetail& d = detail.frames[i];
    EXPECT_EQ(d.localMap, f.localPalette ? PaddedTriplets(*f.localPalette) : Bytes());
    EXPECT_EQ(d.delay, f.delay);  // the default time base is hundredths, as in the file
    EXPECT_EQ(d.disposal, f.disposal());
    EXPECT_EQ(d.transparentIndex, f.transparent() ? f.transparentIndex : -1);
  }
  std::vector<std::string> comments;
  for (const GifBlock* b = doc.blockList->next; b; b = b->next)
    if (IsComment(*b)) comments.push_back(CommentText(*b));
  EXPECT_EQ(detail.comments, comments);
}

// Our own reader must give back the same frames too.
void ExpectOurReaderSees(const AnimHeader& doc, const Bytes& bytes) {
  ReadResult back = ReadGifMemory(bytes.data(), bytes.size());
  ASSERT_EQ(back.status, kReadComplete);
  const auto ours = Frames(doc);
  const auto theirs = Frames(*back.document);
  ASSERT_EQ(theirs.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    EXPECT_EQ(theirs[i]->left, ours[i]->left);
    EXPECT_EQ(theirs[i]->top, ours[i]->top);
    EXPECT_EQ(test::FramePixels(*theirs[i]), test::FramePixels(*ours[i]));
    EXPECT_EQ(theirs[i]->delay, ours[i]->delay);
    EXPECT_EQ(theirs[i]->controlFlags, ours[i]->controlFlags);
  }
  EXPECT_EQ(back.document->playCount, doc.frameCount > 1 ? doc.playCount : 1);
}

struct Sample {
  const char* name;
  std::function<AnimPtr()> make;
};

TEST(GiflibDecodesOurOutput, SampleAnimations) {
  const Sample samples[] = {
      {"BouncingBall", [] { return samples::BouncingBall(); }},
      {"Spinner", [] { return samples::Spinner(); }},
      {"InterlacedPicture", [] { return samples::InterlacedPicture(); }},
      {"CommentedAnimation", [] { return samples::CommentedAnimation(); }},
      {"VideoClip", [] { return samples::VideoClip(80, 60, 6); }},
      {"ScreenCapture", [] { return samples::ScreenCapture(480, 320, 3); }},
      {"Sprite", [] { return samples::Sprite(40, 40, 5); }},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.name);
    test::ScopedMessages messages;
    // Keep the interlace flags as read, so the read-back comparison sees them too.
    Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
    AnimPtr doc = s.make();
    const Bytes bytes = WriteToMemory(*doc);
    ExpectGiflibSees(*doc, bytes);
    ExpectOurReaderSees(*doc, bytes);
    EXPECT_TRUE(messages.ids().empty());
  }
}

TEST(GiflibDecodesOurOutput, RandomFrameReachesTwelveBitsAndClearsAFullTable) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(100, 100, 256);
  uint32_t state = 99;
  test::AddFrame(*doc, 0, 0, 100, 100, [&](int, int) { return (state = state * 1103515245u + 12345u) >> 24; });
  const Bytes bytes = WriteToMemory(*doc);
  const test::WalkedGif walked = test::WalkGif(bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  ASSERT_EQ(walked.images.size(), 1u);
  EXPECT_EQ(walked.images[0].minCodeSize, 8);
  const test::CodeStats stats = test::ScanCodes(walked.images[0].lzw, 8);
  EXPECT_FALSE(stats.overran);
  EXPECT_TRUE(stats.endCodeSeen);
  EXPECT_EQ(stats.maxWidth, 12);
  // 10,000 random pixels fill the 3,840 free entries more than once.
  EXPECT_GE(stats.fullTableClears, 1);
  EXPECT_EQ(stats.clears, stats.fullTableClears + 1);  // plus the opening clear
  ExpectGiflibSees(*doc, bytes);
}

void UseClearRule(AnimHeader& doc, int rule) {
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) f->lzwClearRule = static_cast<uint8_t>(rule);
}

test::CodeStats FrameCodes(const Bytes& bytes, size_t frame) {
  const test::WalkedGif walked = test::WalkGif(bytes);
  EXPECT_TRUE(walked.ok) << walked.error;
  if (!walked.ok || frame >= walked.images.size()) return {};
  return test::ScanCodes(walked.images[frame].lzw, walked.images[frame].minCodeSize);
}

// A long frame whose table fills early and then stays full to the end (the same noise over
// and over, which the full table codes well): no clear after the first, codes of 12 bits for
// most of the frame, and both decoders see every pixel.
TEST(GiflibDecodesOurOutput, AFullTableKeptToTheEnd) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(240, 400, 256);
  test::AddFrame(*doc, 0, 0, 240, 400, [](int x, int y) {
    uint32_t state = static_cast<uint32_t>((y % 12) * 240 + x) * 2654435761u;  // 12 rows repeated
    state ^= state >> 13;
    return static_cast<int>((state * 1103515245u) >> 24);
  });
  UseClearRule(*doc, kLzwClearRules - 1);  // keeps the table while it pays
  const Bytes bytes = WriteToMemory(*doc);
  const test::CodeStats stats = FrameCodes(bytes, 0);
  EXPECT_EQ(stats.clears, 1);
  EXPECT_EQ(stats.maxWidth, 12);
  EXPECT_GT(stats.codes, 4096 * 3);  // most of them coded with the full table
  EXPECT_TRUE(stats.endCodeSeen);
  ExpectGiflibSees(*doc, bytes);
  ExpectOurReaderSees(*doc, bytes);
  EXPECT_TRUE(messages.ids().empty());
}

// Every clear rule over every shape of stream: the drawings, interlaced rows, small code
// sizes, and content that changes once the table is full so that it clears mid-frame.
TEST(GiflibDecodesOurOutput, KeptTablesDecodeToTheSamePixels) {
  test::ScopedMessages messages;
  Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
  std::vector<std::pair<std::string, AnimPtr>> docs;
  docs.emplace_back("VideoClip", samples::VideoClip(160, 120, 3));
  docs.emplace_back("ScreenCapture", samples::ScreenCapture(480, 320, 2));
  docs.emplace_back("InterlacedPicture", samples::InterlacedPicture());
  for (const int colours : {4, 16, 256}) {
    AnimPtr doc = test::NewDocument(300, 200, colours);
    uint32_t state = static_cast<uint32_t>(colours);
    auto noise = [&](int span) { return static_cast<int>(((state = state * 1103515245u + 12345u) >> 16) % span); };
    // Half the colours while the table fills, then the other half: the full table stops paying.
    test::AddFrame(*doc, 0, 0, 300, 200, [&](int, int y) { return y < 60 ? noise(colours / 2) : colours / 2 + noise(colours / 2); });
    ImageBlock& laced = test::AddFrame(*doc, 10, 5, 211, 173, [&](int x, int y) { return (x / 7 + y / 3) % 2 ? noise(colours) : x % colours; });
    laced.descriptorFlags |= 0x40;
    docs.emplace_back("noise of " + std::to_string(colours) + " colours", std::move(doc));
  }
  for (int rule = 1; rule < kLzwClearRules; ++rule) {
    for (auto& [name, doc] : docs) {
      SCOPED_TRACE(name + ", rule " + std::to_string(rule));
      UseClearRule(*doc, rule);
      const Bytes bytes = WriteToMemory(*doc);
      ExpectGiflibSees(*doc, bytes);
      ExpectOurReaderSees(*doc, bytes);
    }
  }
  // The 256-colour noise frame reached a full table and cleared after it.
  {
    UseClearRule(*docs.back().second, kLzwClearRules - 1);
    const Bytes bytes = WriteToMemory(*docs.back().second);
    const test::CodeStats stats = FrameCodes(bytes, 0);
    EXPECT_GE(stats.fullTableClears, 1);
    EXPECT_FALSE(stats.overran);
  }
  EXPECT_TRUE(messages.ids().empty());
}

// Frames that use only low indexes of a 256-colour palette, written from the narrowest code
// size those allow (two colours take 2 bits: GIF has no 1-bit code size), and one edited
// afterwards to an index the narrow size cannot hold, which widens it again.
TEST(GiflibDecodesOurOutput, NarrowCodeSizesFollowTheHighestIndex) {
  test::ScopedMessages messages;
  Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
  Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true);
  AnimPtr doc = test::NewDocument(97, 61, 256);
  for (const int colours : {2, 3, 16, 100, 256}) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 97, 61, [&](int x, int y) { return (x * 7 + y * 13 + x * y) % colours; });
    f.narrowLzwCodes = true;
    if (colours == 16) f.descriptorFlags |= 0x40;
  }
  const auto codeSizes = [](const Bytes& bytes) {
    std::vector<int> sizes;
    for (const auto& image : test::WalkGif(bytes).images) sizes.push_back(image.minCodeSize);
    return sizes;
  };
  Bytes bytes = WriteToMemory(*doc);
  EXPECT_EQ(codeSizes(bytes), (std::vector<int>{2, 2, 4, 7, 8}));
  ExpectGiflibSees(*doc, bytes);
  ExpectOurReaderSees(*doc, bytes);
  EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int64_t>(bytes.size()));

  ImageAt(doc.get(), 0)->indexedImage->row(60)[96] = 9;
  doc->encodedSize = -1;
  bytes = WriteToMemory(*doc);
  EXPECT_EQ(codeSizes(bytes), (std::vector<int>{4, 2, 4, 7, 8}));
  ExpectGiflibSees(*doc, bytes);
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->narrowLzwCodes = false;
  EXPECT_EQ(codeSizes(WriteToMemory(*doc)), (std::vector<int>{8, 8, 8, 8, 8}));
  EXPECT_TRUE(messages.ids().empty());
}

// Palette sizes around the powers of two: the minimum code size byte, the size codes and
// the padding of both tables must agree with each other and with what giflib reads.
TEST(GiflibDecodesOurOutput, PaletteSizesSetCodeSizeAndPaddedTables) {
  for (int colours : {2, 3, 5, 17, 200, 256}) {
    SCOPED_TRACE("colours " + std::to_string(colours));
    test::ScopedMessages messages;
    const int bits = PaletteBits(colours);
    AnimPtr doc = test::NewDocument(20, 10, colours);
    test::AddFrame(*doc, 0, 0, 20, 10, [&](int x, int y) { return (x + 20 * y) % colours; });
    ImageBlock& local = test::AddFrame(*doc, 0, 0, 20, 10, [&](int x, int y) { return (x * 3 + y) % colours; });
    std::vector<Rgb> entries(static_cast<size_t>(colours));
    for (int i = 0; i < colours; ++i) entries[static_cast<size_t>(i)] = {uint8_t(255 - i), uint8_t(i / 2), 77};
    SetLocalPalette(local, Palette::Create(entries.data(), colours));
    const Bytes bytes = WriteToMemory(*doc);

    const test::WalkedGif walked = test::WalkGif(bytes);
    ASSERT_TRUE(walked.ok) << walked.error;
    EXPECT_EQ(walked.screenFlags & 0x87, 0x80 | (bits - 1));
    EXPECT_EQ(walked.globalTableBytes, 3u << bits);
    ASSERT_EQ(walked.images.size(), 2u);
    EXPECT_EQ(walked.images[0].localTableBytes, 0u);
    EXPECT_EQ(walked.images[1].flags & 0x87, 0x80 | (bits - 1));
    EXPECT_EQ(walked.images[1].localTableBytes, 3u << bits);
    for (const test::WalkedImage& im : walked.images) EXPECT_EQ(im.minCodeSize, std::max(2, bits));
    ExpectGiflibSees(*doc, bytes);
    ExpectOurReaderSees(*doc, bytes);
  }
}

TEST(GiflibDecodesOurOutput, NoGlobalPaletteWritesNoTable) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 8, 8, [](int x, int y) { return (x ^ y) & 3; });
  static const Rgb four[4] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  SetLocalPalette(f, Palette::Create(four, 4));
  SetGlobalPalette(*doc, nullptr);
  const Bytes bytes = WriteToMemory(*doc);
  const test::WalkedGif walked = test::WalkGif(bytes);
  ASSERT_TRUE(walked.ok) << walked.error;
  EXPECT_EQ(walked.screenFlags & 0x80, 0);
  EXPECT_EQ(walked.globalTableBytes, 0u);
  EXPECT_EQ(bytes[13], 0x21);  // the graphic control extension follows the screen at once
  ExpectGiflibSees(*doc, bytes);
}

// Rows are padded to four bytes in memory; the padding must never reach the stream. It is
// filled with a value no pixel has so that a leak would show.
TEST(GiflibDecodesOurOutput, OddWidthsAndSinglePixels) {
  for (int width : {1, 2, 3, 5, 7, 13, 33, 101}) {
    for (int height : {1, 2, 9}) {
      SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
      test::ScopedMessages messages;
      AnimPtr doc = test::NewDocument(width, height, 16);
      ImageBlock& f = test::AddFrame(*doc, 0, 0, width, height, [](int x, int y) { return (x * 5 + y * 3) % 15; });
      for (int y = 0; y < height; ++y)
        for (size_t x = static_cast<size_t>(width); x < f.indexedImage->stride(); ++x) f.indexedImage->row(y)[x] = 15;
      const Bytes bytes = WriteToMemory(*doc);
      ExpectGiflibSees(*doc, bytes);
      ExpectOurReaderSees(*doc, bytes);
    }
  }
}

TEST(GiflibDecodesOurOutput, InterlacedFramesOfEveryPassShape) {
  std::vector<int> heights = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 37};
  for (int height : heights) {
    SCOPED_TRACE("height " + std::to_string(height));
    test::ScopedMessages messages;
    Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
    AnimPtr doc = test::NewDocument(7, height, 256);
    // Each row its own value, so a row landing in the wrong place is visible.
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 7, height, [](int x, int y) { return y * 6 + (x & 1); });
    SetInterlaced(f, true);
    const Bytes bytes = WriteToMemory(*doc);
    const test::WalkedGif walked = test::WalkGif(bytes);
    ASSERT_TRUE(walked.ok) << walked.error;
    EXPECT_TRUE(walked.images[0].flags & 0x40);
    ExpectGiflibSees(*doc, bytes);
    ExpectOurReaderSees(*doc, bytes);
  }
}

// --- streams written by giflib, read by us ---

std::vector<uint8_t> Noise(size_t n, int bits, uint32_t seed) {
  std::vector<uint8_t> out(n);
  for (uint8_t& v : out) v = static_cast<uint8_t>(((seed = seed * 1664525u + 1013904223u) >> 16) & ((1 << bits) - 1));
  return out;
}

// Noise is poor LZW input; runs give the decoder long strings and KwKwK codes to resolve.
std::vector<uint8_t> Runs(size_t n, int bits, uint32_t seed) {
  std::vector<uint8_t> out(n);
  uint8_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    if ((seed >> 28) == 0) v = static_cast<uint8_t>((seed >> 8) & ((1 << bits) - 1));
    out[i] = v;
  }
  return out;
}

TEST(OurReaderDecodesGiflibOutput, EveryBitDepth) {
  for (int bits = 1; bits <= 8; ++bits) {
    SCOPED_TRACE("bits " + std::to_string(bits));
    test::ScopedMessages messages;
    test::PeerEncodeFrame noisy{0, 0, 61, 47, false, 0, Noise(61 * 47, bits, static_cast<uint32_t>(bits))};
    test::PeerEncodeFrame runs{0, 0, 61, 47, false, 0, Runs(61 * 47, bits, static_cast<uint32_t>(bits) + 7)};
    const Bytes bytes = test::GiflibEncode(61, 47, bits, {noisy, runs});
    ASSERT_FALSE(bytes.empty());
    const test::WalkedGif walked = test::WalkGif(bytes);
    ASSERT_TRUE(walked.ok) << walked.error;
    ASSERT_EQ(walked.images.size(), 2u);
    EXPECT_EQ(walked.images[0].minCodeSize, std::max(2, bits));

    ReadResult r = ReadGifMemory(bytes.data(), bytes.size());
    ASSERT_EQ(r.status, kReadComplete);
    ASSERT_EQ(r.document->frameCount, 2);
    ASSERT_TRUE(r.document->globalPalette);
    EXPECT_EQ(Triplets(*r.document->globalPalette), test::GiflibRampTriplets(bits));
    EXPECT_EQ(test::FramePixels(*ImageAt(r.document.get(), 0)), noisy.pixels);
    EXPECT_EQ(test::FramePixels(*ImageAt(r.document.get(), 1)), runs.pixels);
    EXPECT_EQ(r.document->encodedSize, static_cast<int32_t>(bytes.size()));
    EXPECT_TRUE(messages.ids().empty());
  }
}

TEST(OurReaderDecodesGiflibOutput, InterlacedFrames) {
  for (int height : {1, 2, 3, 4, 5, 8, 9, 10, 17, 37}) {
    SCOPED_TRACE("height " + std::to_string(height));
    test::ScopedMessages messages;
    test::PeerEncodeFrame frame{0, 0, 11, height, true, 0, {}};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < 11; ++x) frame.pixels.push_back(static_cast<uint8_t>(y * 4 + x % 3));
    const Bytes bytes = test::GiflibEncode(11, height, 8, {frame});
    {
      ReadResult r = ReadGifMemory(bytes.data(), bytes.size());
      ASSERT_EQ(r.status, kReadComplete);
      const ImageBlock& f = *FirstImage(r.document.get());
      EXPECT_EQ(test::FramePixels(f), frame.pixels);
      // By default interlacing is dropped on load; the document then no longer matches the
      // file byte for byte, so its size is left unknown.
      EXPECT_FALSE(f.interlaced());
      EXPECT_EQ(r.document->encodedSize, -1);
    }
    Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
    ReadResult kept = ReadGifMemory(bytes.data(), bytes.size());
    ASSERT_EQ(kept.status, kReadComplete);
    EXPECT_TRUE(FirstImage(kept.document.get())->interlaced());
    EXPECT_EQ(test::FramePixels(*FirstImage(kept.document.get())), frame.pixels);
    EXPECT_EQ(kept.document->encodedSize, static_cast<int32_t>(bytes.size()));
  }
}

TEST(OurReaderDecodesGiflibOutput, OffsetsAndLocalPalettes) {
  test::ScopedMessages messages;
  const std::vector<test::PeerEncodeFrame> frames = {
      {0, 0, 50, 40, false, 0, Runs(50 * 40, 6, 1)},
      {10, 5, 20, 30, false, 3, Noise(20 * 30, 3, 2)},
      {49, 39, 1, 1, false, 1, {1}},
      {3, 7, 33, 17, true, 8, Runs(33 * 17, 8, 3)},
  };
  const Bytes bytes = test::GiflibEncode(50, 40, 6, frames);
  ReadResult r = ReadGifMemory(bytes.data(), bytes.size());
  ASSERT_EQ(r.status, kReadComplete);
  ASSERT_EQ(r.document->frameCount, static_cast<int>(frames.size()));
  EXPECT_EQ(r.document->screenWidth, 50);
  EXPECT_EQ(r.document->screenHeight, 40);
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const ImageBlock& f = *ImageAt(r.document.get(), static_cast<int>(i));
    EXPECT_EQ(f.left, frames[i].left);
    EXPECT_EQ(f.top, frames[i].top);
    EXPECT_EQ(f.width, frames[i].width);
    EXPECT_EQ(f.height, frames[i].height);
    EXPECT_EQ(test::FramePixels(f), frames[i].pixels);
    if (frames[i].localBits) {
      ASSERT_TRUE(f.localPalette);
      EXPECT_EQ(f.activePalette, f.localPalette.get());
      EXPECT_EQ(Triplets(*f.localPalette), test::GiflibRampTriplets(frames[i].localBits));
    } else {
      EXPECT_FALSE(f.localPalette);
      EXPECT_EQ(f.activePalette, r.document->globalPalette.get());
    }
  }
  EXPECT_TRUE(messages.ids().empty());
}

// Animations as other programs write them, made here: FFmpeg's default writer (each frame
// only its changed rectangle, unchanged pixels transparent) and its palette filters, gifsicle's
// optimizer with interlacing and with four colours, ImageMagick's two-colour frames, interlaced
// and odd-sized. Every frame must decode to giflib's pixels, index for index.
TEST(OurReaderDecodesPeerFiles, EveryFrameIndexForIndexAsGiflibSees) {
  for (const char* tool : {"ffmpeg", "gifsicle", "convert"}) {
    const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) GTEST_SKIP() << tool << " is not installed";
  }
  test::TempDir dir;
  const std::string d = dir.path() + "/";
  const std::vector<std::string> commands = {
      "ffmpeg -v error -f lavfi -t 2 -i testsrc=s=97x61:r=10 -y " + d + "ffmpeg.gif",
      "ffmpeg -v error -f lavfi -t 1 -i testsrc2=s=64x48:r=10 -vf "
      "'split[a][b];[a]palettegen=max_colors=24[p];[b][p]paletteuse=diff_mode=rectangle' -y " + d + "palette.gif",
      "gifsicle -O3 --interlace " + d + "ffmpeg.gif -o " + d + "interlaced.gif",
      "gifsicle --colors 4 " + d + "palette.gif -o " + d + "four.gif",
      "convert -size 45x33 -seed 3 plasma:fractal -colors 2 +dither -interlace GIF " + d + "two.gif",
      "convert -delay 5 -size 31x17 -seed 5 plasma:fractal -size 31x17 -seed 6 plasma:fractal -colors 7 +dither " +
          d + "frames.gif",
  };
  for (const std::string& command : commands) ASSERT_EQ(std::system(command.c_str()), 0) << command;

  for (const char* name : {"ffmpeg", "palette", "interlaced", "four", "two", "frames"}) {
    SCOPED_TRACE(name);
    test::ScopedMessages messages;
    const Bytes file = test::ReadBytes(d + name + ".gif");
    const test::PeerGif peer = test::GiflibDecode(file);
    ASSERT_TRUE(peer.ok) << peer.error;
    ReadResult r = ReadGifMemory(file.data(), file.size(), {.keepDataAsRead = true});
    ASSERT_EQ(r.status, kReadComplete);
    ASSERT_EQ(r.document->frameCount, static_cast<int>(peer.frames.size()));
    ASSERT_GT(peer.frames.size(), 0u);
    for (size_t i = 0; i < peer.frames.size(); ++i) {
      const ImageBlock& f = *ImageAt(r.document.get(), static_cast<int>(i));
      const test::PeerFrame& p = peer.frames[i];
      const std::vector<int> ours{f.left, f.top, f.width, f.height}, giflib{p.left, p.top, p.width, p.height};
      ASSERT_EQ(ours, giflib) << "frame " << i;
      ASSERT_EQ(test::FramePixels(f), p.pixels) << "frame " << i;
    }
    // Unless asked for, a read holds no more than the frames.
    ReadResult plain = ReadGifMemory(file.data(), file.size());
    for (const ImageBlock* f = FirstImage(plain.document.get()); f; f = NextImage(f)) EXPECT_FALSE(f->keptLzw);
    // The file's own data stays with each frame while the frame is as read, but Save writes
    // what our encoder makes of the pixels, never another program's stream.
    AnimPtr withoutData = CopyAnimation(*r.document, nullptr);
    for (ImageBlock* f = FirstImage(withoutData.get()); f; f = NextImage(f)) f->keptLzw.reset();
    EXPECT_EQ(WriteToMemory(*r.document), WriteToMemory(*withoutData));
    ImageBlock& first = *FirstImage(r.document.get());
    ASSERT_TRUE(ReadLzwData(first));
    first.indexedImage->row(first.height - 1)[first.width - 1] ^= 1;
    EXPECT_FALSE(ReadLzwData(first));
  }
}

}  // namespace
}  // namespace fw
