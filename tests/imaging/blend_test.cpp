// Blend: the pairing by time and one to one, the blended pictures against the compositor's
// pictures of both animations, and that a blend that does not go through changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/compositor.h"
#include "core/frame_planes.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "imaging/blend.h"
#include "imaging/blend_pairing.h"
#include "support/test_support.h"

namespace fw {
namespace {

// Frame boundaries of an animation up to `length`, repeating it when it loops.
std::set<int64_t> Boundaries(const std::vector<int32_t>& delays, bool loop, int64_t length) {
  std::set<int64_t> out;
  int64_t t = 0, total = 0;
  for (int32_t d : delays) total += d;
  do {
    for (int32_t d : delays) {
      t += d;
      if (t > length) return out;
      out.insert(t);
    }
  } while (loop && total > 0 && t < length);
  return out;
}

// The frame shown at time t, or -1 once the animation is over.
int FrameAt(const std::vector<int32_t>& delays, bool loop, int64_t t) {
  int64_t total = 0;
  for (int32_t d : delays) total += d;
  if (t >= total) {
    if (!loop) return -1;
    t %= total;
  }
  for (size_t i = 0; i < delays.size(); ++i) {
    if (t < delays[i]) return static_cast<int>(i);
    t -= delays[i];
  }
  return -1;
}

std::vector<Rgb> Colours(const AnimHeader& doc, const std::vector<uint8_t>& pixels) {
  std::vector<Rgb> out;
  for (uint8_t p : pixels) out.push_back((*doc.globalPalette)[p]);
  return out;
}

// What a viewer shows at every frame.
std::vector<std::vector<Rgb>> Timeline(const AnimHeader& doc) {
  std::vector<std::vector<Rgb>> frames;
  Compositor c(doc);
  for (const ImageBlock* canvas = c.first(); canvas; canvas = c.next()) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < doc.screenHeight; ++y)
      pixels.insert(pixels.end(), canvas->indexedImage->row(y), canvas->indexedImage->row(y) + doc.screenWidth);
    frames.push_back(Colours(doc, pixels));
  }
  return frames;
}

// A composed canvas's screen pixels and key.
struct Shown {
  std::vector<uint8_t> pixels;
  int key = -1;
};
std::vector<Shown> ComposedFrames(const AnimHeader& doc) {
  std::vector<Shown> out;
  Compositor c(doc);
  for (const ImageBlock* canvas = c.first(); canvas; canvas = c.next()) {
    Shown s;
    for (int y = 0; y < doc.screenHeight; ++y)
      s.pixels.insert(s.pixels.end(), canvas->indexedImage->row(y), canvas->indexedImage->row(y) + doc.screenWidth);
    s.key = canvas->transparent() ? canvas->transparentIndex : -1;
    out.push_back(std::move(s));
  }
  return out;
}

void Overlay(std::vector<uint8_t>& out, int w, const Shown& s, int sw, int sh, int x, int y) {
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sw; ++i) {
      const uint8_t p = s.pixels[static_cast<size_t>(j * sw + i)];
      if (p != s.key) out[static_cast<size_t>((j + y) * w + i + x)] = p;
    }
}

// Transparent frames of the first animation over index 0, the background.
AnimPtr FirstAnimation() {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  doc->backgroundIndex = 0;
  ImageBlock& a = test::AddFrame(*doc, 1, 1, 5, 4, [](int x, int y) { return (x + y) % 3 ? 2 + x : 0; });
  a.delay = 10;
  ImageBlock& b = test::AddFrame(*doc, 3, 0, 4, 3, [](int x, int y) { return x == y ? 0 : 9; });
  b.delay = 20;
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
    SetTransparency(*f, true);
    SetDisposal(*f, kDisposalLeave);
  }
  std::unique_ptr<ExtensionBlock> comment = CreateExtensionBlock(block_kind::kComment);
  SetCommentText(*comment, "kept");
  InsertAfter(FirstImage(doc.get()), comment.release());
  return doc;
}

// A small square moving over a transparent screen, each position cleared after its time.
AnimPtr SecondAnimation() {
  AnimPtr doc = test::NewDocument(4, 4, 16);
  for (int i = 0; i < 3; ++i) {
    ImageBlock& f = test::AddFrame(*doc, i, i, 2, 2, [i](int, int) { return 12 + i; });
    f.delay = 5;
    SetTransparency(f, true);
    SetDisposal(f, kDisposalBackground);
  }
  return doc;
}

AnimationLoader LoaderOf(const AnimHeader& doc) {
  return [&doc](const std::string&) { return LoadResult{kReadComplete, CopyAnimation(doc, nullptr)}; };
}

