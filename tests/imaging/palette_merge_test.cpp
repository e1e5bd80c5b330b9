// Palette merge and conversion: the merge table, the modes and the batch merge that uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "colour_test_util.h"
#include "core/batch.h"
#include "core/preferences.h"
#include "imaging/fixed_palettes.h"
#include "imaging/merge_table.h"
#include "imaging/palette_merge.h"
#include "imaging/palette_reconcile.h"

namespace fw {
namespace {

using test::DocumentWith;
using test::MakeTransparent;

// Colours on a grid of four so that each has a histogram cell and an octree leaf of its own.
std::vector<Rgb> GridColours(std::mt19937& rng, int n) {
  std::vector<Rgb> out;
  std::uniform_int_distribution<int> d(0, 63);
  while (int(out.size()) < n) {
    const Rgb c{uint8_t(d(rng) * 4), uint8_t(d(rng) * 4), uint8_t(d(rng) * 4)};
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  }
  return out;
}

void AddRandomFrames(std::mt19937& rng, AnimHeader& doc, int frames, bool transparent) {
  const int colours = doc.globalPalette->count();
  for (int k = 0; k < frames; ++k) {
    std::uniform_int_distribution<int> pick(0, colours - 1);
    ImageBlock& f = test::AddFrame(doc, k, 0, 7, 5, [&](int, int) { return pick(rng); });
    if (transparent && k % 2 == 0) MakeTransparent(f, pick(rng));
  }
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
}

bool NoLocalPalettes(const AnimHeader& doc) {
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (f->localPalette || f->activePalette != doc.globalPalette.get() || !test::ColourTableMatches(*f)) return false;
  return true;
}

TEST(MergeTable, MatchesFillsUnusedEntriesThenAppendsAndIsLossyOnlyWhenFull) {
  std::vector<Rgb> running = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}};
  int32_t usage[256] = {5, 0, 7};
  const Rgb source[] = {{3, 3, 3}, {50, 0, 0}, {60, 0, 0}, {2, 2, 2}, {90, 90, 90}};
  const int32_t sourceUsage[256] = {1, 1, 1, 0, 4};
  RemapTable table;
  const int bits = MergeTable(running, source, 5, table, usage, sourceUsage);
  EXPECT_EQ(bits, merge_result::kLossless | merge_result::kPaletteChanged);
  EXPECT_EQ(table[0], 2);   // exact
  EXPECT_EQ(table[1], 1);   // the unused entry first
  EXPECT_EQ(table[2], 3);   // then appended
  EXPECT_EQ(table[3], -1);  // unused source entry
  EXPECT_EQ(table[4], 4);
  EXPECT_EQ(running.size(), 5u);
  EXPECT_EQ(running[1], (Rgb{50, 0, 0}));
  EXPECT_EQ(usage[1], 1);
  EXPECT_EQ(usage[4], 4);

  // An exact match on an entry nobody used yet is reported.
  std::vector<Rgb> r2 = {{1, 1, 1}, {2, 2, 2}};
  int32_t u2[256] = {3, 0};
  const Rgb s2[] = {{2, 2, 2}};
  const int32_t su2[256] = {1};
  EXPECT_EQ(MergeTable(r2, s2, 1, table, u2, su2), merge_result::kLossless | merge_result::kUnusedEntryTaken);

  // A full, fully used palette: the nearest entry and the lossless bit goes.
  std::vector<Rgb> full(256);
  int32_t fullUsage[256];
  for (int i = 0; i < 256; ++i) full[size_t(i)] = {uint8_t(i), 0, 0}, fullUsage[i] = 1;
  const Rgb s3[] = {{10, 1, 0}};
  const int32_t su3[256] = {2};
  EXPECT_EQ(MergeTable(full, s3, 1, table, fullUsage, su3), 0);
  EXPECT_EQ(table[0], 10);
}

