// LZW data the common encoders rarely produce, built code by code: each stream spells out
// every code with the width a decoder must read it at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/string_table.h"
#include "gif/gif_reader.h"
#include "gif_bytes.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::Bytes;
using test::Code;

// A one-frame file around hand-made LZW data: 4-entry global table, minimum code size 2,
// so clear = 4, end = 5, the first free entry is 6 and codes start 3 bits wide.
Bytes OneFrameFile(int width, int height, const std::vector<Code>& codes, int minCodeSize = 2) {
  Bytes gif = test::GifHeader(width, height, 2);
  test::Put(gif, test::Image(0, 0, width, height, 0x00, minCodeSize, test::PackCodes(codes)));
  test::Put(gif, {0x3B});  // trailer
  return gif;
}

std::vector<uint8_t> Pixels(const ReadResult& r) { return test::FramePixels(*FirstImage(r.document.get())); }

TEST(LzwDecoding, KwKwKCodesRepeatThePreviousString) {
  test::ScopedMessages messages;
  // Six pixels of index 1. The encoder emits 6 ("1 1") and then 7 ("1 1 1") each just
  // as it defines them, so the decoder meets both codes before its table holds them.
  const Bytes gif = OneFrameFile(6, 1,
                                 {{4, 3},    // clear
                                  {1, 3},    // literal 1
                                  {6, 3},    // not yet defined: previous string + its first byte
                                  {7, 3},    // again; entry 7 completes the 3-bit range
                                  {5, 4}});  // end code, read 4 bits wide
  ReadResult r = ReadGifMemory(gif.data(), gif.size());
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(Pixels(r), std::vector<uint8_t>(6, 1));
  EXPECT_TRUE(messages.ids().empty());
  const test::PeerGif peer = test::GiflibDecode(gif);  // the stream is valid for giflib too
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_EQ(peer.frames[0].pixels, std::vector<uint8_t>(6, 1));
}

TEST(LzwDecoding, ClearCodeMidStreamResetsWidthAndTable) {
  test::ScopedMessages messages;
  const Bytes gif = OneFrameFile(7, 1,
                                 {{4, 3},  // clear
                                  {1, 3},  // literal 1
                                  {2, 3},  // 2; entry 6 = "1 2"
                                  {3, 3},  // 3; entry 7 = "2 3", the width grows to 4
                                  {1, 4},  // 1; entry 8 = "3 1"
                                  {4, 4},  // clear, still 4 bits wide
                                  {2, 3},  // back to 3 bits: literal 2
                                  {6, 3},  // 6 is free again, so this is "2 2", not "1 2"
                                  {5, 3}});  // end
  ReadResult r = ReadGifMemory(gif.data(), gif.size());
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(Pixels(r), (std::vector<uint8_t>{1, 2, 3, 1, 2, 2, 2}));
  EXPECT_TRUE(messages.ids().empty());
  const test::PeerGif peer = test::GiflibDecode(gif);
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_EQ(peer.frames[0].pixels, Pixels(r));
}

// An encoder that keeps using a full table instead of clearing it (a "deferred clear"), and
// clears only once, at pixel `clearAt`. Returns the codes and how many were written while
// the table was full.
std::pair<Bytes, int> EncodeWithDeferredClear(const std::vector<uint8_t>& pixels, size_t clearAt) {
  const int clear = 256, end = 257;
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;         // the encoder's next entry
  int decoderNext = clear + 2;  // the decoder's, one code behind
  int width = 9;
  bool firstAfterClear = true;
  int codesWhileFull = 0;
  std::vector<Code> codes = {{clear, width}};
  auto emit = [&](int code) {
    codes.push_back({code, width});
    if (decoderNext >= 4096) ++codesWhileFull;
    if (!firstAfterClear && decoderNext < 4096 && ++decoderNext == (1 << width) && width < 12) ++width;
    firstAfterClear = false;
  };
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int c = pixels[i];
    if (i == clearAt) {
      emit(prefix);
      codes.push_back({clear, width});
      table.clear();
      next = decoderNext = clear + 2;
      width = 9;
      firstAfterClear = true;
      prefix = c;
      continue;
    }
    auto hit = table.find({prefix, c});
    if (hit != table.end()) {
      prefix = hit->second;
      continue;
    }
    emit(prefix);
    if (next < 4096) table[{prefix, c}] = next++;
    prefix = c;
  }
  emit(prefix);
  codes.push_back({end, width});
  return {test::PackCodes(codes), codesWhileFull};
}