BlendOptionsChooser Choose(BlendOptions options) {
  return [options](const AnimHeader&, const AnimHeader&, BlendOptions& o) {
    o = options;
    return true;
  };
}

class BlendTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override {
    ClearUndo();
    SetMaxPlaneBytes(saved_);
  }
  test::ScopedMessages messages_;
  size_t saved_ = MaxPlaneBytes();
};

}  // namespace

TEST_F(BlendTest, ByTimeEveryBoundaryOfEitherAnimation) {
  const std::vector<int32_t> cases[][2] = {
      {{3, 5, 2}, {4, 4, 4, 1}}, {{10}, {3, 3}}, {{0, 5, 0, 2}, {2, 2}}, {{7, 7}, {7, 7}}, {{1, 1, 1}, {50}}};
  for (const auto& c : cases)
    for (bool loop : {false, true}) {
      const auto& a = c[0];
      const auto& b = c[1];
      SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << " loop " << loop);
      const std::vector<BlendStep> steps = BlendSchedule(a, b, true, loop);
      int64_t ta = 0, tb = 0;
      for (int32_t d : a) ta += d;
      for (int32_t d : b) tb += d;
      const int64_t length = std::max(ta, tb);

      std::set<int64_t> expected = Boundaries(a, loop, length);
      const std::set<int64_t> more = Boundaries(b, loop, length);
      expected.insert(more.begin(), more.end());
      std::set<int64_t> got;
      int64_t t = 0;
      for (const BlendStep& s : steps) {
        if (s.delay > 0) {
          EXPECT_EQ(s.first, FrameAt(a, loop, t)) << "at " << t;
          EXPECT_EQ(s.second, FrameAt(b, loop, t)) << "at " << t;
        }
        t += s.delay;
        got.insert(t);
      }
      EXPECT_EQ(t, length);
      EXPECT_EQ(got, expected);
    }
}

TEST_F(BlendTest, OneToOneAndLoopingRepeatTheShorterInOrder) {
  const std::vector<int32_t> five{1, 2, 3, 4, 5}, two{7, 8};
  auto column = [](const std::vector<BlendStep>& steps, int which) {
    std::vector<int> out;
    for (const BlendStep& s : steps) out.push_back(which == 0 ? s.first : which == 1 ? s.second : s.delay);
    return out;
  };
  EXPECT_EQ(column(BlendSchedule(five, two, false, true), 1), (std::vector<int>{0, 1, 0, 1, 0}));
  EXPECT_EQ(column(BlendSchedule(five, two, false, true), 2), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(column(BlendSchedule(five, two, false, false), 1), (std::vector<int>{0, 1, -1, -1, -1}));
  // Once the first animation has ended, the second one's delays take over.
  EXPECT_EQ(column(BlendSchedule(two, five, false, false), 0), (std::vector<int>{0, 1, -1, -1, -1}));
  EXPECT_EQ(column(BlendSchedule(two, five, false, false), 2), (std::vector<int>{7, 8, 3, 4, 5}));

  // Animations that take no time: by time has no timeline, so the frames are paired instead
  // of vanishing, and a looping one that takes no time still lets the blend end.
  EXPECT_EQ(BlendSchedule({0, 0, 0}, {0}, true, true).size(), 3u);
  const std::vector<BlendStep> steps = BlendSchedule({0, 0}, {4, 6}, true, true);
  int64_t total = 0;
  for (const BlendStep& s : steps) total += s.delay;
  EXPECT_EQ(total, 10);
}

TEST_F(BlendTest, FramesAreTheComposedPairsAtTheOffset) {
  AnimPtr doc = FirstAnimation();
  const AnimPtr second = SecondAnimation();  // same palette: the conversion shares it
  const auto shownD = ComposedFrames(*doc);
  const auto shownE = ComposedFrames(*second);
  AnimPtr before = CopyAnimation(*doc, nullptr);

  ASSERT_EQ(Blend(*doc, "second.gif", LoaderOf(*second), Choose({3, -2, true, true}), nullptr), 2);
  // Screen: 8 wide; 6 + 2 high, the first animation moved down by 2.
  ASSERT_EQ(doc->screenWidth, 8);
  ASSERT_EQ(doc->screenHeight, 8);
  // By time with the 15-tick second animation looping over the 30-tick first one.
  const int pairs[][2] = {{0, 0}, {0, 1}, {1, 2}, {1, 0}, {1, 1}, {1, 2}};
  ASSERT_EQ(doc->frameCount, 6);
  const auto viewer = Timeline(*doc);
  int n = 0;
  for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f), ++n) {
    SCOPED_TRACE(testing::Message() << "frame " << n);
    EXPECT_EQ(f->delay, 5);
    EXPECT_EQ(FrameName(*f), "混合帧 " + std::to_string(n + 1));
    EXPECT_EQ(f->left, 0);
    ASSERT_EQ(f->width, 8);
    std::vector<uint8_t> expected(64, 0);
    Overlay(expected, 8, shownD[pairs[n][0]], 8, 6, 0, 2);
    Overlay(expected, 8, shownE[pairs[n][1]], 4, 4, 3, 0);
    EXPECT_EQ(test::FramePixels(*f), expected);
    // A viewer shows each blended frame as it is: nothing of the frame before shows through.
    EXPECT_EQ(viewer[static_cast<size_t>(n)], Colours(*doc, expected));
  }
  const GifBlock* last = LastBlock(doc.get());
  ASSERT_TRUE(IsComment(*last));
  EXPECT_EQ(CommentText(*last), "kept");

  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");

  EXPECT_EQ(StartBlendOptions().byTime, true);
  ASSERT_EQ(Blend(*doc, "second.gif", LoaderOf(*second), Choose({0, 0, false, false}), nullptr), 2);
  EXPECT_EQ(doc->frameCount, 3);  // one to one: the longer one's count
  EXPECT_FALSE(StartBlendOptions().byTime);
  EXPECT_FALSE(StartBlendOptions().loop);
}