TEST(MergeWord, ModePrecedenceAndCounts) {
  using namespace merge_word;
  EXPECT_EQ(MergeMode(kAdaptive | kMergeIntoGlobal | kLocal), kMergeIntoGlobal);
  EXPECT_EQ(MergeMode(kAdaptive | kLocal), kLocal);
  EXPECT_EQ(MergeMode(kLocal | kFixed), kFixed);
  EXPECT_EQ(MergeMode(kWeb | kFixed | kMap), kMap);
  EXPECT_EQ(MergeMode(0), kAdaptive);
  EXPECT_EQ(AdaptiveColours(kDefault), 256);
  EXPECT_EQ(TrueColourColours(Make(kAdaptive, 8, 4)), 16);
  EXPECT_EQ(AdaptiveColours(Make(kAdaptive, 5, 8)), 32);
}

TEST(WebPalette, CubeThenBlack) {
  auto web = WebPalette();
  ASSERT_EQ(web->count(), 256);
  EXPECT_EQ((*web)[1 * 36 + 2 * 6 + 3], (Rgb{51, 102, 153}));
  EXPECT_EQ((*web)[215], (Rgb{255, 255, 255}));
  for (int i = 216; i < 256; ++i) EXPECT_EQ((*web)[i], (Rgb{0, 0, 0}));
}

TEST(ConvertPalettes, IdenticalPalettesAreSharedWithoutTouchingPixels) {
  test::ScopedMessages messages;
  std::mt19937 rng(3);
  const auto colours = test::RandomColours(rng, 30);
  AnimPtr target = DocumentWith(colours);
  AddRandomFrames(rng, *target, 2, true);
  AnimPtr source = DocumentWith(colours);
  AddRandomFrames(rng, *source, 3, true);
  std::vector<std::vector<uint8_t>> pixels;
  for (ImageBlock* f = FirstImage(source.get()); f; f = NextImage(f)) pixels.push_back(test::FramePixels(*f));

  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::kDefault, nullptr), kConvertDone);
  EXPECT_EQ(source->globalPalette, nullptr);
  size_t k = 0;
  for (ImageBlock* f = FirstImage(source.get()); f; f = NextImage(f), ++k) {
    EXPECT_EQ(f->activePalette, target->globalPalette.get());
    EXPECT_EQ(test::FramePixels(*f), pixels[k]);
  }
}

TEST(ConvertPalettes, MappingOntoAPaletteHoldingEveryColourChangesNothingShown) {
  test::ScopedMessages messages;
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    // The target holds the source's colours in another order, among others.
    std::vector<Rgb> all = test::RandomColours(rng, 60 + round * 9);
    std::sort(all.begin(), all.end(), [](Rgb a, Rgb b) { return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b); });
    all.erase(std::unique(all.begin(), all.end()), all.end());
    std::vector<Rgb> mine(all.begin(), all.begin() + std::min<ptrdiff_t>(40 + round, ptrdiff_t(all.size())));
    std::shuffle(all.begin(), all.end(), rng);
    std::shuffle(mine.begin(), mine.end(), rng);

    AnimPtr target = DocumentWith(all);
    AnimPtr source = DocumentWith(mine);
    AddRandomFrames(rng, *source, 4, true);
    const test::Shown before = test::Displayed(*source);
    ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kMap, 8, 8), nullptr),
              kConvertDone);
    EXPECT_EQ(test::Displayed(*source), before) << round;
    EXPECT_EQ(source->globalPalette, nullptr);
    for (ImageBlock* f = FirstImage(source.get()); f; f = NextImage(f)) {
      EXPECT_EQ(f->activePalette, target->globalPalette.get());
      EXPECT_TRUE(test::ColourTableMatches(*f));
    }
  }
}

