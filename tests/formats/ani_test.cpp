// Animated cursors: rates and sequences on reading, the RIFF layout we write (each frame's
// cursor checked by icotool), and chunks that lie about their sizes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/frame_planes.h"
#include "core/preferences.h"
#include "formats/ani_file.h"
#include "formats/dib.h"
#include "formats/format_peers.h"
#include "formats/icon_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

void Le32To(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

Bytes RiffChunk(const char (&id)[5], const Bytes& data) {
  Bytes b(id, id + 4);
  Le32To(b, uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return b;
}

Bytes Words(std::initializer_list<uint32_t> words) {
  Bytes b;
  for (uint32_t w : words) Le32To(b, w);
  return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

Bytes Anih(uint32_t frames, uint32_t steps, uint32_t rate, uint32_t flags) {
  return RiffChunk("anih", Words({36, frames, steps, 0, 0, 0, 0, rate, flags}));
}

Bytes Acon(const Bytes& chunks) {
  Bytes b = {'R', 'I', 'F', 'F'};
  Le32To(b, uint32_t(chunks.size() + 4));
  b.insert(b.end(), {'A', 'C', 'O', 'N'});
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

// A one-image cursor file holding a 4 x 4 frame filled with `colour`, hotspot (1, 2).
Bytes CursorFile(uint8_t colour) {
  AnimPtr doc = test::NewDocument(4, 4, 256);
  test::AddFrame(*doc, 0, 0, 4, 4, [colour](int, int) { return colour; });
  const Bytes dib = MakeIconDib(*FirstImage(doc.get()), 8);
  Bytes b = {0, 0, 2, 0, 1, 0, 4, 4, 0, 0, 1, 0, 2, 0};
  Le32To(b, uint32_t(dib.size()));
  Le32To(b, 22);
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

Bytes Frames(std::initializer_list<Bytes> icons) {
  Bytes list = {'f', 'r', 'a', 'm'};
  for (const Bytes& i : icons) {
    const Bytes c = RiffChunk("icon", i);
    list.insert(list.end(), c.begin(), c.end());
  }
  return RiffChunk("LIST", list);
}

}  // namespace

TEST(AniRead, RatesSequencesAndHotspots) {
  test::ScopedMessages messages;
  // Two cursors, four steps: 0, 0, 0, 1; the rate chunk gives 6 jiffies to all but the last.
  const Bytes file = Acon(Cat({Anih(2, 4, 3, 3), RiffChunk("rate", Words({6, 6, 6, 12})),
                               RiffChunk("seq ", Words({0, 0, 0, 1})), Frames({CursorFile(5), CursorFile(9)}),
                               RiffChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0})}));
  LoadResult r = ReadAniMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 4);
  EXPECT_EQ(r.document->screenWidth, 4);
  const int delays[4] = {10, 10, 10, 20};
  const int colour[4] = {5, 5, 5, 9};
  for (int i = 0; i < 4; ++i) {
    const ImageBlock& f = *ImageAt(r.document.get(), i);
    EXPECT_EQ(f.delay, delays[i]);
    EXPECT_EQ(f.indexedImage->row(0)[0], colour[i]);
    EXPECT_EQ(f.hotspotX, 1);
    EXPECT_EQ(f.hotspotY, 2);
  }

  // Without rate and sequence chunks each step is its own frame at the header's rate.
  const Bytes plain = Acon(Cat({Anih(2, 2, 3, 1), Frames({CursorFile(5), CursorFile(9)})}));
  r = ReadAniMemory(plain.data(), plain.size());
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 2);
  EXPECT_EQ(ImageAt(r.document.get(), 0)->delay, 5);
  EXPECT_EQ(ImageAt(r.document.get(), 1)->indexedImage->row(0)[0], 9);
}

