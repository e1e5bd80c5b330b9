// Resize: the bicubic weights and resampler against a plain implementation of the same kernel,
// the nearest-neighbour guarantees, the screen rules, failure without change, the dialog fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "imaging/palette_merge.h"
#include "imaging/resize.h"
#include "imaging/resize_fields.h"
#include "imaging/resize_kernel.h"
#include "imaging/resize_resample.h"
#include "support/test_support.h"

namespace fw {
namespace {

// --- the reference: the kernel as written down, taps outside the source clamped to the edge ---

double Kernel(double x) {
  x = std::fabs(x);
  if (x < 1) return 1 - 2 * x * x + x * x * x;
  if (x < 2) return 4 - 8 * x + 5 * x * x - x * x * x;
  return 0;
}

// Weight per source index for destination index i (sums of the clamped taps), and the centre.
std::vector<int> ReferenceWeights(int S, int D, int i, int* centre = nullptr) {
  const float x = static_cast<float>(S) / static_cast<float>(D) * static_cast<float>(i);
  const int c = static_cast<int>(x);
  const double p = std::floor(5.0f * (x - static_cast<float>(c)) + 0.5f) / 5.0f;
  std::vector<int> w(static_cast<size_t>(S), 0);
  for (int k = -2; k <= 2; ++k) w[static_cast<size_t>(std::clamp(c + k, 0, S - 1))] += static_cast<int>(4096 * Kernel(k - p));
  if (centre) *centre = c;
  return w;
}

uint8_t Round12(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>((v + 2048) >> 12, 0, 255)); }

// Straightforward two passes over a packed w*h*3 picture.
std::vector<uint8_t> ReferenceResample(const std::vector<uint8_t>& src, int sw, int sh, int dw, int dh) {
  std::vector<uint8_t> mid(static_cast<size_t>(dw * sh * 3)), out(static_cast<size_t>(dw * dh * 3));
  for (int i = 0; i < dw; ++i) {
    const std::vector<int> w = ReferenceWeights(sw, dw, i);
    for (int y = 0; y < sh; ++y)
      for (int ch = 0; ch < 3; ++ch) {
        int64_t v = 0;
        for (int s = 0; s < sw; ++s) v += int64_t{w[static_cast<size_t>(s)]} * src[static_cast<size_t>((y * sw + s) * 3 + ch)];
        mid[static_cast<size_t>((y * dw + i) * 3 + ch)] = Round12(v);
      }
  }
  for (int j = 0; j < dh; ++j) {
    const std::vector<int> w = ReferenceWeights(sh, dh, j);
    for (int x = 0; x < dw; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        int64_t v = 0;
        for (int s = 0; s < sh; ++s) v += int64_t{w[static_cast<size_t>(s)]} * mid[static_cast<size_t>((s * dw + x) * 3 + ch)];
        out[static_cast<size_t>((j * dw + x) * 3 + ch)] = Round12(v);
      }
  }
  return out;
}

std::vector<uint8_t> Packed(const std::vector<uint8_t>& plane, int w, int h) {
  std::vector<uint8_t> out;
  for (int y = 0; y < h; ++y) out.insert(out.end(), plane.begin() + static_cast<long>(y * Stride24(w)), plane.begin() + static_cast<long>(y * Stride24(w) + 3 * w));
  return out;
}
std::vector<uint8_t> Padded(const std::vector<uint8_t>& packed, int w, int h) {
  std::vector<uint8_t> out(Stride24(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) std::copy_n(packed.begin() + y * w * 3, w * 3, out.begin() + static_cast<long>(y * Stride24(w)));
  return out;
}

std::vector<uint8_t> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

class ResizeTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override {
    ClearUndo();
    SetMaxPlaneBytes(saved_);
    SetPaletteMergeAsker(nullptr);
  }
  test::ScopedMessages messages_;
  size_t saved_ = MaxPlaneBytes();
};

}  // namespace