// The target's palette is full and the incoming transparent colour is nearest to a colour the
// frame shows: transparency must get an entry of its own, with and without dithering.
TEST(ConvertPalettes, MappingKeepsOpaquePixelsOpaqueWhenThePaletteIsFull) {
  test::ScopedMessages messages;
  const std::vector<Rgb> target4 = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  // Four pixels: one entry of the target left unshown; five: every entry shown.
  for (const int width : {4, 5}) {
    for (const bool dither : {false, true}) {
      SCOPED_TRACE(testing::Message() << width << " pixels, dither " << dither);
      AnimPtr target = DocumentWith(target4);
      test::AddFrame(*target, 0, 0, 1, 1, [](int, int) { return 0; });
      AnimPtr source = DocumentWith({{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {250, 0, 0}});
      const int row4[] = {0, 1, 2, 4}, row5[] = {0, 1, 2, 3, 4};
      ImageBlock& f = test::AddFrame(*source, 0, 0, width, 1, [&](int x, int) { return width == 4 ? row4[x] : row5[x]; });
      MakeTransparent(f, 4);
      const uint32_t mode = merge_word::kMap | (dither ? merge_word::kDither : 0u);
      ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(mode, 8, 8), nullptr), kConvertDone);
      const ImageBlock& mapped = *FirstImage(source.get());
      ASSERT_TRUE(mapped.transparent());
      const auto pixels = test::FramePixels(mapped);
      int clear = 0;
      for (uint8_t p : pixels) clear += p == mapped.transparentIndex;
      EXPECT_EQ(clear, 1);
      EXPECT_EQ(pixels.back(), mapped.transparentIndex);
      // Where an entry had to be emptied, only the pixels of that one entry changed colour.
      int changed = 0;
      for (int x = 0; x + 1 < width; ++x) changed += pixels[size_t(x)] != (width == 4 ? row4[x] : row5[x]);
      EXPECT_EQ(changed, width == 4 ? 0 : 1);
    }
  }
}

TEST(ConvertPalettes, MergeIntoGlobalFillsUnusedEntriesBeforeAppending) {
  test::ScopedMessages messages;
  AnimPtr target = DocumentWith({{10, 10, 10}, {99, 99, 99}, {20, 20, 20}});
  test::AddFrame(*target, 0, 0, 2, 1, [](int x, int) { return x * 2; });  // entry 1 unused
  AnimPtr source = DocumentWith({{20, 20, 20}, {200, 0, 0}, {0, 200, 0}});
  test::AddFrame(*source, 0, 0, 3, 1, [](int x, int) { return x; });
  const test::Shown targetBefore = test::Displayed(*target), sourceBefore = test::Displayed(*source);

  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kMergeIntoGlobal, 8, 8), nullptr),
            kConvertDone);
  const Palette& g = *target->globalPalette;
  ASSERT_EQ(g.count(), 4);
  EXPECT_EQ(g[1], (Rgb{200, 0, 0}));
  EXPECT_EQ(g[3], (Rgb{0, 200, 0}));
  EXPECT_EQ(test::FramePixels(*FirstImage(source.get())), (std::vector<uint8_t>{2, 1, 3}));
  EXPECT_EQ(test::Displayed(*target), targetBefore);
  EXPECT_EQ(test::Displayed(*source), sourceBefore);
  EXPECT_TRUE(NoLocalPalettes(*target));
}

TEST(ConvertPalettes, MergeIntoGlobalKeepsTransparencyApartFromColours) {
  test::ScopedMessages messages;
  AnimPtr target = DocumentWith({{10, 10, 10}, {20, 20, 20}});
  test::AddFrame(*target, 0, 0, 2, 1, [](int x, int) { return x; });
  // The transparent entry has the colour of an opaque one.
  AnimPtr source = DocumentWith({{10, 10, 10}, {30, 30, 30}, {10, 10, 10}});
  ImageBlock& f = test::AddFrame(*source, 0, 0, 3, 1, [](int x, int) { return x; });
  MakeTransparent(f, 2);
  const test::Shown before = test::Displayed(*source);
  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kMergeIntoGlobal, 8, 8), nullptr),
            kConvertDone);
  EXPECT_EQ(test::Displayed(*source), before);
  EXPECT_TRUE(f.transparent());
}

TEST(ConvertPalettes, TargetWithoutGlobalPaletteAdoptsTheSourceOne) {
  test::ScopedMessages messages;
  AnimPtr target = CreateAnimation();
  AnimPtr source = DocumentWith({{1, 2, 3}, {4, 5, 6}});
  const Palette* palette = source->globalPalette.get();
  test::AddFrame(*source, 0, 0, 2, 1, [](int x, int) { return x; });
  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kMap, 8, 8), nullptr), kConvertDone);
  EXPECT_EQ(target->globalPalette.get(), palette);
  EXPECT_EQ(FirstImage(source.get())->activePalette, palette);
}

