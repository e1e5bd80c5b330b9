// Per-frame encoded bytes: they are the frames' share of the written stream, byte for byte,
// and an edit re-encodes only the frames whose bytes it can have changed.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "gif/byte_sink.h"
#include "gif/frame_costs.h"
#include "gif/gif_writer.h"
#include "gif_bytes.h"
#include "support/test_support.h"

namespace fw {
namespace {

AnimPtr Mixed() {
  AnimPtr doc = test::NewDocument(40, 30, 64);
  std::mt19937 rng(7);
  for (int i = 0; i < 6; ++i) {
    ImageBlock& f = test::AddFrame(*doc, i, i, 40 - 2 * i, 30 - 2 * i, [&](int x, int y) {
      return (x / (i + 1) + y * i) % 64 ^ static_cast<int>(rng() % (i == 3 ? 64 : 2));
    });
    f.delay = i;
  }
  // A frame with its own small palette and an interlaced one.
  ImageBlock* local = ImageAt(doc.get(), 2);
  std::vector<Rgb> colours(4, Rgb{1, 2, 3});
  SetLocalPalette(*local, Palette::Create(colours.data(), 4));
  for (int y = 0; y < local->height; ++y)
    for (int x = 0; x < local->width; ++x) local->indexedImage->row(y)[x] &= 3;
  ImageAt(doc.get(), 4)->descriptorFlags |= 0x40;
  return doc;
}

TEST(FrameCosts, AddUpToTheStreamBetweenHeaderAndTrailer) {
  AnimPtr doc = Mixed();
  MemorySink sink;
  ASSERT_EQ(WriteGifStream(sink, *doc, nullptr), 1);
  const test::WalkedGif walked = test::WalkGif(sink.bytes);
  ASSERT_TRUE(walked.ok) << walked.error;

  FrameCostMeter meter;
  std::vector<int64_t> costs;
  ASSERT_TRUE(meter.measure(*doc, costs));
  ASSERT_EQ(costs.size(), walked.images.size());
  for (size_t i = 0; i < costs.size(); ++i) {
    const test::WalkedImage& im = walked.images[i];
    int64_t bytes = 8 + 10 + static_cast<int64_t>(im.localTableBytes) + 1 + 1;  // control, descriptor, code size, end
    for (int n : im.subBlockLengths) bytes += n + 1;
    EXPECT_EQ(costs[i], bytes) << "frame " << i;
  }
  // The first control block starts where the header (screen, palette, loop) ends.
  const size_t header = walked.images.front().at - 8;
  EXPECT_EQ(std::accumulate(costs.begin(), costs.end(), int64_t{0}),
            static_cast<int64_t>(sink.bytes.size() - header - 1));
}

TEST(FrameCosts, OnlyChangedFramesAreEncodedAgain) {
  AnimPtr doc = Mixed();
  FrameCostMeter meter;
  std::vector<int64_t> first, again;
  ASSERT_TRUE(meter.measure(*doc, first));
  EXPECT_EQ(meter.encodes(), 6);
  ASSERT_TRUE(meter.measure(*doc, again));
  EXPECT_EQ(meter.encodes(), 6);
  EXPECT_EQ(again, first);

  // Delay, position and disposal take the same room: nothing to encode.
  ImageBlock* f = ImageAt(doc.get(), 1);
  f->delay = 500;
  f->left = 3;
  f->controlFlags = 8;
  ASSERT_TRUE(meter.measure(*doc, again));
  EXPECT_EQ(meter.encodes(), 6);
  // New pixels in one frame: that frame alone.
  f->indexedImage->row(5)[7] ^= 0x3F;
  ASSERT_TRUE(meter.measure(*doc, again));
  EXPECT_EQ(meter.encodes(), 7);
  EXPECT_EQ(again[1], FrameEncodedSize(*f));
  // Interlacing and a wider palette change the bytes too.
  ImageAt(doc.get(), 0)->descriptorFlags |= 0x40;
  std::vector<Rgb> colours(8, Rgb{});
  SetLocalPalette(*ImageAt(doc.get(), 2), Palette::Create(colours.data(), 8));
  ASSERT_TRUE(meter.measure(*doc, again));
  EXPECT_EQ(meter.encodes(), 9);
  EXPECT_EQ(again[2], FrameEncodedSize(*ImageAt(doc.get(), 2)));

  // A cancelled run reports so and is not taken for a result.
  int allowed = 2;
  EXPECT_FALSE(meter.measure(*doc, again, [&] { return allowed-- > 0; }));
}

}  // namespace
}  // namespace fw