TEST(LzwDecoding, FullTableWithoutClearKeepsDecoding) {
  test::ScopedMessages messages;
  std::vector<uint8_t> pixels(150 * 100);
  uint32_t seed = 5;
  for (uint8_t& p : pixels) p = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  const auto [lzw, codesWhileFull] = EncodeWithDeferredClear(pixels, 12000);
  ASSERT_GT(codesWhileFull, 1000);  // the frozen table really was used for a long stretch

  Bytes gif = test::GifHeader(150, 100, 8);
  test::Put(gif, test::Image(0, 0, 150, 100, 0x00, 8, lzw));
  test::Put(gif, {0x3B});
  ReadResult r = ReadGifMemory(gif.data(), gif.size());
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(Pixels(r), pixels);
  EXPECT_TRUE(messages.ids().empty());
  const test::PeerGif peer = test::GiflibDecode(gif);
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_EQ(peer.frames[0].pixels, pixels);
}

// An end code before the last pixel is a short but proper image: it is kept, the pixels it
// did not reach are 0, and the file counts as completely read.
TEST(LzwDecoding, EarlyEndCodeKeepsTheImage) {
  test::ScopedMessages messages;
  {
    const Bytes gif = OneFrameFile(4, 2, {{4, 3}, {1, 3}, {2, 3}, {5, 3}});  // clear, 1, 2, end
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(Pixels(r), (std::vector<uint8_t>{1, 2, 0, 0, 0, 0, 0, 0}));
  }
  {
    // The very first code after the clear is the end code: an empty but valid image.
    const Bytes gif = OneFrameFile(3, 3, {{4, 3}, {5, 3}});
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadComplete);
    EXPECT_EQ(Pixels(r), std::vector<uint8_t>(9, 0));
  }
  EXPECT_TRUE(messages.ids().empty());
}

// Codes no encoder could have produced end that image's data: what came before stays, the
// rest of the frame is blank, and the file is reported as damaged.
TEST(LzwDecoding, ImpossibleCodesEndTheImageKeepingItsPixels) {
  struct Case {
    std::vector<Code> codes;
    std::vector<uint8_t> pixels;
  };
  const std::vector<Case> cases = {
      {{{4, 3}, {7, 3}, {5, 3}}, {0, 0, 0, 0}},          // first code after a clear names an undefined entry
      {{{4, 3}, {1, 3}, {7, 3}, {5, 3}}, {1, 0, 0, 0}},  // 7 while 6 is the next free entry
  };
  for (const Case& c : cases) {
    test::ScopedMessages messages;
    const Bytes gif = OneFrameFile(4, 1, c.codes);
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadPartial);
    EXPECT_EQ(Pixels(r), c.pixels);
    EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kGifDamaged, msg::kPartlyRead}));
  }
}

// Data that ends (properly terminated sub-blocks, but no end code and too few pixels). The
// frame is large enough that the zero bits padding the last byte cannot fill it either. The
// frame keeps what was decoded and the frames after it are read.
TEST(LzwDecoding, DataRunningOutKeepsThatFramesPixelsAndGoesOn) {
  const std::vector<int> pixels = {1, 2, 3, 1, 2, 3, 0, 0, 1, 1, 1, 1, 3, 2, 1, 0};
  const Bytes good = test::LiteralCodes(pixels, 2);
  const Bytes starved = test::PackCodes({{4, 3}, {1, 3}, {2, 3}});  // 2 of 16 pixels, no end code
  {
    test::ScopedMessages messages;
    Bytes gif = test::GifHeader(4, 4, 2);
    test::Put(gif, test::Image(0, 0, 4, 4, 0x00, 2, starved));
    test::Put(gif, {0x3B});
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadPartial);
    std::vector<uint8_t> kept(16, 0);
    kept[0] = 1;
    kept[1] = 2;
    EXPECT_EQ(Pixels(r), kept);
    EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kGifDamaged, msg::kPartlyRead}));
  }
  {
    test::ScopedMessages messages;
    Bytes gif = test::GifHeader(4, 4, 2);
    test::Put(gif, test::Image(0, 0, 4, 4, 0x00, 2, good));
    test::Put(gif, test::Image(0, 0, 4, 4, 0x00, 2, starved));
    test::Put(gif, test::Image(0, 0, 4, 4, 0x00, 2, good));
    test::Put(gif, {0x3B});
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadPartial);
    EXPECT_EQ(r.document->frameCount, 3);
    EXPECT_EQ(Pixels(r), std::vector<uint8_t>(pixels.begin(), pixels.end()));
    EXPECT_EQ(test::FramePixels(*ImageAt(r.document.get(), 2)), std::vector<uint8_t>(pixels.begin(), pixels.end()));
    EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kGifDamaged, msg::kPartlyRead}));
    EXPECT_EQ(r.document->encodedSize, -1);
  }
}

TEST(LzwDecoding, MinimumCodeSizeAboveEightIsDamage) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(2, 2, 8);
  test::Put(gif, test::Image(0, 0, 2, 2, 0x00, 9, test::PackCodes({{512, 10}, {1, 10}, {513, 10}})));
  test::Put(gif, {0x3B});
  ReadResult r = ReadGifMemory(gif.data(), gif.size());
  EXPECT_EQ(r.status, kReadFailed);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kGifDamaged, msg::kCouldNotRead}));
}