TEST_F(ResizeTest, WeightTablesMatchTheKernelWithEdgeTapsFolded) {
  const std::pair<int, int> sizes[] = {{1, 7}, {2, 5}, {3, 3}, {5, 17}, {17, 5}, {640, 320}, {7, 100}, {100, 7}, {4, 9}};
  for (auto [S, D] : sizes) {
    const std::vector<CubicTaps> table = CubicWeightTable(S, D);
    ASSERT_EQ(table.size(), static_cast<size_t>(D));
    for (int i = 0; i < D; ++i) {
      SCOPED_TRACE(testing::Message() << S << " -> " << D << " at " << i);
      int centre = 0;
      const std::vector<int> expected = ReferenceWeights(S, D, i, &centre);
      const CubicTaps& t = table[static_cast<size_t>(i)];
      EXPECT_EQ(t.centre, centre);
      std::vector<int> got(static_cast<size_t>(S), 0);
      std::set<int> present;
      for (int k = 0; k < t.count; ++k) {
        got[static_cast<size_t>(t.first + k)] += t.weightAt(k);
        present.insert(t.first + k);
      }
      EXPECT_EQ(got, expected);
      // The taps present are exactly the source pixels among c - 2 .. c + 2.
      std::set<int> inside;
      int mask = 0;
      for (int k = -2; k <= 2; ++k)
        if (centre + k >= 0 && centre + k < S) {
          inside.insert(centre + k);
          mask |= 1 << (k + 2);
        }
      EXPECT_EQ(present, inside);
      EXPECT_EQ(t.mask, mask);
    }
  }
  // A one-pixel source: the centre alone carries the whole sum.
  for (const CubicTaps& t : CubicWeightTable(1, 6)) {
    EXPECT_EQ(t.count, 1);
    EXPECT_EQ(t.mask, 4);
    EXPECT_EQ(t.weightAt(0), 4096);
  }
}

TEST_F(ResizeTest, ResamplingMatchesTheStraightforwardTwoPasses) {
  const int cases[][4] = {{13, 9, 29, 4}, {13, 9, 5, 21}, {1, 6, 7, 3}, {40, 30, 20, 15}, {6, 5, 6, 5}};
  for (const auto& c : cases) {
    const int sw = c[0], sh = c[1], dw = c[2], dh = c[3];
    SCOPED_TRACE(testing::Message() << sw << "x" << sh << " -> " << dw << "x" << dh);
    const std::vector<uint8_t> src = Noise(static_cast<size_t>(sw * sh * 3), static_cast<unsigned>(sw * 31 + dw));
    const std::vector<uint8_t> padded = Padded(src, sw, sh);
    std::vector<uint8_t> out(Stride24(dw) * static_cast<size_t>(dh));
    ResampleScratch scratch;
    ResampleColour({padded.data(), Stride24(sw)}, {}, sh, {out.data(), Stride24(dw)}, {}, dw, CubicWeightTable(sw, dw),
                   CubicWeightTable(sh, dh), scratch);
    EXPECT_EQ(Packed(out, dw, dh), ReferenceResample(src, sw, sh, dw, dh));
  }
}

TEST_F(ResizeTest, BicubicCommandGivesTheReferencePictureAndUndoes) {
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  AnimPtr doc = test::NewDocument(12, 8, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 12, 8, [](int x, int y) { return (x * 3 + y * 5) % 16; });
  ASSERT_EQ(ExpandToTrueColour(f), 1);
  const std::vector<uint8_t> noise = Noise(12 * 8 * 3, 7);
  f.trueColour = Padded(noise, 12, 8);
  AnimPtr before = CopyAnimation(*doc, nullptr);

  ASSERT_EQ(ResizeAnimation(*doc, {12, 8, 31, 5, false}, true, nullptr), 1);
  EXPECT_EQ(doc->screenWidth, 31);
  EXPECT_EQ(doc->screenHeight, 5);
  const ImageBlock* g = FirstImage(doc.get());
  ASSERT_TRUE(g->hasTrueColour() && g->indexedImage);
  EXPECT_EQ(Packed(g->trueColour, 31, 5), ReferenceResample(noise, 12, 8, 31, 5));

  ApplyUndo(*doc, false);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
}

