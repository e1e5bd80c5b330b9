// The compositor against an independent, straightforward compositing of what giflib decodes
// from our own files, plus the cases that are easier to state by hand: disposal fills,
// clipping at negative offsets, restarting, and the true-colour coverage arithmetic.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/compositor.h"
#include "core/frame_planes.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "support/giflib_bridge.h"
#include "random_animation.h"
#include "support/test_support.h"

namespace fw {
namespace {

using test::GifBytes;
using test::RandomAnimation;
using test::Shape;

// What giflib reports of the graphic control data and the background index.
struct Control {
  int background = 0;
  std::vector<int> disposal, transparent;  // transparent: -1 when off
};

int ReadMemory(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<std::pair<const std::vector<uint8_t>*, size_t>*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(n), in->first->size() - in->second);
  std::memcpy(out, in->first->data() + in->second, take);
  in->second += take;
  return static_cast<int>(take);
}

Control GiflibControl(const std::vector<uint8_t>& bytes) {
  Control c;
  std::pair<const std::vector<uint8_t>*, size_t> input{&bytes, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
  if (!gif) return c;
  if (DGifSlurp(gif) == GIF_OK) {
    c.background = gif->SBackGroundColor;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock gcb{};
      gcb.TransparentColor = NO_TRANSPARENT_COLOR;
      DGifSavedExtensionToGCB(gif, i, &gcb);
      c.disposal.push_back(gcb.DisposalMode);
      c.transparent.push_back(gcb.TransparentColor);
    }
  }
  DGifCloseFile(gif, &error);
  return c;
}

// The viewer's picture after every frame, composed the plain way: one pixel at a time.
std::vector<std::vector<uint8_t>> ReferenceComposition(const test::PeerGif& gif, const Control& control) {
  const int W = gif.screenWidth, H = gif.screenHeight;
  std::vector<std::vector<uint8_t>> pictures;
  if (gif.frames.empty()) return pictures;
  const int firstKey = control.transparent[0];
  std::vector<uint8_t> canvas(static_cast<size_t>(W) * H,
                              static_cast<uint8_t>(firstKey >= 0 ? firstKey : control.background));
  std::vector<uint8_t> saved;
  for (size_t i = 0; i < gif.frames.size(); ++i) {
    const test::PeerFrame& f = gif.frames[i];
    const int key = control.transparent[i];
    if (i > 0) {
      const test::PeerFrame& prev = gif.frames[i - 1];
      if (control.disposal[i - 1] == 3) canvas = saved;
      if (control.disposal[i - 1] == 2) {
        const int fill = key >= 0 ? key : control.background;
        for (int y = prev.top; y < prev.top + prev.height; ++y)
          for (int x = prev.left; x < prev.left + prev.width; ++x)
            if (x < W && y < H) canvas[static_cast<size_t>(y) * W + x] = static_cast<uint8_t>(fill);
      }
    }
    if (control.disposal[i] == 3) saved = canvas;
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x) {
        const int p = f.pixels[static_cast<size_t>(y) * f.width + x];
        const int cx = f.left + x, cy = f.top + y;
        if (cx < W && cy < H && p != key) canvas[static_cast<size_t>(cy) * W + cx] = static_cast<uint8_t>(p);
      }
    pictures.push_back(canvas);
  }
  return pictures;
}

std::vector<uint8_t> CanvasPixels(const ImageBlock& canvas, int width, int height) {
  std::vector<uint8_t> out;
  for (int y = 0; y < height; ++y) out.insert(out.end(), canvas.indexedImage->row(y), canvas.indexedImage->row(y) + width);
  return out;
}

// Compares the top-left width x height of each canvas (our reader enlarges a screen that
// frames reach beyond; inside the declared screen the pictures must still agree).
void ExpectSameComposition(const AnimHeader& doc, const std::vector<std::vector<uint8_t>>& expected,
                           int width, int height, const std::string& what) {
  ASSERT_GE(doc.screenWidth, width);
  ASSERT_GE(doc.screenHeight, height);
  Compositor compositor(doc);
  size_t n = 0;
  const ImageBlock* frame = FirstImage(&doc);
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next(), frame = NextImage(frame)) {
    ASSERT_LT(n, expected.size()) << what;
    ASSERT_EQ(CanvasPixels(*canvas, width, height), expected[n]) << what << " frame " << n;
    EXPECT_EQ(compositor.currentIndex(), static_cast<int>(n));
    EXPECT_EQ(compositor.currentFrame(), frame);
    EXPECT_EQ(canvas->activePalette, frame->activePalette);
    EXPECT_EQ(canvas->delay, frame->delay);
    EXPECT_EQ(canvas->disposal(), frame->disposal());
    EXPECT_EQ(canvas->transparent(), frame->transparent());
    EXPECT_EQ(canvas->transparentIndex, frame->transparentIndex);
    ++n;
  }
  EXPECT_EQ(n, expected.size()) << what;
}

