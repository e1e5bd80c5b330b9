// The reader's pixel budget: frames that claim far more pixels than their data can fill stop a
// read once their blank parts add up past the limit, while a file whose data fills its frames
// opens however many pixels it holds.
#include <gtest/gtest.h>

#include <vector>

#include "core/string_table.h"
#include "gif/frame_pixel_budget.h"
#include "gif/gif_reader.h"
#include "gif_bytes.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::Bytes;
using test::Code;

class ScopedBlankLimit {
 public:
  explicit ScopedBlankLimit(uint64_t pixels) { SetMaxBlankPixels(pixels); }
  ~ScopedBlankLimit() { SetMaxBlankPixels(saved_); }

 private:
  uint64_t saved_ = MaxBlankPixels();
};

ReadResult Read(const Bytes& b) { return ReadGifMemory(b.data(), b.size()); }

// A frame whose data is a single pixel and an end code: everything else is left blank.
Bytes BlankFrame(int width, int height) {
  return test::Image(0, 0, width, height, 0x00, 2, test::PackCodes({{4, 3}, {1, 3}, {5, 3}}));
}

Bytes SmallFrame() { return test::Image(0, 0, 2, 2, 0x00, 2, test::LiteralCodes({1, 2, 3, 1}, 2)); }

// LZW data packing as many pixels into as few bits as the format allows: each new code is the
// one just being defined (one pixel longer than the last), and once the table is full the
// longest string is repeated with 12-bit codes, until `pixels` are covered.
Bytes DensestData(uint64_t pixels) {
  const int clear = 4, end = 5;
  std::vector<Code> codes = {{clear, 3}, {1, 3}};
  int width = 3, nextFree = clear + 2;
  uint64_t produced = 1, length = 1;
  while (produced < pixels) {
    const int code = nextFree < 4096 ? nextFree : 4095;
    codes.push_back({code, width});
    if (nextFree < 4096) {
      length = static_cast<uint64_t>(code - clear);  // entry k spells k - clear ones
      ++nextFree;
      if (nextFree == (1 << width) && width < 12) ++width;
    }
    produced += length;
  }
  codes.push_back({end, width});
  return test::PackCodes(codes);
}

// Data as dense as LZW gets, over 85% of the most pixels per byte there can be, still fills its
// frame without touching the budget: complete files open however many pixels they hold.
TEST(GifPixelBudget, FilledFramesNeverCountAgainstIt) {
  test::ScopedMessages messages;
  ScopedBlankLimit none(0);
  const int width = 8192, height = 6144;
  const Bytes data = DensestData(uint64_t{width} * height);
  EXPECT_GT(double(width) * height / double(data.size()), 0.85 * MostPixelsFromData(1));
  Bytes gif = test::GifHeader(width, height, 2);
  test::Put(gif, test::Image(0, 0, width, height, 0x00, 2, data));
  test::Put(gif, {0x3B});
  ReadResult r = Read(gif);
  ASSERT_EQ(r.status, kReadComplete);
  EXPECT_EQ(FirstImage(r.document.get())->indexedImage->row(height - 1)[width - 1], 1);
  EXPECT_TRUE(messages.ids().empty());
}

// Blank parts add up over the frames of one read; the frame that would pass the limit stops
// the read as a frame without memory does, keeping the frames before it.
TEST(GifPixelBudget, BlankFramesAddUpUntilTheLimit) {
  const uint64_t blank = 512 * 512 - MostPixelsFromData(2);  // the frame's data is 2 bytes
  ScopedBlankLimit limit(3 * blank);
  Bytes gif = test::GifHeader(512, 512, 2);
  // Ended early too, but with data enough to have filled it: not counted.
  Bytes enough = test::PackCodes({{4, 3}, {1, 3}, {5, 3}});
  enough.resize(5);  // 5 bytes could spell 13,653 pixels
  test::Put(gif, test::Image(0, 0, 100, 100, 0x00, 2, enough));
  for (int i = 0; i < 3; ++i) test::Put(gif, BlankFrame(512, 512));
  Bytes complete = gif;
  test::Put(complete, {0x3B});
  test::Put(gif, BlankFrame(512, 512));
  test::Put(gif, {0x3B});

  for (int read = 0; read < 2; ++read) {  // the budget is the read's, not the program's
    test::ScopedMessages messages;
    ReadResult whole = Read(complete);
    ASSERT_EQ(whole.status, kReadComplete);
    EXPECT_EQ(whole.document->frameCount, 4);
    ReadResult r = Read(gif);
    ASSERT_EQ(r.status, kReadPartial);
    EXPECT_EQ(r.document->frameCount, 4);
    EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kNoMemoryFrameImage, msg::kPartlyRead}));
  }
}

// A kilobyte claiming gigabytes: under the default limit nothing of the sort is allocated.
TEST(GifPixelBudget, SmallFileClaimingHugeFramesIsStopped) {
  test::ScopedMessages messages;
  Bytes frames;
  for (int i = 0; i < 60; ++i) test::Put(frames, BlankFrame(32768, 32768));  // 1 GiB each
  Bytes gif = test::GifHeader(2, 2, 2);
  test::Put(gif, frames);
  test::Put(gif, {0x3B});
  ASSERT_LT(gif.size(), 1200u);
  EXPECT_EQ(Read(gif).status, kReadFailed);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kNoMemoryFrameImage, msg::kCouldNotRead}));

  test::ScopedMessages afterAFrame;
  Bytes kept = test::GifHeader(2, 2, 2);
  test::Put(kept, SmallFrame());
  test::Put(kept, frames);
  test::Put(kept, {0x3B});
  ReadResult r = Read(kept);
  ASSERT_EQ(r.status, kReadPartial);
  EXPECT_EQ(r.document->frameCount, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), (std::vector<uint8_t>{1, 2, 3, 1}));
  EXPECT_EQ(afterAFrame.ids(), (std::vector<int>{msg::kNoMemoryFrameImage, msg::kPartlyRead}));
}

}  // namespace
}  // namespace fw
