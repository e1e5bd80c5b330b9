// Filmstrip pictures, their names, and numbered sequences of single-image files.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/frame_planes.h"
#include "core/preferences.h"
#include "formats/filmstrip.h"
#include "formats/format_messages.h"
#include "formats/frame_sequence.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Sequence, PatternsNumberTheFileNameOnly) {
  EXPECT_EQ(BuildSequencePattern("anim.gif", "gif", true, 2).name(1), "anim01.gif");
  EXPECT_EQ(BuildSequencePattern("anim.gif", "gif", true, 2).name(12), "anim12.gif");
  EXPECT_EQ(BuildSequencePattern("frame###.bmp", "bmp", true, 2).name(1), "frame001.bmp");
  EXPECT_EQ(BuildSequencePattern("frame#.bmp", "bmp", true, 2).name(7), "frame07.bmp");  // at least d digits
  EXPECT_EQ(BuildSequencePattern("x/my.dir/anim.GIF", "gif", true, 1).name(3), "x/my.dir/anim3.GIF");
  EXPECT_EQ(BuildSequencePattern("x/my.dir/anim", "gif", true, 1).name(3), "x/my.dir/anim3.gif");
  EXPECT_EQ(BuildSequencePattern("x/my.dir/anim", "gif", false, 0).name(3), "x/my.dir/anim.gif");
  EXPECT_EQ(BuildSequencePattern("one#.png", "png", false, 0).name(3), "one3.png");
  EXPECT_EQ(BuildSequencePattern("a#b/c.bmp", "bmp", true, 1).name(2), "a#b/c2.bmp");  // "#" in a folder is no mark
  const SequencePattern percent = BuildSequencePattern("100%.jpg", "jpg", true, 2);
  EXPECT_EQ(percent.name(4), "100%04.jpg");
  EXPECT_EQ(percent.printfText(), "100%%%02d.jpg");
  EXPECT_EQ(percent.name(123), "100%123.jpg");  // a minimum width: larger numbers print in full
}

AnimPtr Numbered(int frames) {
  AnimPtr doc = test::NewDocument(4, 3, 16);
  for (int k = 0; k < frames; ++k) test::AddFrame(*doc, 0, 0, 4, 3, [k](int, int) { return k % 16; });
  return doc;
}

TEST(Sequence, SelectedFramesKeepTheirNumbersInTheWholeAnimation) {
  test::ScopedMessages messages;
  for (int frames : {12, 10}) {
    test::TempDir dir;
    AnimPtr doc = Numbered(frames);
    ImageAt(doc.get(), 2)->selected = 1;
    ImageAt(doc.get(), 4)->selected = 1;
    std::vector<std::string> written;
    auto writer = [&](const std::string& path, ImageBlock& image) {
      test::WriteBytes(path, {static_cast<uint8_t>(IndexOfImage(doc.get(), &image))});
      return 1;
    };
    ASSERT_EQ(SaveFrameSequence(dir.file("anim.gif"), *doc, save_option::kSequence | save_option::kSelectedOnly, "gif",
                                writer, nullptr),
              1);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    if (frames == 12) {
      EXPECT_EQ(names, (std::vector<std::string>{"anim03.gif", "anim05.gif"}));
      EXPECT_EQ(test::ReadBytes(dir.file("anim05.gif")), Bytes{4});
    } else {
      EXPECT_EQ(names, (std::vector<std::string>{"anim3.gif", "anim5.gif"}));
    }
  }
}

TEST(Sequence, FirstFailureStopsAndLeavesNoTemporaryFiles) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = Numbered(5);
  int calls = 0;
  auto writer = [&](const std::string& path, ImageBlock&) {
    test::WriteBytes(path, {1});
    return ++calls == 3 ? 0 : 1;
  };
  EXPECT_EQ(SaveFrameSequence(dir.file("f.bmp"), *doc, save_option::kSequence, "bmp", writer, nullptr), 0);
  EXPECT_EQ(calls, 3);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    ++files;
    EXPECT_EQ(e.path().filename().string().front(), 'f');
  }
  EXPECT_EQ(files, 2);
}

TEST(Filmstrip, TenFramesInThreeRowStrips) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(20, 10, 16);
  doc->backgroundIndex = 9;
  for (int k = 0; k < 10; ++k) test::AddFrame(*doc, 0, 0, 20, 10, [k](int, int) { return k; });
  AnimPtr strip = ComposeFilmstrip(*doc, save_option::WithStrips(save_option::kFilmstrip, 3));
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->screenWidth, 80);
  EXPECT_EQ(strip->screenHeight, 30);
  const ImageBlock& f = *FirstImage(strip.get());
  EXPECT_EQ(f.indexedImage->row(0)[0], 0);
  EXPECT_EQ(f.indexedImage->row(0)[79], 3);
  EXPECT_EQ(f.indexedImage->row(10)[0], 4);
  EXPECT_EQ(f.indexedImage->row(29)[39], 9);  // the last strip holds two frames
  EXPECT_EQ(f.indexedImage->row(29)[40], 9);  // then background cells
  EXPECT_EQ(f.indexedImage->row(20)[79], 9);
  int columns = 0, rows = 0;
  FilmstripGrid(10, save_option::WithStrips(save_option::kFilmstrip, 3), columns, rows);
  EXPECT_EQ(columns, 4);
  EXPECT_EQ(rows, 3);

  AnimPtr vertical = ComposeFilmstrip(*doc, save_option::WithStrips(save_option::kFilmstrip | save_option::kColumns, 3));
  ASSERT_TRUE(vertical);
  EXPECT_EQ(vertical->screenWidth, 60);
  EXPECT_EQ(vertical->screenHeight, 40);
  EXPECT_EQ(FirstImage(vertical.get())->indexedImage->row(39)[0], 3);
  EXPECT_EQ(FirstImage(vertical.get())->indexedImage->row(0)[20], 4);
}

