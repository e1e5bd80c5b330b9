// RIFF palette files and timing text files.
#include <gtest/gtest.h>

#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/dib.h"
#include "formats/format_messages.h"
#include "formats/pal_file.h"
#include "formats/timing_file.h"
#include "gif/gif_writer.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PalFile, SixteenColoursMakeAnEightyEightByteFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  std::vector<Rgb> colours;
  for (int i = 0; i < 16; ++i) colours.push_back({uint8_t(i), uint8_t(16 * i), uint8_t(255 - i)});
  auto palette = Palette::Create(colours.data(), 16);
  ASSERT_EQ(WritePalFile(dir.file("p.pal"), *palette), 1);
  const Bytes b = test::ReadBytes(dir.file("p.pal"));
  ASSERT_EQ(b.size(), 88u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{'R', 'I', 'F', 'F'}));
  EXPECT_EQ(Le32(&b[4]), 80u);
  EXPECT_EQ(Le32(&b[16]), 68u);
  EXPECT_EQ(Le16(&b[20]), 0x300);
  EXPECT_EQ(Le16(&b[22]), 16);
  EXPECT_EQ(Bytes(b.begin() + 24 + 4 * 3, b.begin() + 28 + 4 * 3), (Bytes{3, 48, 252, 0}));
  auto back = ReadPalFile(dir.file("p.pal"));
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->sameEntries(*palette));
}

Bytes RiffPalette(int declared, int present) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'P', 'A', 'L', ' ', 'd', 'a', 't', 'a', 0, 0, 0, 0, 0, 3};
  b.push_back(uint8_t(declared));
  b.push_back(uint8_t(declared >> 8));
  for (int i = 0; i < present; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return b;
}

TEST(PalFile, CountsAreCutToWhatIsThere) {
  test::ScopedMessages messages;
  test::TempDir dir;
  test::WriteBytes(dir.file("big.pal"), RiffPalette(300, 300));
  auto big = ReadPalFile(dir.file("big.pal"));
  ASSERT_TRUE(big);
  EXPECT_EQ(big->count(), 256);
  test::WriteBytes(dir.file("short.pal"), RiffPalette(200, 3));
  auto cut = ReadPalFile(dir.file("short.pal"));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->count(), 3);
  EXPECT_TRUE(messages.ids().empty());
}

TEST(PalFile, OtherLayoutsAreRefused) {
  test::TempDir dir;
  Bytes listFirst = RiffPalette(2, 2);
  std::copy_n("LIST", 4, listFirst.begin() + 12);  // a chunk before "data"
  Bytes version = RiffPalette(2, 2);
  version[21] = 1;
  const Bytes jasc = {'J', 'A', 'S', 'C', '-', 'P', 'A', 'L', '\r', '\n', '0', '1', '0', '0', '\r', '\n'};
  for (const Bytes& b : {listFirst, version, jasc, RiffPalette(0, 0), Bytes(768, 7)}) {
    test::ScopedMessages messages;
    test::WriteBytes(dir.file("x.pal"), b);
    EXPECT_FALSE(ReadPalFile(dir.file("x.pal")));
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPalDamaged});
  }
  test::ScopedMessages messages;
  test::WriteBytes(dir.file("empty.pal"), {});
  EXPECT_FALSE(ReadPalFile(dir.file("empty.pal")));
  EXPECT_FALSE(ReadPalFile(dir.file("missing.pal")));
  EXPECT_EQ(messages.ids(), (std::vector<int>{fmsg::kCannotOpenFile, fmsg::kCannotOpenFile}));
  auto palette = Palette::Create(std::vector<Rgb>(2).data(), 2);
  EXPECT_EQ(WritePalFile("/nonexistent-dir/p.pal", *palette), 0);
  EXPECT_EQ(messages.ids().back(), fmsg::kCannotSaveTemp);
}