TEST_F(BlendTest, ABlendThatDoesNotGoThroughChangesNothing) {
  AnimPtr doc = FirstAnimation();
  AnimPtr second = SecondAnimation();
  // Different colours: the conversion rewrites the document's palette before the dialog.
  for (ImageBlock* f = FirstImage(second.get()); f; f = NextImage(f)) f->activePalette = nullptr;
  const Rgb grey[3] = {{9, 9, 9}, {90, 90, 90}, {200, 10, 10}};
  SetGlobalPalette(*second, Palette::Create(grey, 3));
  for (ImageBlock* f = FirstImage(second.get()); f; f = NextImage(f)) {
    f->activePalette = second->globalPalette.get();
    for (int y = 0; y < f->height; ++y) std::fill_n(f->indexedImage->row(y), f->width, 2);
  }
  AnimPtr before = CopyAnimation(*doc, nullptr);
  const auto cancel = [](const AnimHeader&, const AnimHeader&, BlendOptions&) { return false; };

  EXPECT_EQ(Blend(*doc, "x", [](const std::string&) { return LoadResult{}; }, nullptr, nullptr), 0);
  EXPECT_EQ(Blend(*doc, "x", LoaderOf(*second), cancel, nullptr), 0);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_EQ(UndoCount(), 0);

  // Without undo levels the blend keeps its own copy to go back to.
  Prefs().write(pref::kUndoLevels, 0);
  EXPECT_EQ(Blend(*doc, "x", LoaderOf(*second), cancel, nullptr), 0);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  Prefs().write(pref::kUndoLevels, 20);

  SetMaxPlaneBytes(32);
  EXPECT_EQ(Blend(*doc, "x", LoaderOf(*second), Choose({0, 0, true, true}), nullptr), 0);
  EXPECT_EQ(messages_.ids(), std::vector<int>{40182});
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_EQ(UndoCount(), 0);
}

TEST_F(BlendTest, TrueColourOutputAgreesWithTheIndexedPicture) {
  AnimPtr doc = FirstAnimation();
  ASSERT_EQ(ExpandToTrueColour(*FirstImage(doc.get())), 1);
  const AnimPtr second = SecondAnimation();
  ASSERT_EQ(Blend(*doc, "x", LoaderOf(*second), Choose({-2, 1, true, false}), nullptr), 2);
  EXPECT_EQ(doc->screenWidth, 10);
  EXPECT_EQ(doc->screenHeight, 6);
  for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
    ASSERT_TRUE(TrueColourRows(*f) && AlphaRows(*f));
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x) {
        const uint8_t index = f->indexedImage->row(y)[x];
        const uint8_t alpha = AlphaRows(*f)[y * Stride8(f->width) + x];
        EXPECT_EQ(alpha == 0, f->transparent() && index == f->transparentIndex) << x << "," << y;
        if (alpha == 255) {
          const uint8_t* c = TrueColourRows(*f) + y * Stride24(f->width) + 3 * x;
          EXPECT_EQ(Rgb(c[2], c[1], c[0]), (*doc->globalPalette)[index]) << x << "," << y;
        }
      }
  }
}

}  // namespace fw