void CrossCheck(uint32_t seed, const Shape& shape) {
  AnimPtr doc = RandomAnimation(seed, shape);
  const std::vector<uint8_t> bytes = GifBytes(*doc);
  const test::PeerGif gif = test::GiflibDecode(bytes);
  ASSERT_TRUE(gif.ok) << gif.error;
  const Control control = GiflibControl(bytes);
  ASSERT_EQ(control.disposal.size(), gif.frames.size());
  const auto expected = ReferenceComposition(gif, control);
  ExpectSameComposition(*doc, expected, gif.screenWidth, gif.screenHeight, "document, seed " + std::to_string(seed));
  ReadResult back = ReadGifMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(back.document);
  ExpectSameComposition(*back.document, expected, gif.screenWidth, gif.screenHeight,
                        "read back, seed " + std::to_string(seed));
}

TEST(CompositorCrossCheck, RandomAnimationsAgreeWithGiflibReference) {
  test::ScopedMessages messages;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    Shape shape;
    shape.frames = 2 + static_cast<int>(seed % 12);
    shape.firstDisposal = seed % 5 == 0 ? 3 : -1;
    shape.pastTheEdges = seed % 3 != 0;
    shape.screenWidth = 5 + static_cast<int>(seed * 7 % 60);
    shape.screenHeight = 3 + static_cast<int>(seed * 11 % 40);
    CrossCheck(seed, shape);
    if (HasFatalFailure()) return;
  }
  EXPECT_TRUE(messages.ids().empty());
}

TEST(CompositorCrossCheck, EveryDisposalFollowsEveryOther) {
  // Each ordered pair of disposal methods, with and without transparency on the follower.
  test::ScopedMessages messages;
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b)
      for (int keyed = 0; keyed < 2; ++keyed) {
        AnimPtr doc = test::NewDocument(12, 8, 8);
        doc->backgroundIndex = 6;
        test::AddFrame(*doc, 0, 0, 12, 8, [](int x, int y) { return (x + y) % 4; });
        ImageBlock& first = test::AddFrame(*doc, 2, 1, 6, 5, [](int x, int) { return x % 2 ? 5 : 4; });
        SetDisposal(first, a);
        SetTransparency(first, true);
        SetTransparentIndex(first, 5);
        ImageBlock& second = test::AddFrame(*doc, 4, 3, 6, 4, [](int x, int y) { return (x * y) % 3 ? 7 : 2; });
        SetDisposal(second, b);
        if (keyed) {
          SetTransparentIndex(second, 2);
          SetTransparency(second, true);
        }
        test::AddFrame(*doc, 1, 0, 3, 3, [](int, int) { return 1; });
        const std::vector<uint8_t> bytes = GifBytes(*doc);
        const auto expected = ReferenceComposition(test::GiflibDecode(bytes), GiflibControl(bytes));
        ExpectSameComposition(*doc, expected, 12, 8, "disposals " + std::to_string(a) + std::to_string(b));
      }
}

// --- cases stated by hand ---

TEST(Compositor, FirstFrameTransparencyChoosesTheInitialFill) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(4, 2, 16);
  doc->backgroundIndex = 5;
  ImageBlock& f = test::AddFrame(*doc, 1, 0, 2, 1, [](int, int) { return 9; });
  SetTransparentIndex(f, 3);
  SetTransparency(f, true);
  Compositor c(*doc);
  const ImageBlock* canvas = c.first();
  ASSERT_TRUE(canvas);
  EXPECT_EQ(CanvasPixels(*canvas, 4, 2), (std::vector<uint8_t>{3, 9, 9, 3, 3, 3, 3, 3}));
  SetTransparency(f, false);
  canvas = c.first();
  EXPECT_EQ(CanvasPixels(*canvas, 4, 2), (std::vector<uint8_t>{5, 9, 9, 5, 5, 5, 5, 5}));
}

