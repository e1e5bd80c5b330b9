// Photographs opened from other tools' files come onto 256 colours closer with the refined
// palette than with the octree, and the file written from them is one other readers accept.
#include <gtest/gtest.h>

#include <cmath>

#include "core/preferences.h"
#include "format_peers.h"
#include "formats/file_dispatch.h"
#include "formats/save_document.h"
#include "imaging/palette_merge.h"
#include "support/test_support.h"

namespace fw {
namespace {

double Psnr(const test::Rgba& a, const test::Rgba& b) {
  double sum = 0;
  size_t n = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const double d = double(a.at(x, y)[c]) - double(b.at(x, y)[c]);
        sum += d * d;
        ++n;
      }
  return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(n) / sum);
}

double OpenedPsnr(const std::string& path, const test::Rgba& original, uint32_t mergeWord) {
  Prefs().write(pref::kPaletteMerge, mergeWord);
  LoadResult r = LoadAnimationFile(path);
  if (!r.document || r.document->frameCount != 1) return -1;
  const test::Rgba shown = test::FrameRgba(*FirstImage(r.document.get()));
  if (shown.width != original.width || shown.height != original.height) return -1;
  return Psnr(original, shown);
}

TEST(RefinedPalette, PhotographsFromPillowComeOutCloserThanWithTheOctree) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  test::ScopedMessages messages;
  test::TempDir dir;
  // A smooth photograph-like picture with sensor noise: far more than 256 colours.
  static const char* kScript = R"(
import sys, random
from PIL import Image
random.seed(3)
w, h = 160, 120
img = Image.new('RGB', (w, h))
px = img.load()
for y in range(h):
    for x in range(w):
        n = random.gauss(0, 5)
        px[x, y] = (int(max(0, min(255, 40 + 180 * y / h + n))),
                    int(max(0, min(255, 200 - 150 * x / w + n))),
                    int(max(0, min(255, 90 + 60 * ((x * y) % 37) / 37 + n))))
img.save(sys.argv[1] + '/photo.png')
)";
  std::string out;
  ASSERT_TRUE(test::RunCapture({"/usr/bin/python3", "-c", kScript, dir.path()}, out));
  const std::vector<test::Rgba> original = test::PillowFrames(dir.file("photo.png"));
  ASSERT_EQ(original.size(), 1u);

  // Dithered too: the refined palette's pixels are dithered onto their exact nearest entries,
  // not through the inverse map's coarse cells.
  for (uint32_t dither : {0u, merge_word::kDither}) {
    for (int bits : {8, 4}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, dither " << dither);
      const uint32_t octree = merge_word::Make(merge_word::kAdaptive, bits, bits) | dither;
      const double octreePsnr = OpenedPsnr(dir.file("photo.png"), original[0], octree);
      const double refinedPsnr = OpenedPsnr(dir.file("photo.png"), original[0], octree | merge_word::kRefinedPalette);
      ASSERT_GT(octreePsnr, 0);
      EXPECT_GT(refinedPsnr, octreePsnr + 1.0);
    }
  }

  Prefs().write(pref::kPaletteMerge, merge_word::kDefault | merge_word::kRefinedPalette);
  LoadResult r = LoadAnimationFile(dir.file("photo.png"));
  ASSERT_TRUE(r.document);
  ASSERT_TRUE(SaveDocumentAs(dir.file("photo.gif"), *r.document));
  const std::vector<test::Rgba> reread = test::PillowFrames(dir.file("photo.gif"));
  ASSERT_EQ(reread.size(), 1u);
  EXPECT_GT(Psnr(original[0], reread[0]), 30.0);
  Prefs().write(pref::kPaletteMerge, merge_word::kDefault);
}

}  // namespace
}  // namespace fw