// Every code size below 9 is read as written, including 1 (two-colour images from some
// encoders) where clear = 2 and end = 3.
TEST(LzwDecoding, SmallMinimumCodeSizes) {
  test::ScopedMessages messages;
  Bytes gif = test::GifHeader(5, 1, 1);
  test::Put(gif, test::Image(0, 0, 5, 1, 0x00, 1,
                             test::PackCodes({{2, 2},    // clear
                                              {1, 2},    // 1
                                              {0, 2},    // 0; entry 4 = "1 0", the width grows to 3
                                              {4, 3},    // "1 0"
                                              {1, 3},    // 1
                                              {3, 3}})));  // end
  test::Put(gif, {0x3B});
  ReadResult r = ReadGifMemory(gif.data(), gif.size());
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(Pixels(r), (std::vector<uint8_t>{1, 0, 1, 0, 1}));
  EXPECT_TRUE(messages.ids().empty());
}

// The data of one image may be split into sub-blocks anywhere, even inside a code.
TEST(LzwDecoding, CodesSplitAcrossSubBlocks) {
  test::ScopedMessages messages;
  std::vector<int> pixels;
  for (int i = 0; i < 300; ++i) pixels.push_back((i * 7 + i / 13) & 255);
  const Bytes lzw = test::LiteralCodes(pixels, 8);
  for (size_t blockLength : {1u, 2u, 3u, 7u, 255u}) {
    Bytes gif = test::GifHeader(30, 10, 8);
    test::Put(gif, {0x2C, 0, 0, 0, 0, 30, 0, 10, 0, 0x00, 8});  // descriptor, code size 8
    test::Put(gif, test::SubBlocks(lzw, blockLength));
    test::Put(gif, {0x3B});
    ReadResult r = ReadGifMemory(gif.data(), gif.size());
    ASSERT_EQ(r.status, kReadComplete) << blockLength;
    EXPECT_EQ(Pixels(r), std::vector<uint8_t>(pixels.begin(), pixels.end())) << blockLength;
  }
  EXPECT_TRUE(messages.ids().empty());
}

// Frames of every row width ImageMagick writes, their data cut after any number of bytes: the
// decoded pixels are a prefix of the whole frame, each in its own row, with zeros after it and
// in the rows' padding. A cut that leaves only the end code out loses no pixel, so that frame is
// complete.
TEST(LzwDecoding, DataCutAnywhereKeepsTheDecodedPixelsInPlace) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
  test::TempDir dir;
  for (const auto& [width, height] : {std::pair{13, 9}, std::pair{101, 37}, std::pair{64, 20}, std::pair{3, 50}}) {
    const std::string path = dir.file(std::to_string(width) + ".gif");
    const std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                                " -seed 7 plasma:fractal -colors 5 +dither " + path;
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes file = test::ReadBytes(path);
    const test::WalkedGif walked = test::WalkGif(file);
    ASSERT_TRUE(walked.ok && walked.images.size() == 1 && walked.images[0].localTableBytes == 0) << walked.error;
    const test::WalkedImage& image = walked.images[0];
    const test::PeerGif whole = test::GiflibDecode(file);
    ASSERT_TRUE(whole.ok) << whole.error;
    const std::vector<uint8_t>& expected = whole.frames[0].pixels;

    for (size_t cut = 1; cut < image.lzw.size(); cut += 1 + cut / 3) {
      Bytes gif(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(image.at));
      test::Put(gif, test::Image(0, 0, width, height, image.flags, image.minCodeSize,
                                 Bytes(image.lzw.begin(), image.lzw.begin() + static_cast<std::ptrdiff_t>(cut))));
      test::Put(gif, {0x3B});
      test::ScopedMessages messages;
      // Planes are not cleared before decoding: the whole frame read and freed first leaves
      // its pixels in the memory the cut one is likely to get.
      ASSERT_EQ(ReadGifMemory(file.data(), file.size()).status, kReadComplete);
      ReadResult r = ReadGifMemory(gif.data(), gif.size());
      ASSERT_NE(r.status, kReadFailed) << width << " wide, cut at " << cut;
      const IndexedImage& plane = *FirstImage(r.document.get())->indexedImage;
      size_t decoded = 0;
      while (decoded < expected.size() &&
             plane.row(static_cast<int>(decoded) / width)[decoded % width] == expected[decoded])
        ++decoded;
      if (decoded < expected.size()) {
        EXPECT_EQ(r.status, kReadPartial) << width << " wide, cut at " << cut;
      }
      for (int y = 0; y < height; ++y) {
        for (size_t x = 0; x < plane.stride(); ++x) {
          const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width) + x;
          if (x < static_cast<size_t>(width) && at < decoded) continue;
          ASSERT_EQ(plane.row(y)[x], 0) << width << " wide, cut at " << cut << ": pixel " << x << "," << y
                                        << " after " << decoded << " decoded";
        }
      }
    }
  }
}

}  // namespace
}  // namespace fw