TEST(ConvertPalettes, AdaptiveModeGivesOnePaletteAndKeepsColoursThatFit) {
  test::ScopedMessages messages;
  std::mt19937 rng(5);
  const auto colours = GridColours(rng, 200);
  AnimPtr target = DocumentWith(std::vector<Rgb>(colours.begin(), colours.begin() + 120));
  AddRandomFrames(rng, *target, 3, true);
  AnimPtr source = DocumentWith(std::vector<Rgb>(colours.begin() + 60, colours.end()));
  AddRandomFrames(rng, *source, 3, true);
  AnimPtr second = DocumentWith(std::vector<Rgb>(colours.begin(), colours.begin() + 10));
  AddRandomFrames(rng, *second, 1, false);
  const test::Shown t = test::Displayed(*target), s = test::Displayed(*source), s2 = test::Displayed(*second);
  source->nextInChain = std::move(second);

  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::kDefault, nullptr), kConvertDone);
  EXPECT_EQ(source->nextInChain, nullptr);
  EXPECT_EQ(source->frameCount, 4);  // the chain is joined into the first source
  EXPECT_EQ(source->globalPalette, nullptr);
  EXPECT_EQ(test::Displayed(*target), t);
  test::Shown joined = s;
  joined.insert(joined.end(), s2.begin(), s2.end());
  EXPECT_EQ(test::Displayed(*source), joined);
  EXPECT_TRUE(NoLocalPalettes(*target));
  for (ImageBlock* f = FirstImage(source.get()); f; f = NextImage(f))
    EXPECT_EQ(f->activePalette, target->globalPalette.get());
}

TEST(ConvertPalettes, AdaptiveDitheringNeverMakesOpaquePixelsTransparent) {
  test::ScopedMessages messages;
  // Dark colours whose nearest palette entry could be the black transparent slot.
  std::mt19937 rng(9);
  std::vector<Rgb> dark;
  for (int i = 0; i < 40; ++i) dark.push_back({uint8_t(i % 5), uint8_t(i / 5), uint8_t(i % 3 * 2)});
  AnimPtr target = DocumentWith(dark);
  AddRandomFrames(rng, *target, 4, true);
  std::vector<std::vector<bool>> clear;
  for (ImageBlock* f = FirstImage(target.get()); f; f = NextImage(f)) {
    std::vector<bool> c;
    for (uint8_t p : test::FramePixels(*f)) c.push_back(f->transparent() && p == f->transparentIndex);
    clear.push_back(c);
  }
  AnimPtr source = DocumentWith({{255, 255, 255}});
  test::AddFrame(*source, 0, 0, 1, 1, [](int, int) { return 0; });
  ASSERT_EQ(ConvertPalettes(target.get(), source.get(),
                            merge_word::Make(merge_word::kAdaptive | merge_word::kDither, 4, 8), nullptr),
            kConvertDone);
  size_t k = 0;
  for (ImageBlock* f = FirstImage(target.get()); f; f = NextImage(f), ++k) {
    const auto pixels = test::FramePixels(*f);
    for (size_t i = 0; i < pixels.size(); ++i)
      EXPECT_EQ(f->transparent() && pixels[i] == f->transparentIndex, clear[k][i]) << k << " " << i;
  }
}

