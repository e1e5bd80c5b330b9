// The compositor against ImageMagick's `-coalesce`, when ImageMagick is installed.
//
// The two agree on what a viewer shows wherever ImageMagick's picture is opaque. They differ
// on purpose where it is transparent: ImageMagick starts a first frame with transparency on a
// transparent canvas and restores disposal-2 rectangles to transparent, while our canvas is
// filled with an index — the first frame's transparent index or the background index at the
// start, and the next frame's transparent index or the background index when disposing. So an
// opaque ImageMagick pixel must have exactly our colour, and a transparent one must hold one of
// those fill indexes in our canvas.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "core/compositor.h"
#include "random_animation.h"
#include "support/test_support.h"

namespace fw {
namespace {

constexpr const char* kConvert = "/usr/bin/convert";

// Every coalesced frame as 8-bit RGBA, one after the other; empty when convert failed.
std::vector<uint8_t> Coalesce(const test::TempDir& dir, const std::vector<uint8_t>& gif) {
  const std::string in = dir.file("in.gif"), out = dir.file("out.rgba");
  test::WriteBytes(in, gif);
  const std::string command = std::string(kConvert) + " '" + in + "' -coalesce -depth 8 'rgba:" + out + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return test::ReadBytes(out);
}

void CompareWithImageMagick(uint32_t seed, const test::Shape& shape) {
  AnimPtr doc = test::RandomAnimation(seed, shape);
  test::TempDir dir;
  const std::vector<uint8_t> rgba = Coalesce(dir, test::GifBytes(*doc));
  const int W = doc->screenWidth, H = doc->screenHeight;
  const size_t frameBytes = static_cast<size_t>(W) * H * 4;
  ASSERT_EQ(rgba.size(), frameBytes * static_cast<size_t>(doc->frameCount)) << "seed " << seed;

  std::set<int> fills{doc->backgroundIndex};
  for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f))
    if (f->transparent()) fills.insert(f->transparentIndex);

  const Palette& palette = *doc->globalPalette;
  Compositor compositor(*doc);
  int n = 0;
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next(), ++n) {
    int opaque = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const uint8_t* im = &rgba[static_cast<size_t>(n) * frameBytes + (static_cast<size_t>(y) * W + x) * 4];
        const int index = canvas->indexedImage->row(y)[x];
        if (im[3] == 255) {
          ++opaque;
          const Rgb ours = index < palette.count() ? palette[index] : Rgb{};
          ASSERT_EQ(ours, (Rgb{im[0], im[1], im[2]}))
              << "seed " << seed << " frame " << n << " at " << x << "," << y << " index " << index;
        } else {
          ASSERT_EQ(im[3], 0);
          ASSERT_TRUE(fills.count(index)) << "seed " << seed << " frame " << n << " at " << x << "," << y;
        }
      }
    EXPECT_GT(opaque, 0) << "seed " << seed << " frame " << n;  // the comparison must bite
  }
  EXPECT_EQ(n, doc->frameCount);
}

TEST(CompositorImageMagick, CoalescedFramesAgreeWhereOpaque) {
  if (!std::filesystem::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  test::ScopedMessages messages;
  // A handful of animations: each costs a process start.
  for (uint32_t seed : {3u, 8u, 15u, 21u, 40u, 57u}) {
    test::Shape shape;
    shape.localPalettes = false;  // an 8-bit canvas of mixed palettes has no single colour reading
    shape.pastTheEdges = false;
    shape.frames = 4 + static_cast<int>(seed % 6);
    shape.firstDisposal = seed % 2 ? 3 : -1;
    shape.screenWidth = 16 + static_cast<int>(seed % 20);
    shape.screenHeight = 10 + static_cast<int>(seed % 13);
    CompareWithImageMagick(seed, shape);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace fw
