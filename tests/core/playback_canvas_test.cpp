// The player's canvas: stepping and seeking must show exactly what composing from the first
// frame shows, whatever order the frames are asked for in.
#include <gtest/gtest.h>

#include "core/compositor.h"
#include "core/frame_planes.h"
#include "core/playback_canvas.h"
#include "random_animation.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Picture = std::vector<uint32_t>;

uint32_t ColourOf(const Palette& palette, int index) {
  const Rgb c = index < palette.count() ? palette[index] : Rgb{};
  return 0xFF000000u | uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
}

Picture CanvasPicture(const PlaybackCanvas& canvas) {
  return Picture(canvas.pixels(), canvas.pixels() + static_cast<size_t>(canvas.width()) * canvas.height());
}

// Every frame as the compositor shows it, read through the global palette.
std::vector<Picture> StraightComposition(const AnimHeader& doc) {
  std::vector<Picture> out;
  Compositor compositor(doc);
  for (const ImageBlock* c = compositor.first(); c; c = compositor.next()) {
    Picture p;
    for (int y = 0; y < doc.screenHeight; ++y)
      for (int x = 0; x < doc.screenWidth; ++x) p.push_back(ColourOf(*doc.globalPalette, c->indexedImage->row(y)[x]));
    out.push_back(std::move(p));
  }
  return out;
}

// Random frames on the global palette, restricted to what both compositions fill alike: the
// compositor fills with an index where the player fills with its background colour, so the
// first frame and every frame after a restore to background draw without transparency.
AnimPtr ComparableAnimation(uint32_t seed) {
  test::Shape shape;
  shape.localPalettes = false;
  shape.frames = 10;
  AnimPtr doc = test::RandomAnimation(seed, shape);
  int previousDisposal = kDisposalBackground;
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
    if (previousDisposal == kDisposalBackground) SetTransparency(*f, false);
    previousDisposal = f->disposal();
  }
  return doc;
}

TEST(PlaybackCanvas, AnyOrderOfStepsAndSeeksMatchesTheCompositor) {
  test::ScopedMessages messages;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    AnimPtr doc = ComparableAnimation(seed);
    const std::vector<Picture> expected = StraightComposition(*doc);
    ASSERT_EQ(expected.size(), 10u);
    PlaybackCanvas canvas;
    ASSERT_TRUE(canvas.attach(doc.get(), ColourOf(*doc->globalPalette, doc->backgroundIndex), false));
    // Forward steps, backward seeks, forward jumps, a repeat of the frame on show.
    for (int number : {1, 2, 3, 7, 4, 4, 10, 1, 9, 10, 2, 6}) {
      const bool seek = number < canvas.composedFrame();
      canvas.compose(number, seek);
      ASSERT_EQ(canvas.composedFrame(), number);
      ASSERT_EQ(CanvasPicture(canvas), expected[static_cast<size_t>(number - 1)])
          << "seed " << seed << ", frame " << number;
    }
  }
}

TEST(PlaybackCanvas, KeepsARestorePictureOnlyWhenAFrameNeedsIt) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(8, 4, 8);
  test::AddFrame(*doc, 0, 0, 8, 4, [](int, int) { return 1; });
  ImageBlock& second = test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 2; });
  PlaybackCanvas canvas;
  ASSERT_TRUE(canvas.attach(doc.get(), 0, false));
  EXPECT_FALSE(canvas.keepsRestorePicture());
  SetDisposal(second, kDisposalPrevious);
  ASSERT_TRUE(canvas.rebuild());
  EXPECT_TRUE(canvas.keepsRestorePicture());
  EXPECT_EQ(canvas.composedFrame(), 0);

  // A canvas the plane-size limit refuses is reported and leaves nothing attached.
  const size_t saved = MaxPlaneBytes();
  SetMaxPlaneBytes(8 * 4 * 4);  // one screen of four-byte pixels, not two
  EXPECT_FALSE(canvas.rebuild());
  EXPECT_FALSE(canvas.attached());
  canvas.compose(1, true);
  EXPECT_EQ(canvas.composedFrame(), 0);
  SetDisposal(second, kDisposalLeave);
  EXPECT_TRUE(canvas.attach(doc.get(), 0, false));
  SetMaxPlaneBytes(saved);
}

TEST(PlaybackCanvas, WrapsWithoutClearingAndNeverDrawsAHiddenFirstFrame) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(4, 1, 8);
  test::AddFrame(*doc, 0, 0, 4, 1, [](int, int) { return 1; });
  test::AddFrame(*doc, 1, 0, 1, 1, [](int, int) { return 2; });
  ImageBlock& third = test::AddFrame(*doc, 2, 0, 1, 1, [](int, int) { return 3; });
  SetDisposal(third, kDisposalBackground);
  const uint32_t bg = 0xFF123456u;
  const uint32_t c1 = ColourOf(*doc->globalPalette, 1), c2 = ColourOf(*doc->globalPalette, 2),
                 c3 = ColourOf(*doc->globalPalette, 3);

  PlaybackCanvas canvas;
  ASSERT_TRUE(canvas.attach(doc.get(), bg, true));
  canvas.compose(2, true);
  EXPECT_EQ(CanvasPicture(canvas), (Picture{bg, c2, bg, bg}));
  canvas.compose(3, false);
  EXPECT_EQ(CanvasPicture(canvas), (Picture{bg, c2, c3, bg}));
  // Past the last frame: its disposal, the hidden frame skipped, frame 2 over what was left.
  canvas.compose(2, false);
  EXPECT_EQ(CanvasPicture(canvas), (Picture{bg, c2, bg, bg}));

  ASSERT_TRUE(canvas.attach(doc.get(), bg, false));
  canvas.compose(3, true);
  canvas.compose(1, false);
  EXPECT_EQ(CanvasPicture(canvas), (Picture{c1, c1, c1, c1}));
  // A seek back clears, then composes from the start again.
  canvas.compose(2, true);
  canvas.setBackground(0x00FF00);
  EXPECT_EQ(canvas.composedFrame(), 0);
  canvas.compose(2, true);
  EXPECT_EQ(CanvasPicture(canvas), (Picture{c1, c2, c1, c1}));
}

TEST(PlaybackCanvas, AlphaFramesBlendOverWhatIsShown) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(2, 1, 8);
  test::AddFrame(*doc, 0, 0, 2, 1, [](int, int) { return 0; });
  ImageBlock& top = test::AddFrame(*doc, 0, 0, 2, 1, [](int, int) { return 0; });
  uint8_t* colour = AddTrueColour(top, false);
  uint8_t* alpha = AddAlpha(top, false);
  ASSERT_TRUE(colour && alpha);
  colour[0] = 200, colour[1] = 100, colour[2] = 50;  // blue, green, red
  colour[3] = 200, colour[4] = 100, colour[5] = 50;
  alpha[0] = 128;
  alpha[1] = 0;
  PlaybackCanvas canvas;
  ASSERT_TRUE(canvas.attach(doc.get(), 0, false));
  canvas.compose(2, true);
  const uint32_t under = ColourOf(*doc->globalPalette, 0);  // (0, 255, 0)
  const auto mix = [](unsigned s, unsigned d) { return (s * 128 + d * 127) / 255; };
  EXPECT_EQ(canvas.pixel(0, 0), 0xFF000000u | mix(50, 0) << 16 | mix(100, 255) << 8 | mix(200, 0));
  EXPECT_EQ(canvas.pixel(1, 0), under);
}

}  // namespace
}  // namespace fw