TEST(PalFile, PaletteFromAnImageFileIsItsGlobalPalette) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(3, 3, 5);
  test::AddFrame(*doc, 0, 0, 3, 3, [](int x, int) { return x; });
  ASSERT_EQ(WriteGifFile(dir.file("five.gif"), *doc, nullptr), 1);
  auto fromGif = LoadPaletteFromFile(dir.file("five.gif"));
  ASSERT_TRUE(fromGif);
  EXPECT_EQ((*fromGif)[4], (*doc->globalPalette)[4]);
  ASSERT_EQ(WritePalFile(dir.file("five.PAL"), *doc->globalPalette), 1);
  auto fromPal = LoadPaletteFromFile(dir.file("five.PAL"));
  ASSERT_TRUE(fromPal);
  EXPECT_TRUE(fromPal->sameEntries(*doc->globalPalette));
  EXPECT_TRUE(messages.ids().empty());
}

AnimPtr Timed(std::vector<int> delays) {
  AnimPtr doc = test::NewDocument(2, 2, 2);
  for (int d : delays) test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 0; }).delay = d;
  return doc;
}

std::vector<int> Delays(const AnimHeader& doc) {
  std::vector<int> out;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) out.push_back(f->delay);
  return out;
}

TEST(TimingFile, SavedAsNumbersEachFollowedByASpace) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = Timed({10, 20, 30});
  ASSERT_EQ(WriteTimingFile(dir.file("t.txt"), *doc), 1);
  const Bytes b = test::ReadBytes(dir.file("t.txt"));
  EXPECT_EQ(std::string(b.begin(), b.end()), "10 20 30 ");
  EXPECT_EQ(WriteTimingFile("/nonexistent-dir/t.txt", *doc), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kCannotWrite});
  EXPECT_EQ(SuggestedTimingName("/a.b/anim.gif"), "/a.b/anim_timing.txt");
  EXPECT_EQ(SuggestedTimingName(""), "");
  EXPECT_EQ(SuggestedTimingName("noext"), "");
}

TEST(TimingFile, LoadingAppliesNumbersInOrderAsOneUndoStep) {
  test::ScopedMessages messages;
  test::TempDir dir;
  ClearUndo();
  AnimPtr doc = Timed({1, 2, 3});
  test::WriteBytes(dir.file("a.txt"), {'5', ',', '7'});
  ASSERT_TRUE(LoadTimingFile(dir.file("a.txt"), *doc));
  EXPECT_EQ(Delays(*doc), (std::vector<int>{5, 7, 3}));
  EXPECT_EQ(CurrentUndoKind(), undo_kind::kEditTiming);
  ApplyUndo(*doc, false);
  EXPECT_EQ(Delays(*doc), (std::vector<int>{1, 2, 3}));

  test::WriteBytes(dir.file("b.txt"), {'9', '\n', '8', '\r', '\n', '7', ' ', '6', ' ', '5'});
  ASSERT_TRUE(LoadTimingFile(dir.file("b.txt"), *doc));
  EXPECT_EQ(Delays(*doc), (std::vector<int>{9, 8, 7}));

  const int before = UndoCount();
  test::WriteBytes(dir.file("empty.txt"), {});
  ASSERT_TRUE(LoadTimingFile(dir.file("empty.txt"), *doc));
  EXPECT_EQ(Delays(*doc), (std::vector<int>{9, 8, 7}));
  EXPECT_EQ(UndoCount(), before + 1);

  EXPECT_FALSE(LoadTimingFile(dir.file("missing.txt"), *doc));
  EXPECT_EQ(UndoCount(), before + 1);
  EXPECT_TRUE(messages.ids().empty());
  ClearUndo();
}

TEST(TimingFile, HugeNumbersAreHeldAtTheLargestDelay) {
  AnimPtr doc = Timed({1});
  const std::string text = "99999999999999999999999";
  EXPECT_EQ(ApplyTimingText(reinterpret_cast<const uint8_t*>(text.data()), text.size(), *doc), 1);
  EXPECT_EQ(FirstImage(doc.get())->delay, 65535);
}

}  // namespace
}  // namespace fw
