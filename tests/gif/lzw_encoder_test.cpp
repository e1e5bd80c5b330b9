// The encoder's shortcut through long runs of one index must give exactly the codes of plain
// greedy LZW, whatever the shape of the picture: checked against a textbook encoder.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>
#include <vector>

#include "core/indexed_image.h"
#include "gif/byte_sink.h"
#include "gif/lzw_encoder.h"
#include "gif_bytes.h"

namespace fw {
namespace {

using test::Bytes;
using test::Code;

// Greedy LZW with a map for the table: the stream every GIF encoder of the classic kind
// writes (clear first, a clear instead of the 4097th entry, end code last).
Bytes ReferenceLzw(const std::vector<uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::map<std::pair<int, int>, int> table;
  int width = minCodeSize + 1, next = clear + 2;
  std::vector<Code> codes;
  auto emit = [&](int code) {
    codes.push_back({code, width});
    if (next > (1 << width) - 1 && width < 12) ++width;
  };
  codes.push_back({clear, width});
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int c = pixels[i];
    if (auto it = table.find({prefix, c}); it != table.end()) {
      prefix = it->second;
      continue;
    }
    emit(prefix);
    if (next < 4096) {
      table[{prefix, c}] = next++;
    } else {
      codes.push_back({clear, width});
      table.clear();
      next = clear + 2;
      width = minCodeSize + 1;
    }
    prefix = c;
  }
  emit(prefix);
  codes.push_back({end, width});
  return test::SubBlocks(test::PackCodes(codes), 254, false);
}

Bytes Encode(const std::vector<uint8_t>& pixels, int width, int minCodeSize) {
  IndexedImage image;
  image.width = width;
  image.height = static_cast<int>(pixels.size()) / width;
  image.pixels.resize(image.stride() * static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y)
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width, image.row(y));
  MemorySink sink;
  EXPECT_TRUE(ThreadLzwEncoder().encode(sink, image, image.width, image.height, false, minCodeSize));
  return sink.bytes;
}

TEST(LzwEncoding, LongRunsGiveTheCodesOfPlainLzwInEveryShape) {
  // Runs far longer than the table can name (one index over 40,000 pixels fills the table
  // several times), mixed with short runs and noise, so the shortcut starts mid-run, at row
  // ends and right after table resets.
  std::mt19937 random(7);
  std::vector<uint8_t> pixels;
  for (int part = 0; part < 40; ++part) {
    const int run = part % 5 == 0 ? 20000 + static_cast<int>(random() % 30000) : static_cast<int>(random() % 300);
    const uint8_t index = static_cast<uint8_t>(random() % 4);
    pixels.insert(pixels.end(), static_cast<size_t>(run), index);
    for (int k = static_cast<int>(random() % 20); k > 0; --k) pixels.push_back(static_cast<uint8_t>(random() % 4));
  }
  pixels.resize(pixels.size() / 64 * 64);
  const Bytes expected = ReferenceLzw(pixels, 2);
  for (const int width : {static_cast<int>(pixels.size()), static_cast<int>(pixels.size()) / 2, 64 * 37, 64}) {
    if (pixels.size() % static_cast<size_t>(width) != 0) continue;
    EXPECT_EQ(Encode(pixels, width, 2), expected) << width;
  }
}

TEST(LzwEncoding, OneIndexAcrossAVeryWideRowMatchesPlainLzw) {
  const std::vector<uint8_t> pixels(3 << 20, 5);
  EXPECT_EQ(Encode(pixels, static_cast<int>(pixels.size()), 8), ReferenceLzw(pixels, 8));
}

}  // namespace
}  // namespace fw