TEST(Compositor, NegativeOffsetClipsDrawingAndDisposal) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(100, 2, 8);
  doc->backgroundIndex = 1;
  test::AddFrame(*doc, 0, 0, 100, 2, [](int, int) { return 2; });
  ImageBlock& f = test::AddFrame(*doc, -10, 0, 50, 1, [](int x, int) { return x < 10 ? 7 : 3; });
  SetDisposal(f, kDisposalBackground);
  test::AddFrame(*doc, 99, 1, 1, 1, [](int, int) { return 4; });
  Compositor c(*doc);
  c.first();
  const ImageBlock* canvas = c.next();
  const uint8_t* row = canvas->indexedImage->row(0);
  EXPECT_EQ(row[0], 3);  // frame column 10
  EXPECT_EQ(row[39], 3);
  EXPECT_EQ(row[40], 2);
  canvas = c.next();
  row = canvas->indexedImage->row(0);
  EXPECT_EQ(row[0], 1);
  EXPECT_EQ(row[39], 1);
  EXPECT_EQ(row[40], 2);
  EXPECT_EQ(canvas->indexedImage->row(1)[0], 2);  // the frame's rectangle had one row only
}

TEST(Compositor, RestoreToPreviousShowsTheEarlierPictureUnderTheNextFrame) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(3, 1, 8);
  test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x + 1; });  // 1 2 3
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 3, 1, [](int, int) { return 6; });
  SetDisposal(f, kDisposalPrevious);
  ImageBlock& g = test::AddFrame(*doc, 1, 0, 1, 1, [](int, int) { return 5; });
  SetDisposal(g, kDisposalPrevious);
  test::AddFrame(*doc, 2, 0, 1, 1, [](int, int) { return 0; });
  Compositor c(*doc);
  EXPECT_EQ(CanvasPixels(*c.first(), 3, 1), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(CanvasPixels(*c.next(), 3, 1), (std::vector<uint8_t>{6, 6, 6}));
  EXPECT_EQ(CanvasPixels(*c.next(), 3, 1), (std::vector<uint8_t>{1, 5, 3}));
  EXPECT_EQ(CanvasPixels(*c.next(), 3, 1), (std::vector<uint8_t>{1, 2, 0}));
}

TEST(Compositor, WalksEndAndStartOver) {
  test::ScopedMessages messages;
  AnimPtr empty = test::NewDocument(4, 4, 2);
  CompositorPtr none = CreateCompositor(*empty);
  ASSERT_TRUE(none);
  EXPECT_EQ(FirstComposedFrame(*none), nullptr);
  EXPECT_EQ(NextComposedFrame(*none), nullptr);

  AnimPtr doc = test::NewDocument(4, 4, 4);
  test::AddFrame(*doc, 0, 0, 4, 4, [](int, int) { return 1; });
  test::AddFrame(*doc, 1, 1, 1, 1, [](int, int) { return 2; });
  CompositorPtr c = CreateCompositor(*doc);
  EXPECT_EQ(NextComposedFrame(*c), nullptr);  // not started
  ASSERT_TRUE(FirstComposedFrame(*c));
  ASSERT_TRUE(NextComposedFrame(*c));
  EXPECT_EQ(c->currentIndex(), 1);
  EXPECT_EQ(NextComposedFrame(*c), nullptr);
  EXPECT_EQ(c->canvas(), nullptr);
  EXPECT_EQ(c->currentIndex(), -1);
  const ImageBlock* again = FirstComposedFrame(*c);
  ASSERT_TRUE(again);
  EXPECT_EQ(c->currentIndex(), 0);
  EXPECT_EQ(again->indexedImage->row(1)[1], 1);
  FreeCompositor(std::move(c));
}