TEST_F(ResizeTest, TransparentPixelsNeverBleedAndStayWhereTheCentreIs) {
  const int sw = 9, sh = 7;
  const auto hole = [](int x, int y) { return (x + 2 * y) % 5 == 0 || x == 8; };
  std::vector<uint8_t> colour(Stride24(sw) * sh), mask(Stride8(sw) * sh);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) {
      const bool h = hole(x, y);
      const uint8_t px[3] = {static_cast<uint8_t>(h ? 250 : 10), static_cast<uint8_t>(h ? 0 : 200), static_cast<uint8_t>(h ? 250 : 30)};
      std::copy_n(px, 3, colour.begin() + static_cast<long>(y * Stride24(sw) + 3 * x));
      mask[y * Stride8(sw) + x] = h ? 0 : 255;
    }
  for (auto [dw, dh] : {std::pair{20, 15}, std::pair{4, 3}, std::pair{9, 7}, std::pair{13, 2}}) {
    SCOPED_TRACE(testing::Message() << dw << "x" << dh);
    const auto columns = CubicWeightTable(sw, dw), rows = CubicWeightTable(sh, dh);
    std::vector<uint8_t> out(Stride24(dw) * dh), outMask(Stride8(dw) * dh);
    ResampleScratch scratch;
    ResampleColour({colour.data(), Stride24(sw)}, {mask.data(), Stride8(sw)}, sh, {out.data(), Stride24(dw)},
                   {outMask.data(), Stride8(dw)}, dw, columns, rows, scratch);
    for (int j = 0; j < dh; ++j)
      for (int i = 0; i < dw; ++i) {
        const bool centreHole = hole(columns[i].centre, rows[j].centre);
        const uint8_t* px = &out[j * Stride24(dw) + 3 * i];
        ASSERT_EQ(outMask[j * Stride8(dw) + i], centreHole ? 0 : 255) << i << "," << j;
        if (centreHole)
          EXPECT_EQ(std::vector<uint8_t>(px, px + 3), (std::vector<uint8_t>{250, 0, 250}));
        else
          EXPECT_EQ(std::vector<uint8_t>(px, px + 3), (std::vector<uint8_t>{10, 200, 30})) << i << "," << j;
      }
  }

  // The same through the command: after the palette conversion the frame is transparent
  // exactly there, and every other pixel still shows the one opaque colour.
  AnimPtr doc = test::NewDocument(sw, sh, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, sw, sh, [&](int x, int y) { return hole(x, y) ? 15 : 5; });
  f.transparentIndex = 15;
  SetTransparency(f, true);
  const Rgb opaque = (*doc->globalPalette)[5];
  ASSERT_EQ(ResizeAnimation(*doc, {sw, sh, 20, 15, false}, true, nullptr), 1);
  const ImageBlock* g = FirstImage(doc.get());
  ASSERT_TRUE(g->transparent());
  EXPECT_FALSE(g->hasTrueColour());
  const auto columns = CubicWeightTable(sw, 20), rows = CubicWeightTable(sh, 15);
  for (int j = 0; j < 15; ++j)
    for (int i = 0; i < 20; ++i) {
      const uint8_t index = g->indexedImage->row(j)[i];
      ASSERT_EQ(index == g->transparentIndex, hole(columns[i].centre, rows[j].centre)) << i << "," << j;
      if (index != g->transparentIndex) {
        EXPECT_EQ((*g->activePalette)[index], opaque);
      }
    }
}

TEST_F(ResizeTest, NearestKeepsPaletteTransparencyAndEveryColour) {
  AnimPtr doc = test::NewDocument(10, 8, 32);
  ImageBlock& f = test::AddFrame(*doc, 2, 1, 6, 5, [](int x, int y) { return (x * 7 + y * 3) % 23; });
  f.transparentIndex = 4;
  SetTransparency(f, true);
  const std::vector<uint8_t> source = test::FramePixels(f);
  AnimPtr before = CopyAnimation(*doc, nullptr);

  // Doubling: every source pixel becomes a 2 x 2 block.
  ASSERT_EQ(ResizeAnimation(*doc, {10, 8, 20, 16, false}, false, nullptr), 1);
  const ImageBlock* g = FirstImage(doc.get());
  EXPECT_EQ(g->left, 4);
  EXPECT_EQ(g->top, 2);
  ASSERT_EQ(g->width, 12);
  ASSERT_EQ(g->height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(g->indexedImage->row(y)[x], source[(y / 2) * 6 + x / 2]);
  EXPECT_TRUE(doc->globalPalette->sameEntries(*before->globalPalette));
  EXPECT_TRUE(g->transparent());
  EXPECT_EQ(g->transparentIndex, 4);

  // An uneven factor keeps the colour set: nothing new, nothing lost when enlarging.
  ApplyUndo(*doc, false);
  ASSERT_EQ(ResizeAnimation(*doc, {10, 8, 17, 13, false}, false, nullptr), 1);
  const std::vector<uint8_t> scaled = test::FramePixels(*FirstImage(doc.get()));
  EXPECT_EQ(std::set<uint8_t>(scaled.begin(), scaled.end()), std::set<uint8_t>(source.begin(), source.end()));
}

TEST_F(ResizeTest, ScreenRulesAndTinyFrames) {
  AnimPtr doc = test::NewDocument(40, 30, 8);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int, int) { return 1; });
  ImageBlock& small = test::AddFrame(*doc, 30, 20, 2, 1, [](int x, int) { return x; });
  small.selected = 1;

  // Selected frames scale by the current frame's size; the screen fits all images, including
  // the unselected full-screen one.
  ASSERT_EQ(ResizeAnimation(*doc, {2, 1, 12, 6, true}, false, nullptr), 1);
  EXPECT_EQ(small.width, 12);
  EXPECT_EQ(small.height, 6);
  EXPECT_EQ(small.left, 180);
  EXPECT_EQ(small.top, 120);
  EXPECT_EQ(doc->screenWidth, 192);
  EXPECT_EQ(doc->screenHeight, 126);
  EXPECT_EQ(FirstImage(doc.get())->width, 40);

  // A factor that rounds a size to 0 leaves 1 pixel.
  ApplyUndo(*doc, false);
  ASSERT_EQ(ResizeAnimation(*doc, {40, 30, 4, 3, false}, false, nullptr), 1);
  EXPECT_EQ(ImageAt(doc.get(), 1)->width, 1);  // undo exchanged the blocks: look the frame up again
  EXPECT_EQ(ImageAt(doc.get(), 1)->height, 1);
  EXPECT_EQ(doc->screenWidth, 4);

  // Same size: nothing happens and nothing is recorded.
  const int undos = UndoCount();
  EXPECT_EQ(ResizeAnimation(*doc, {4, 3, 4, 3, false}, true, nullptr), 0);
  EXPECT_EQ(UndoCount(), undos);
}