TEST(ConvertPalettes, LocalPalettesForTheFramesOfLocalPaletteMode) {
  test::ScopedMessages messages;
  AnimPtr target = DocumentWith({{1, 1, 1}});
  AnimPtr source = DocumentWith({{7, 7, 7}, {8, 8, 8}});
  ImageBlock& a = test::AddFrame(*source, 0, 0, 2, 1, [](int x, int) { return x; });
  ImageBlock& tc = test::AddTrueColourFrame(*source, 3, 2, [](int x, int y) { return Rgb{uint8_t(x * 80), uint8_t(y * 200), 9}; });
  const auto before = test::Displayed(*source).front();
  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kLocal, 8, 8), nullptr), kConvertDone);
  EXPECT_EQ(source->globalPalette, nullptr);
  ASSERT_NE(a.localPalette, nullptr);
  EXPECT_EQ(a.localPalette->count(), 2);
  ASSERT_NE(tc.localPalette, nullptr);
  ASSERT_NE(tc.indexedImage, nullptr);
  EXPECT_EQ(tc.localPalette->count(), 6);
  EXPECT_EQ((*tc.localPalette)[tc.indexedImage->row(1)[2]], (Rgb{160, 200, 9}));
  EXPECT_EQ(test::Displayed(*source).front(), before);
  EXPECT_EQ(target->globalPalette->count(), 1);  // the target is not touched
}

TEST(ConvertPalettes, WebAndFixedModesMapOntoTheirPalette) {
  test::ScopedMessages messages;
  AnimPtr target = DocumentWith({{0, 0, 0}, {255, 255, 255}});
  test::AddFrame(*target, 0, 0, 2, 1, [](int x, int) { return x; });
  AnimPtr source = DocumentWith({{50, 100, 150}, {250, 0, 0}, {7, 7, 7}});
  ImageBlock& f = test::AddFrame(*source, 0, 0, 3, 1, [](int x, int) { return x; });
  MakeTransparent(f, 2);
  ASSERT_EQ(ConvertPalettes(target.get(), source.get(), merge_word::Make(merge_word::kWeb, 8, 8), nullptr), kConvertDone);
  const Palette& web = *target->globalPalette;
  ASSERT_EQ(web.count(), 256);
  EXPECT_EQ(web[test::FramePixels(*FirstImage(target.get()))[1]], (Rgb{255, 255, 255}));
  EXPECT_EQ(web[test::FramePixels(f)[0]], (Rgb{51, 102, 153}));
  EXPECT_EQ(web[test::FramePixels(f)[1]], (Rgb{255, 0, 0}));
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(test::FramePixels(f)[2], f.transparentIndex);
  EXPECT_NE(f.transparentIndex, test::FramePixels(f)[0]);

  // The fixed palette comes from the preference store; without one the adaptive mode runs.
  MemoryPreferenceStore store;
  std::vector<uint8_t> record = {0x00, 0x03, 3, 0, 9, 9, 9, 0, 200, 0, 0, 0, 0, 0, 200, 0};
  store.binaries["FixedPal"] = record;
  Prefs().load(&store);
  AnimPtr t2 = DocumentWith({{0, 0, 190}});
  test::AddFrame(*t2, 0, 0, 1, 1, [](int, int) { return 0; });
  AnimPtr s2 = DocumentWith({{190, 10, 10}});
  test::AddFrame(*s2, 0, 0, 1, 1, [](int, int) { return 0; });
  ASSERT_EQ(ConvertPalettes(t2.get(), s2.get(), merge_word::Make(merge_word::kFixed, 8, 8), nullptr), kConvertDone);
  ASSERT_EQ(t2->globalPalette->count(), 3);
  EXPECT_EQ((*t2->globalPalette)[1], (Rgb{200, 0, 0}));
  EXPECT_EQ(test::FramePixels(*FirstImage(t2.get()))[0], 2);
  EXPECT_EQ(test::FramePixels(*FirstImage(s2.get()))[0], 1);
}

TEST(ConvertPalettes, TrueColourOnlyFramesOfAnImportGetAPaletteWithATransparentSlot) {
  test::ScopedMessages messages;
  AnimPtr doc = CreateAnimation();
  ImageBlock& f = test::AddTrueColourFrame(*doc, 4, 4, [](int x, int y) { return Rgb{uint8_t(x * 60), uint8_t(y * 60), 0}; });
  f.alpha.assign(Stride8(4) * 4, 255);
  f.alpha[0] = 0;
  ASSERT_EQ(ConvertPalettes(nullptr, doc.get(), 0, nullptr), kConvertDone);
  ASSERT_NE(doc->globalPalette, nullptr);
  // Fifteen opaque colours and the slot.
  EXPECT_EQ(doc->globalPalette->count(), 16);
  ASSERT_NE(f.indexedImage, nullptr);
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 15);
  EXPECT_EQ(test::FramePixels(f)[0], 15);
  EXPECT_TRUE(test::ColourTableMatches(f));
  EXPECT_EQ((*f.activePalette)[test::FramePixels(f)[5]], (Rgb{60, 60, 0}));
}