TEST(Compositor, OddScreensAndFrames) {
  test::ScopedMessages messages;
  // No global palette: the canvas table holds the default colours; the frame its own.
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = 3;
  doc->screenHeight = 2;
  ImagePtr f = CreateSizedImage(2, 2);
  const Rgb two[2] = {{1, 1, 1}, {2, 2, 2}};
  SetLocalPalette(*f, Palette::Create(two, 2));
  SetIndexedImage(*f, AllocIndexedImage(2, 2, f->activePalette));
  f->left = 5;  // wholly off the screen
  AppendBlock(*doc, std::move(f));
  Compositor c(*doc);
  const ImageBlock* canvas = c.first();
  ASSERT_TRUE(canvas);
  EXPECT_EQ(canvas->indexedImage->colourTable[19], 0xFFFFFFu);
  EXPECT_EQ(canvas->activePalette, FirstImage(doc.get())->localPalette.get());
  EXPECT_EQ(CanvasPixels(*canvas, 3, 2), std::vector<uint8_t>(6, 0));

  // A screen of 0 x 0 draws nothing and still walks every frame.
  doc->screenWidth = doc->screenHeight = 0;
  FirstImage(doc.get())->left = 0;
  Compositor zero(*doc);
  ASSERT_TRUE(zero.first());
  EXPECT_EQ(zero.next(), nullptr);

  // A screen too large to allocate ends the walk at once.
  doc->screenWidth = doc->screenHeight = 65535;
  Compositor huge(*doc);
  EXPECT_EQ(huge.first(), nullptr);
}

// --- true colour ---

// A one-frame-pixel true-colour frame at (x, 0) with colour (b, g, r) and alpha a.
ImageBlock& TrueColourPixel(AnimHeader& doc, int x, uint8_t b, uint8_t g, uint8_t r, int a) {
  ImageBlock& f = test::AddFrame(doc, x, 0, 1, 1, [](int, int) { return 1; });
  AddTrueColour(f, false);
  f.trueColour[0] = b;
  f.trueColour[1] = g;
  f.trueColour[2] = r;
  if (a >= 0) {
    AddAlpha(f, false);
    f.alpha[0] = static_cast<uint8_t>(a);
  }
  return f;
}

const uint8_t* CanvasColour(const ImageBlock& canvas, int x) { return canvas.trueColour.data() + 3 * x; }

TEST(CompositorTrueColour, CoverageArithmetic) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(2, 1, 4);
  TrueColourPixel(*doc, 0, 200, 100, 0, 255);   // covers pixel 0 fully
  TrueColourPixel(*doc, 0, 10, 20, 30, 128);    // half over full coverage
  TrueColourPixel(*doc, 1, 10, 20, 30, 128);    // half over nothing
  TrueColourPixel(*doc, 1, 250, 250, 250, 64);  // quarter over half
  Compositor c(*doc);
  ASSERT_TRUE(c.trueColourMode());
  const ImageBlock* canvas = c.first();
  EXPECT_EQ(canvas->alpha[0], 255);
  EXPECT_EQ(canvas->alpha[1], 0);
  canvas = c.next();
  EXPECT_EQ(CanvasColour(*canvas, 0)[0], (10 * 128 + 200 * 127) / 255);
  EXPECT_EQ(CanvasColour(*canvas, 0)[1], (20 * 128 + 100 * 127) / 255);
  EXPECT_EQ(CanvasColour(*canvas, 0)[2], (30 * 128 + 0 * 127) / 255);
  EXPECT_EQ(canvas->alpha[0], 255);
  canvas = c.next();
  EXPECT_EQ(CanvasColour(*canvas, 1)[2], 30);  // copied as it is
  EXPECT_EQ(canvas->alpha[1], 128);
  canvas = c.next();
  EXPECT_EQ(CanvasColour(*canvas, 1)[0], (250 * 64 + 10 * 191) / 255);
  EXPECT_EQ(canvas->alpha[1], 64 + 128 * 191 / 255);
}

TEST(CompositorTrueColour, IndexedFramesJoinWithPaletteColoursAndLeaveTheDocumentAlone) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(3, 1, 4);  // entry i = (i, 255 - i, 7i)
  TrueColourPixel(*doc, 0, 9, 9, 9, -1);     // true colour without alpha: opaque
  ImageBlock& indexed = test::AddFrame(*doc, 0, 0, 3, 1, [](int x, int) { return x == 1 ? 0 : 2; });
  SetTransparency(indexed, true);  // index 0 is transparent
  Compositor c(*doc);
  c.first();
  const ImageBlock* canvas = c.next();
  EXPECT_EQ(CanvasColour(*canvas, 0)[2], 2);  // red of entry 2 over the first pixel
  EXPECT_EQ(CanvasColour(*canvas, 0)[0], 14);
  EXPECT_EQ(canvas->alpha[0], 255);
  EXPECT_EQ(canvas->alpha[1], 0);  // transparent over nothing: still nothing
  EXPECT_EQ(canvas->alpha[2], 255);
  EXPECT_FALSE(indexed.hasTrueColour());  // no planes were added to the frame
}