TEST(AniRead, RefusesWhatItCannotRead) {
  test::ScopedMessages messages;
  const Bytes good = Acon(Cat({Anih(2, 3, 3, 3), RiffChunk("seq ", Words({0, 1, 0})), Frames({CursorFile(5), CursorFile(9)})}));
  ASSERT_EQ(ReadAniMemory(good.data(), good.size()).status, 1);
  // A file cut short keeps the steps whose cursors were read whole, and says it was cut.
  for (size_t n = 0; n < good.size(); ++n) {
    messages.sink.clear();
    Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    const LoadResult r = ReadAniMemory(cut.data(), cut.size());
    EXPECT_NE(r.status, 1) << n;
    EXPECT_FALSE(messages.sink.entries.empty()) << n;
    if (r.status != 2) continue;
    EXPECT_EQ(messages.ids(), std::vector<int>{40184}) << n;
    // Steps 0 and 2 show the first cursor, step 1 the second: the cut falls in the second.
    ASSERT_EQ(r.document->frameCount, 1) << n;
    EXPECT_EQ(FirstImage(r.document.get())->indexedImage->row(0)[0], 5);
    EXPECT_GT(r.document->screenWidth, 0);
  }
  const Bytes second = CursorFile(9);
  Bytes cut(good.begin(), good.end() - static_cast<long>(second.size() / 2));
  EXPECT_EQ(ReadAniMemory(cut.data(), cut.size()).status, 2);

  // A step naming an icon that is not there, a header without the icon flag, a step count no
  // file of this size can hold, and a RIFF form of another kind.
  const std::vector<Bytes> bad = {
      Acon(Cat({Anih(2, 3, 3, 3), RiffChunk("seq ", Words({0, 1, 7})), Frames({CursorFile(5), CursorFile(9)})})),
      Acon(Cat({Anih(2, 2, 3, 2), Frames({CursorFile(5), CursorFile(9)})})),
      Acon(Cat({Anih(2, 0x40000000, 3, 1), Frames({CursorFile(5), CursorFile(9)})})),
      Cat({{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}}),
  };
  for (const Bytes& b : bad) {
    messages.sink.clear();
    EXPECT_EQ(ReadAniMemory(b.data(), b.size()).status, 0);
    EXPECT_FALSE(messages.sink.entries.empty());
  }

  // A chunk whose size runs past the end of the file is read as far as it goes.
  Bytes lying = good;
  const size_t list = lying.size() - (Frames({CursorFile(5), CursorFile(9)}).size());
  PutLe32(lying.data() + list + 4, 0x7FFFFFF0);
  EXPECT_EQ(ReadAniMemory(lying.data(), lying.size()).status, 1);
  // A header that swallows the rest of the file leaves no cursors behind it: refused.
  PutLe32(lying.data() + 16, 0xFFFFFFFF);
  EXPECT_EQ(ReadAniMemory(lying.data(), lying.size()).status, 0);
}

// INFO lists whose sizes are off by a byte or two, before the cursors or after them (running
// past the end of the file): the cursors are still found.
TEST(AniRead, InfoListsWithSizesSlightlyOffAreReadPast) {
  const Bytes info = RiffChunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 4, 0, 0, 0, 'n', 'a', 'm', 0});
  for (const int off : {-2, -1, 1, 2}) {
    for (const bool first : {true, false}) {
      test::ScopedMessages messages;
      Bytes list = info;
      PutLe32(list.data() + 4, static_cast<uint32_t>(static_cast<int>(list.size()) - 8 + off));
      const Bytes body = Cat({Anih(2, 2, 6, 1), Frames({CursorFile(5), CursorFile(9)})});
      const Bytes file = first ? Acon(Cat({list, body})) : Acon(Cat({body, list}));
      LoadResult r = ReadAniMemory(file.data(), file.size());
      ASSERT_EQ(r.status, 1) << off << (first ? " first" : " last");
      ASSERT_EQ(r.document->frameCount, 2);
      EXPECT_EQ(ImageAt(r.document.get(), 1)->indexedImage->row(0)[0], 9);
      EXPECT_TRUE(messages.ids().empty());
    }
  }
}

