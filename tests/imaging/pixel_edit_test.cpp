// Setting pixels and the 4-connected fill of the pixel editor.
#include <gtest/gtest.h>

#include "imaging/pixel_edit.h"

namespace fw {
namespace {

IndexedImage Picture(int w, int h, uint8_t fill) {
  IndexedImage image;
  image.width = w;
  image.height = h;
  image.pixels.assign(image.stride() * static_cast<size_t>(h), fill);
  return image;
}

int Count(const IndexedImage& image, uint8_t index) {
  int n = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) n += image.row(y)[x] == index;
  return n;
}

TEST(PixelEdit, FillStopsAtDiagonalsAndLeavesSameColourAlone) {
  // A one-pixel diagonal line of 1 on 0: filling one of its pixels changes only that pixel.
  IndexedImage image = Picture(6, 6, 0);
  for (int i = 0; i < 6; ++i) image.row(i)[i] = 1;
  PixelPlanes planes{&image};
  EditRect r = FloodFillIndex(planes, 2, 2, 5);
  EXPECT_EQ(Count(image, 5), 1);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right, 3);
  // The background on either side of the line is two separate areas.
  r = FloodFillIndex(planes, 5, 0, 7);
  EXPECT_EQ(Count(image, 7), 15);
  EXPECT_EQ(image.row(5)[0], 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 5);
  // Filling with the colour it already has changes nothing.
  const PixelBytes before = image.pixels;
  EXPECT_TRUE(FloodFillIndex(planes, 0, 5, 0).empty());
  EXPECT_TRUE(SetPixelIndex(planes, 3, 3, 1).empty());
  EXPECT_EQ(image.pixels, before);
  // Outside the picture nothing happens either.
  EXPECT_TRUE(SetPixelIndex(planes, 6, 0, 3).empty());
  EXPECT_TRUE(FloodFillIndex(planes, -1, 0, 3).empty());
}

TEST(PixelEdit, FillFollowsWindingAreasAndLeavesRowPaddingAlone) {
  // A spiral-like wall: the area of 0 reaches around corners above and below its runs.
  IndexedImage image = Picture(7, 5, 0);
  const char* rows[] = {"0000000", "1111100", "0000100", "0110100", "0000000"};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) image.row(y)[x] = static_cast<uint8_t>(rows[y][x] - '0');
  PixelPlanes planes{&image};
  FloodFillIndex(planes, 0, 2, 9);
  EXPECT_EQ(Count(image, 0), 0);
  EXPECT_EQ(Count(image, 1), 9);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(image.row(y)[7], 0) << "padding of row " << y;
}

TEST(PixelEdit, WholeLargeFrameFillsWithoutRecursionAndKeepsTwinPlanes) {
  IndexedImage image = Picture(1920, 1080, 3);
  image.row(500)[700] = 4;
  std::vector<uint8_t> trueColour(Stride24(1920) * 1080, 0);
  std::vector<uint8_t> alpha(Stride8(1920) * 1080, 255);
  uint32_t entries[256] = {};
  entries[2] = 0x112233;
  PixelPlanes planes{&image, entries, &trueColour, &alpha, 2};
  const EditRect r = FloodFillIndex(planes, 0, 0, 2);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 1920);
  EXPECT_EQ(r.bottom, 1080);
  EXPECT_EQ(Count(image, 2), 1920 * 1080 - 1);
  // The 24-bit twin takes the palette colour (blue, green, red), the alpha twin the
  // transparency of the index; the untouched pixel keeps both.
  const uint8_t* row = trueColour.data() + 10 * Stride24(1920);
  EXPECT_EQ(row[30], 0x33);
  EXPECT_EQ(row[31], 0x22);
  EXPECT_EQ(row[32], 0x11);
  EXPECT_EQ(alpha[10 * Stride8(1920) + 10], 0);
  EXPECT_EQ(alpha[500 * Stride8(1920) + 700], 255);
  EXPECT_EQ(trueColour[500 * Stride24(1920) + 3 * 700], 0);
  // A set pixel writes the twins too.
  SetPixelIndex(planes, 700, 500, 1);
  EXPECT_EQ(alpha[500 * Stride8(1920) + 700], 255);
}

}  // namespace
}  // namespace fw