TEST(ConvertPalettes, LocalPalettesJoinTheAdaptivePaletteWithBit4096) {
  test::ScopedMessages messages;
  AnimPtr doc = DocumentWith({{0, 0, 0}, {40, 40, 40}});
  test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  test::GiveLocalPalette(local, test::MakePalette({{200, 0, 0}, {0, 0, 200}}));
  const test::Shown before = test::Displayed(*doc);
  ASSERT_EQ(ConvertPalettes(nullptr, doc.get(), merge_word::kDefault | merge_word::kLocalPalettesToo, nullptr),
            kConvertDone);
  EXPECT_TRUE(NoLocalPalettes(*doc));
  EXPECT_EQ(test::Displayed(*doc), before);
}

TEST(FoldLocalPalette, TheFrameEndsOnTheGlobalPaletteInItsPlace) {
  test::ScopedMessages messages;
  AnimPtr doc = DocumentWith({{0, 0, 0}, {40, 40, 40}});
  test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  ImageBlock& local = test::AddFrame(*doc, 0, 0, 2, 1, [](int x, int) { return x; });
  test::GiveLocalPalette(local, test::MakePalette({{200, 0, 0}, {0, 0, 200}}));
  test::AddFrame(*doc, 0, 0, 1, 1, [](int, int) { return 1; });
  const test::Shown before = test::Displayed(*doc);
  ASSERT_TRUE(FoldLocalPalette(*doc, local));
  EXPECT_EQ(ImageAt(doc.get(), 1), &local);
  EXPECT_EQ(doc->frameCount, 3);
  EXPECT_TRUE(NoLocalPalettes(*doc));
  EXPECT_EQ(test::Displayed(*doc), before);

  // Without a global palette the local one simply becomes it.
  AnimPtr bare = CreateAnimation();
  ImageBlock& only = test::AddFrame(*bare, 0, 0, 2, 1, [](int x, int) { return x; });
  test::GiveLocalPalette(only, test::MakePalette({{5, 5, 5}, {6, 6, 6}}));
  ASSERT_TRUE(FoldLocalPalette(*bare, only));
  EXPECT_EQ(only.activePalette, bare->globalPalette.get());
  EXPECT_EQ(bare->colourUsage[1], 1);
}

TEST(BatchMerge, DifferentPalettesEndOnOneGlobalPaletteShowingTheSameColours) {
  test::ScopedMessages messages;
  std::mt19937 rng(21);
  const auto colours = GridColours(rng, 180);
  std::vector<test::Shown> shown;
  AnimPtr chain;
  AnimHeader* tail = nullptr;
  for (int k = 0; k < 3; ++k) {
    AnimPtr doc = DocumentWith(std::vector<Rgb>(colours.begin() + k * 50, colours.begin() + k * 50 + 80));
    AddRandomFrames(rng, *doc, 2, k == 1);
    shown.push_back(test::Displayed(*doc));
    AnimHeader* raw = doc.get();
    if (tail)
      tail->nextInChain = std::move(doc);
    else
      chain = std::move(doc);
    tail = raw;
  }
  DocumentState state;
  ASSERT_TRUE(MergeLoadedAnimations(state, std::move(chain), 3, DocumentPaletteReconciler()));
  AnimHeader& doc = *state.document;
  EXPECT_EQ(doc.frameCount, 6);
  EXPECT_TRUE(NoLocalPalettes(doc));
  EXPECT_LE(doc.globalPalette->count(), 256);
  test::Shown all;
  for (const auto& s : shown) all.insert(all.end(), s.begin(), s.end());
  EXPECT_EQ(test::Displayed(doc), all);
  EXPECT_TRUE(messages.ids().empty());
}

}  // namespace
}  // namespace fw