TEST(AniWrite, LayoutRatesAndCursorsPeersRead) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(32, 32, 256);
  ImageBlock& a = test::AddFrame(*doc, 0, 0, 32, 32, [](int x, int y) { return (x * y) % 251; });
  a.delay = 10;
  a.hotspotX = 4;
  a.hotspotY = 6;
  SetTransparentIndex(a, 0);
  SetTransparency(a, true);
  ImageBlock& b = test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return x + y; });
  b.delay = 25;
  b.hotspotX = 1;  // only the first frame's hotspot is written
  uint8_t* c = AddTrueColour(b, true);
  for (size_t i = 0; i < TrueColourBytes(b); ++i) c[i] = uint8_t(i * 7);
  uint8_t* al = AddAlpha(b, true);
  for (size_t i = 0; i < AlphaBytes(b); ++i) al[i] = (i % 3) ? 255 : 0;

  const std::string path = dir.file("anim.ani");
  ASSERT_EQ(WriteAniFile(path, *doc), 1);
  const Bytes file = test::ReadBytes(path);
  ASSERT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(file.data() + 4), file.size() - 8);
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "ACONanih");
  const uint8_t* anih = file.data() + 20;
  EXPECT_EQ(Le32(anih + 4), 2u);   // frames
  EXPECT_EQ(Le32(anih + 8), 2u);   // steps
  EXPECT_EQ(Le32(anih + 12), 32u);
  EXPECT_EQ(Le32(anih + 32), 1u);  // icons, no sequence
  ASSERT_EQ(std::string(file.begin() + 56, file.begin() + 60), "rate");
  EXPECT_EQ(Le32(file.data() + 64), 6u);
  EXPECT_EQ(Le32(file.data() + 68), 15u);

  // Each icon chunk is a cursor file icotool lists and extracts.
  size_t at = 72 + 12;
  const ImageBlock* frames[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(std::string(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at) + 4), "icon");
    const uint32_t size = Le32(file.data() + at + 4);
    const std::string cur = dir.file("f" + std::to_string(i) + ".cur");
    test::WriteBytes(cur, Bytes(file.begin() + static_cast<long>(at) + 8, file.begin() + static_cast<long>(at + 8 + size)));
    std::string out;
    ASSERT_TRUE(test::RunCapture({"icotool", "-l", cur}, out));
    EXPECT_NE(out.find("--hotspot-x=4 --hotspot-y=6"), std::string::npos) << out;
    ASSERT_TRUE(test::RunCapture({"icotool", "-x", "-o", dir.file("x" + std::to_string(i) + ".png"), cur}, out));
    const std::vector<test::Rgba> png = test::PillowFrames(dir.file("x" + std::to_string(i) + ".png"));
    ASSERT_EQ(png.size(), 1u);
    EXPECT_EQ(test::MaxDifference(png[0], test::FrameRgba(*frames[i])), 0) << i;
    at += 8 + size + (size & 1);
  }

  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  LoadResult back = ReadAniFile(path);
  ASSERT_EQ(back.status, 1);
  ASSERT_EQ(back.document->frameCount, 2);
  EXPECT_EQ(ImageAt(back.document.get(), 0)->delay, 10);
  EXPECT_EQ(ImageAt(back.document.get(), 1)->delay, 25);
  EXPECT_EQ(ImageAt(back.document.get(), 1)->hotspotX, 4);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(back.document.get(), i)), test::FrameRgba(*frames[i])), 0);
}

TEST(AniCorpus, RealAndSyntheticFiles) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !std::filesystem::is_directory(root + "/ani")) GTEST_SKIP() << "no corpus";
  test::ScopedMessages messages;
  // Four 32 x 32 cursors in twenty steps, 12 jiffies each, no rate chunk.
  LoadResult r = ReadAniFile(root + "/ani/aniFileExtractor/test.ani");
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.document->frameCount, 20);
  EXPECT_EQ(r.document->screenWidth, 32);
  for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f)) EXPECT_EQ(f->delay, 20);

  // PNG cursors: steps 0, 1, 2, 1 at rates 10, 20, 10, 30, hotspot (24, 24).
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  r = ReadAniFile(root + "/ani/synthetic/png_frames_48x48_seq_rate.ani");
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 4);
  const int delays[4] = {17, 33, 17, 50};
  const int source[4] = {0, 1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    const ImageBlock& f = *ImageAt(r.document.get(), i);
    EXPECT_EQ(f.delay, delays[i]);
    EXPECT_EQ(f.hotspotX, 24);
    if (!test::HavePillow()) continue;
    const std::vector<test::Rgba> ref =
        test::PillowFrames(root + "/ani/synthetic/reference/f" + std::to_string(source[i]) + ".png");
    ASSERT_EQ(ref.size(), 1u);
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(f), ref[0]), 0) << i;
  }
}

}  // namespace fw