TEST(CompositorTrueColour, TransparentIndexHidesTrueColourWithoutAlpha) {
  // A true-colour frame without an alpha plane whose transparency is on: the 8-bit canvas keeps
  // what lies beneath its transparent pixels, and so does the true-colour canvas.
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(2, 1, 4);
  TrueColourPixel(*doc, 0, 40, 50, 60, 255);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  AddTrueColour(f, false);
  std::memset(f.trueColour.data(), 99, 6);
  SetTransparency(f, true);  // index 0: pixel 0
  Compositor c(*doc);
  c.first();
  const ImageBlock* canvas = c.next();
  EXPECT_EQ(canvas->indexedImage->row(0)[0], 1);
  EXPECT_EQ(CanvasColour(*canvas, 0)[0], 40);
  EXPECT_EQ(canvas->alpha[0], 255);
  EXPECT_EQ(CanvasColour(*canvas, 1)[0], 99);
}

TEST(CompositorTrueColour, DisposalUncoversOnlyItsRectangleAndRestoreBringsPlanesBack) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(3, 1, 4);
  TrueColourPixel(*doc, 0, 1, 1, 1, 255);
  ImageBlock& a = TrueColourPixel(*doc, 1, 2, 2, 2, 255);
  SetDisposal(a, kDisposalBackground);
  ImageBlock& b = TrueColourPixel(*doc, 2, 3, 3, 3, 200);
  SetDisposal(b, kDisposalPrevious);
  TrueColourPixel(*doc, 2, 4, 4, 4, 0);
  Compositor c(*doc);
  c.first();
  const ImageBlock* canvas = c.next();
  EXPECT_EQ(canvas->alpha[1], 255);
  canvas = c.next();  // a's rectangle is uncovered; pixel 0 keeps its coverage
  EXPECT_EQ(canvas->alpha[0], 255);
  EXPECT_EQ(canvas->alpha[1], 0);
  EXPECT_EQ(CanvasColour(*canvas, 1)[0], 2);  // the colour stays, uncovered
  EXPECT_EQ(canvas->alpha[2], 200);
  canvas = c.next();  // b restored: pixel 2 as before b, then a fully transparent pixel
  EXPECT_EQ(canvas->alpha[2], 0);
  EXPECT_EQ(canvas->alpha[0], 255);
}

// Frames of a GIF with local palettes (ffmpeg's and gifsicle's output) index different colour
// tables: the canvas must show their colours, not the global palette's at the same indexes.
TEST(CompositorTrueColour, LocalPalettesShowTheirOwnColours) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(2, 1, 4);  // global entry i = (i, 255 - i, 7i)
  test::AddFrame(*doc, 0, 0, 2, 1, [](int, int) { return 1; });
  ImageBlock& second = test::AddFrame(*doc, 1, 0, 1, 1, [](int, int) { return 1; });
  const Rgb local[2] = {{0, 0, 0}, {200, 100, 50}};
  SetLocalPalette(second, Palette::Create(local, 2));
  Compositor c(*doc);
  ASSERT_TRUE(c.trueColourMode());
  const ImageBlock* canvas = c.first();
  EXPECT_EQ(CanvasColour(*canvas, 1)[2], 1);  // global entry 1: red 1
  canvas = c.next();
  EXPECT_EQ(CanvasColour(*canvas, 0)[2], 1);
  EXPECT_EQ(CanvasColour(*canvas, 1)[2], 200);  // the local entry 1
  EXPECT_EQ(CanvasColour(*canvas, 1)[1], 100);
  // A local palette equal to the global one changes nothing.
  AnimPtr same = test::NewDocument(2, 1, 4);
  ImageBlock& f = test::AddFrame(*same, 0, 0, 2, 1, [](int, int) { return 1; });
  SetLocalPalette(f, same->globalPalette->copy());
  EXPECT_FALSE(Compositor(*same).trueColourMode());
}

}  // namespace
}  // namespace fw