TEST_F(ResizeTest, FailureAndCancelLeaveTheDocumentAndHistoryAlone) {
  AnimPtr doc = test::NewDocument(16, 16, 16);
  test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return (x ^ y) & 15; });
  AnimPtr before = CopyAnimation(*doc, nullptr);

  SetMaxPlaneBytes(4096);
  EXPECT_EQ(ResizeAnimation(*doc, {16, 16, 200, 200, false}, true, nullptr), 0);
  EXPECT_EQ(ResizeAnimation(*doc, {16, 16, 200, 200, false}, false, nullptr), 0);
  EXPECT_EQ(messages_.ids(), (std::vector<int>{40105, 40182}));
  SetMaxPlaneBytes(saved_);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_EQ(UndoCount(), 0);

  // Cancelling the palette question changes nothing either.
  Prefs().write(pref::kPaletteMerge, Prefs().read(pref::kPaletteMerge) | merge_word::kAsk);
  SetPaletteMergeAsker([](uint32_t&, bool) { return false; });
  EXPECT_EQ(ResizeAnimation(*doc, {16, 16, 20, 20, false}, true, nullptr), 0);
  EXPECT_EQ(test::DocumentDifference(*doc, *before), "");
  EXPECT_EQ(UndoCount(), 0);
}

TEST_F(ResizeTest, LinkedFields) {
  ResizeFields f = StartResizeFields(200, 100);
  EXPECT_EQ(f.newWidth, 200);
  SetNewWidth(f, 301);
  EXPECT_EQ(f.widthPercent, 151);  // (30100 + 100) / 200
  EXPECT_EQ(f.newHeight, 100);     // not linked yet
  SetKeepAspect(f, true);          // the height follows the width at once
  EXPECT_EQ(f.newHeight, 151);     // (301 * 100 + 100) / 200
  EXPECT_EQ(f.heightPercent, 151);
  SetHeightPercent(f, 33);
  EXPECT_EQ(f.newHeight, 33);
  EXPECT_EQ(f.newWidth, 66);
  EXPECT_EQ(f.widthPercent, 33);
  SetWidthPercent(f, 0);  // rounds to nothing: one pixel
  EXPECT_EQ(f.newWidth, 1);
  EXPECT_EQ(f.newHeight, 1);
  SetNewHeight(f, 50000);
  EXPECT_EQ(f.newHeight, kMaxResizeLength);
  EXPECT_EQ(f.newWidth, kMaxResizeLength);

  f.bicubic = true;
  StoreResizeChoices(f);
  const ResizeFields again = StartResizeFields(10, 10);
  EXPECT_TRUE(again.keepAspect);
  EXPECT_TRUE(again.bicubic);
}

}  // namespace fw
