// The display mask, built a word at a time, against the plain pixel-by-pixel rule on random
// frames: every width up to a few words, keys anywhere in 0..255, and pictures where the key
// is everywhere, rare or missing.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/display_mask.h"
#include "support/test_support.h"

namespace fw {
namespace {

// One bit per pixel, first pixel in the high bit, rows padded to 32 bits, 1 at the key.
std::vector<uint8_t> ReferenceMask(const IndexedImage& image, uint8_t key) {
  const size_t stride = MaskStride(image.width);
  std::vector<uint8_t> mask(stride * static_cast<size_t>(image.height), 0);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (image.row(y)[x] == key) mask[static_cast<size_t>(y) * stride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  return mask;
}

enum class KeyDensity { kDense, kSparse, kAbsent };

// Pixels other than the key are mostly its near neighbours (one bit apart, or the high bit
// flipped), the values a byte-parallel compare could confuse with it. Row padding is the key
// throughout, so bits past the width show up if they are ever set.
void Fill(IndexedImage& image, uint8_t key, KeyDensity density, std::mt19937& random) {
  std::fill(image.pixels.begin(), image.pixels.end(), key);
  const double keyShare = density == KeyDensity::kDense ? 0.85 : density == KeyDensity::kSparse ? 0.04 : 0.0;
  std::bernoulli_distribution isKey(keyShare);
  std::uniform_int_distribution<int> anyByte(0, 255), kind(0, 3);
  for (int y = 0; y < image.height; ++y) {
    uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x) {
      if (isKey(random)) continue;
      uint8_t other;
      switch (kind(random)) {
        case 0: other = key ^ 0x80; break;
        case 1: other = key ^ 0x01; break;
        case 2: other = key ^ 0x7F; break;
        default: other = static_cast<uint8_t>(anyByte(random));
      }
      row[x] = other == key ? static_cast<uint8_t>(key + 1) : other;
    }
  }
}

TEST(DisplayMask, WordWiseMaskMatchesPixelByPixelRule) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(80, 80, 256);  // for its palette
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> anyKey(0, 255), oddHeight(0, 4);
  for (int width = 1; width <= 150; ++width) {  // through two 64-pixel steps
    for (KeyDensity density : {KeyDensity::kDense, KeyDensity::kSparse, KeyDensity::kAbsent}) {
      const int height = 2 * oddHeight(random) + 1;
      // The extreme keys every time a width comes round, random ones in between.
      const int pick = anyKey(random);
      const uint8_t key = static_cast<uint8_t>(width % 3 == 0 ? 0 : width % 3 == 1 ? 255 : pick);
      SCOPED_TRACE(testing::Message() << width << "x" << height << " key " << int(key) << " density "
                                      << static_cast<int>(density));
      ImagePtr f = CreateSizedImage(width, height);
      f->activePalette = doc->globalPalette.get();
      SetIndexedImage(*f, AllocIndexedImage(width, height, f->activePalette));
      Fill(*f->indexedImage, key, density, random);
      SetTransparentIndex(*f, key);
      SetTransparency(*f, true);
      ASSERT_TRUE(HasDisplayMask(*f));
      EXPECT_EQ(f->maskBitmap, ReferenceMask(*f->indexedImage, key));
    }
  }
}

}  // namespace
}  // namespace fw
