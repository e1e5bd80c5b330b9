// GIF files with quirks browsers read past: our frames after each quirk against what Pillow
// (told to keep truncated images, as browsers do) or FFmpeg shows for the same file.
#include <gtest/gtest.h>

#include "core/string_table.h"
#include "formats/format_peers.h"
#include "gif/gif_bytes.h"
#include "gif/gif_reader.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Code;

constexpr int kW = 4, kH = 3;

Bytes Picture(int shift) {
  std::vector<int> pixels;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) pixels.push_back((x + y + shift) % 4);
  return test::Image(0, 0, kW, kH, 0x00, 2, test::LiteralCodes(pixels, 2));
}

// Every frame covers the screen, so the peers' pictures are the frames themselves.
Bytes Frame(const Bytes& image) {
  Bytes out = test::GraphicControl(1 << 2, 10, 0);
  test::Put(out, image);
  return out;
}

struct Quirk {
  const char* name;
  Bytes file;
  bool damaged;      // reported (40183, status 2) although every frame is kept
  int frames;        // frames the document holds
  bool pillowReads;  // Pillow cannot place a zero-sized frame; FFmpeg is the peer then
};

std::vector<Quirk> Quirks() {
  std::vector<Quirk> quirks;
  {
    Bytes gif = test::GifHeader(kW, kH, 2);
    test::Put(gif, Frame(Picture(0)));
    test::Put(gif, {0x21, 0x42, 3, 'a', 'b', 'c', 2, 'd', 'e', 0});  // label no one defined
    test::Put(gif, Frame(Picture(1)));
    test::Put(gif, {0x3B});
    quirks.push_back({"unknown extension label", gif, true, 2, true});
  }
  for (const char* id : {"NETSCAPE2.0", "ANIMEXTS1.0"}) {
    Bytes gif = test::GifHeader(kW, kH, 2);
    test::Put(gif, {0x21, 0xFF, 11});
    gif.insert(gif.end(), id, id + 11);
    test::Put(gif, {3, 1, 5, 0, 5, 2, 0, 0x10, 0, 0, 0});  // loop count, then the buffering hint
    test::Put(gif, Frame(Picture(0)));
    test::Put(gif, Frame(Picture(1)));
    test::Put(gif, {0x3B});
    quirks.push_back({id, gif, false, 2, true});
  }
  {
    Bytes gif = test::GifHeader(kW, kH, 2);
    test::Put(gif, Frame(Picture(0)));
    test::Put(gif, Frame(test::Image(1, 1, 0, 2, 0x00, 2, test::PackCodes({{4, 3}, {5, 3}}))));
    test::Put(gif, Frame(test::Image(1, 0, 3, 0, 0x00, 2, test::PackCodes({{4, 3}, {1, 3}, {5, 3}}))));
    test::Put(gif, Frame(Picture(2)));
    test::Put(gif, {0x3B});
    quirks.push_back({"zero-sized descriptors", gif, false, 4, false});
  }
  {
    Bytes gif = test::GifHeader(kW, kH, 2);
    test::Put(gif, Frame(Picture(0)));
    // 1, 2, 3, 0, then 15 while the next free entry is 9.
    test::Put(gif, Frame(test::Image(0, 0, kW, kH, 0x00, 2, test::PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 3}, {15, 4}, {5, 4}}))));
    test::Put(gif, Frame(Picture(3)));
    test::Put(gif, {0x3B});
    quirks.push_back({"impossible LZW code", gif, true, 3, true});
  }
  return quirks;
}

// Pillow's frames with truncated images kept, as RGBA.
std::vector<test::Rgba> PillowKeepingTruncated(const std::string& path) {
  std::string out;
  static const char* kScript = R"(
import sys, struct
from PIL import Image, ImageFile
ImageFile.LOAD_TRUNCATED_IMAGES = True
im = Image.open(sys.argv[1])
for i in range(im.n_frames):
    im.seek(i)
    f = im.convert('RGBA')
    sys.stdout.buffer.write(struct.pack('<ii', f.width, f.height) + f.tobytes())
)";
  std::vector<test::Rgba> frames;
  test::RunCapture({"/usr/bin/python3", "-c", kScript, path}, out);
  frames = test::SizedRgbaFrames(out);
  return frames;
}

TEST(GifTolerance, FramesAfterEachQuirkMatchWhatPeersShow) {
  if (!test::HavePillow() || !test::HaveFfmpeg()) GTEST_SKIP() << "Pillow or FFmpeg not available";
  test::TempDir dir;
  for (const Quirk& q : Quirks()) {
    SCOPED_TRACE(q.name);
    test::ScopedMessages messages;
    ReadResult r = ReadGifMemory(q.file.data(), q.file.size());
    ASSERT_TRUE(r.document);
    EXPECT_EQ(r.status, q.damaged ? kReadPartial : kReadComplete);
    EXPECT_EQ(r.document->frameCount, q.frames);
    EXPECT_EQ(messages.ids(), q.damaged ? (std::vector<int>{msg::kGifDamaged, msg::kPartlyRead}) : std::vector<int>{});

    const std::string path = dir.file("quirk.gif");
    test::WriteBytes(path, q.file);
    const std::vector<test::Rgba> peer = q.pillowReads ? PillowKeepingTruncated(path) : test::FfmpegFrames(path, kW, kH);
    const std::vector<std::vector<uint32_t>> shown = test::ComposePictures(*r.document, nullptr);
    ASSERT_EQ(peer.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      test::Rgba mine(kW, kH);
      for (size_t p = 0; p < shown[i].size(); ++p) {
        const uint32_t c = shown[i][p];
        mine.px[4 * p] = uint8_t(c >> 16);
        mine.px[4 * p + 1] = uint8_t(c >> 8);
        mine.px[4 * p + 2] = uint8_t(c);
        mine.px[4 * p + 3] = uint8_t(c >> 24);
      }
      EXPECT_EQ(test::MaxDifference(mine, peer[i]), 0) << "frame " << i;
    }
  }
}

TEST(GifTolerance, LoopCountComesFromTheFirstSubBlock) {
  for (const Quirk& q : Quirks()) {
    if (std::string(q.name).find('.') == std::string::npos) continue;
    test::ScopedMessages messages;
    ReadResult r = ReadGifMemory(q.file.data(), q.file.size());
    ASSERT_EQ(r.status, kReadComplete) << q.name;
    EXPECT_EQ(r.document->playCount, 6) << q.name;
    // Nothing of the loop block is kept as a block: saving writes one loop block of our own.
    EXPECT_TRUE(r.document->blockList->next->isImage()) << q.name;
  }
}

}  // namespace
}  // namespace fw