TEST(Filmstrip, TrueColourFramesGiveATrueColourStrip) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(2, 2, 4);
  ImageBlock& a = test::AddFrame(*doc, 1, 0, 1, 2, [](int, int) { return 1; });
  SetTransparentIndex(a, 1);
  SetTransparency(a, true);
  ImageBlock& b = test::AddFrame(*doc, 0, 0, 2, 2, [](int, int) { return 2; });
  ExpandToTrueColour(b);
  AnimPtr strip = ComposeFilmstrip(*doc, save_option::WithStrips(save_option::kFilmstrip, 1));
  ASSERT_TRUE(strip);
  const ImageBlock& s = *FirstImage(strip.get());
  ASSERT_TRUE(AlphaRows(s));
  EXPECT_EQ(AlphaRows(s)[0], 255);  // empty cell area stays opaque
  EXPECT_EQ(AlphaRows(s)[1], 0);    // frame a's transparent pixel at its own offset
  EXPECT_EQ(TrueColourRows(s)[3 * 2 + 2], (*doc->globalPalette)[2].r);
  EXPECT_TRUE(s.transparent());

  AnimPtr eight = ComposeFilmstrip(*doc, save_option::WithStrips(save_option::kFilmstrip | save_option::kForce8Bit, 1));
  EXPECT_FALSE(FirstImage(eight.get())->hasTrueColour());
}

TEST(Filmstrip, SplitByNumbersAndByName) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(100, 10, 16);
  ImageBlock& only = test::AddFrame(*doc, 0, 0, 100, 10, [](int x, int) { return x / 10; });
  SetTransparency(only, true);
  ASSERT_EQ(ImportFilmstrip(*doc, 10, 1, true), 1);
  EXPECT_EQ(doc->frameCount, 10);
  EXPECT_EQ(doc->screenWidth, 10);
  int k = 0;
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f), ++k) {
    EXPECT_EQ(test::FramePixels(*f), Bytes(100, static_cast<uint8_t>(k)));
    EXPECT_EQ(f->disposal(), kDisposalBackground);
    EXPECT_EQ(f->activePalette, doc->globalPalette.get());
  }

  EXPECT_EQ(ImportFilmstrip(*doc, 1, 1, true), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kFilmstripNeedsOneImage});
  AnimPtr one = test::NewDocument(30, 20, 4);
  test::AddFrame(*one, 0, 0, 30, 20, [](int, int) { return 0; });
  EXPECT_EQ(FilmstripImportProblem(*one, 4, 2), fmsg::kFilmstripWidthNotDivisible);
  EXPECT_EQ(FilmstripImportProblem(*one, 3, 3), fmsg::kFilmstripHeightNotDivisible);
  EXPECT_EQ(FilmstripImportProblem(*one, 0, 1), fmsg::kFilmstripWidthNotDivisible);
  EXPECT_EQ(FilmstripImportProblem(*one, 3, 2), 0);

  // Column order visits top to bottom first.
  AnimPtr grid = test::NewDocument(4, 4, 16);
  test::AddFrame(*grid, 0, 0, 4, 4, [](int x, int y) { return (y / 2) * 2 + x / 2; });
  ASSERT_TRUE(SplitStrip(*grid, StripLayout{4, 4, 2, 2, false}));
  std::vector<int> order;
  for (ImageBlock* f = FirstImage(grid.get()); f; f = NextImage(f)) order.push_back(f->indexedImage->row(0)[0]);
  EXPECT_EQ(order, (std::vector<int>{0, 2, 1, 3}));

  int columns = 0, rows = 0;
  EXPECT_TRUE(ParseFilmstripName("walk (4x2).png", columns, rows));
  EXPECT_EQ(columns, 4);
  EXPECT_EQ(rows, 2);
  EXPECT_TRUE(ParseFilmstripName("dir.x/run(12x1).gif", columns, rows));
  EXPECT_EQ(columns, 12);
  for (const char* no : {"walk.png", "walk (4x2)b.png", "walk (4xa).png", "walk (x2).png", "walk (0x2).png",
                         "walk 4x2).png", "walk (4x99999999999).png"})
    EXPECT_FALSE(ParseFilmstripName(no, columns, rows)) << no;
  EXPECT_EQ(FilmstripFileName("out/strip.png", 4, 3), "out/strip (4x3).png");
  EXPECT_EQ(FilmstripFileName("out.d/strip", 4, 3), "out.d/strip (4x3)");
}

}  // namespace
}  // namespace fw
