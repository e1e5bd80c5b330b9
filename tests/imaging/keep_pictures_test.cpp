// Frame edits on animations whose frames store only what changed: every frame must show what
// it showed before (checked with our compositor and, independently, with Pillow reading the
// saved file), one Undo must bring back the original exactly, and animations whose frames
// stand alone must be edited exactly as before.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "core/frame_dependence.h"
#include "core/undo_apply.h"
#include "core/undo_history.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "imaging/keep_pictures.h"
#include "imaging/optimize.h"
#include "imaging/transform_commands.h"
#include "imaging/transforms.h"
#include "samples/sample_drawings.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Pictures = std::vector<std::vector<uint32_t>>;

std::vector<uint8_t> Bytes(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  return sink.bytes;
}

AnimPtr Read(const std::vector<uint8_t>& bytes) {
  ReadResult read = ReadGifMemory(bytes.data(), bytes.size());
  EXPECT_EQ(read.status, kReadComplete);
  return std::move(read.document);
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Animations written at test time by other programs (and our optimizer), from opaque sources.
std::vector<std::pair<std::string, AnimPtr>> PeerAnimations(const test::TempDir& dir) {
  std::vector<std::pair<std::string, AnimPtr>> made;
  const std::string source = dir.file("ff.gif");
  const std::pair<const char*, std::string> commands[] = {
      {"ffmpeg", "ffmpeg -v error -f lavfi -i testsrc2=s=48x32:r=8:d=1 -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' -y " + source},
      {"ffmpeg local", "ffmpeg -v error -f lavfi -i testsrc2=s=40x30:r=6:d=1 -vf 'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1' -y " + dir.file("ffl.gif")},
      {"gifsicle -O2", "gifsicle -O2 " + source + " -o " + dir.file("o2.gif")},
      {"gifsicle -O3", "gifsicle -O3 --colors 64 " + source + " -o " + dir.file("o3.gif")},
      {"imagemagick", "convert " + source + " -coalesce -layers optimize " + dir.file("im.gif")},
  };
  const char* files[] = {"ff.gif", "ffl.gif", "o2.gif", "o3.gif", "im.gif"};
  for (size_t i = 0; i < std::size(commands); ++i) {
    if (!Shell(commands[i].second)) continue;
    made.emplace_back(commands[i].first, Read(test::ReadBytes(dir.file(files[i]))));
  }
  if (!made.empty()) {
    AnimPtr ours = CopyAnimation(*made.front().second, nullptr);
    if (Optimize(*ours, optimize_bit::kDefault, nullptr)) made.emplace_back("our optimizer", std::move(ours));
  }
  return made;
}

// Pillow's reading of a GIF: every frame as 0xFFRRGGBB, 0 where it is transparent.
Pictures PillowPictures(const test::TempDir& dir, const std::vector<uint8_t>& gif) {
  test::WriteBytes(dir.file("p.gif"), gif);
  const std::string script =
      "import sys\nfrom PIL import Image, ImageSequence\nim = Image.open(sys.argv[1])\nout = open(sys.argv[2], 'wb')\n"
      "for f in ImageSequence.Iterator(im): out.write(f.convert('RGBA').tobytes())\n";
  test::WriteBytes(dir.file("p.py"), std::vector<uint8_t>(script.begin(), script.end()));
  if (!Shell("/usr/bin/python3 " + dir.file("p.py") + " " + dir.file("p.gif") + " " + dir.file("p.rgba"))) return {};
  const std::vector<uint8_t> rgba = test::ReadBytes(dir.file("p.rgba"));
  AnimPtr doc = Read(gif);
  const size_t n = static_cast<size_t>(doc->screenWidth) * doc->screenHeight;
  Pictures pictures;
  for (size_t at = 0; at + 4 * n <= rgba.size(); at += 4 * n) {
    std::vector<uint32_t> p(n);
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* c = &rgba[at + 4 * i];
      p[i] = c[3] ? 0xFF000000u | uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2] : 0;
    }
    pictures.push_back(std::move(p));
  }
  return pictures;
}

void SelectFrames(AnimHeader& doc, std::initializer_list<int> indexes) {
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) f->selected = 0;
  for (int i : indexes) ImageAt(&doc, i)->selected = 1;
  CountSelected(doc);
}

// One frame edit: what it does to the document (through the shared wrapper, as the window
// runs it) and what it does to a list of pictures.
struct Operation {
  const char* name;
  std::function<KeptEdit(AnimHeader&)> apply;
  std::function<Pictures(const Pictures&)> expected;
};

std::vector<Operation> Operations() {
  auto moveThree = [](AnimHeader& doc) {
    // Frames 1 and 2 dragged to the end, as the strip's group move does it.
    SelectFrames(doc, {1, 2});
    const int insertion = doc.frameCount;
    return EditKeepingPictures(doc, OrderWithMoved(doc, {1, 2}, insertion), nullptr, [&] {
      UndoRecord move;
      move.kind = undo_kind::kMoveFrames;
      move.value = insertion | 2 << 16;
      move.extra = {1, 2};
      ApplyUndoRecord(doc, move, true);
      RecordUndo(move.kind, doc, nullptr, {}, move.value, move.extra);
      return true;
    });
  };
  auto deleteTwo = [](AnimHeader& doc) {
    SelectFrames(doc, {1, 3});
    return EditKeepingPictures(doc, OrderWithoutSelected(doc), nullptr, [&] {
      BlockChain chain;
      GifBlock* tail = nullptr;
      int index = 0;
      for (ImageBlock* f = FirstImage(&doc); f; ++index) {
        ImageBlock* next = NextImage(f);
        if (f->selected) {
          f->formerIndex = index;
          GifBlock* b = DetachBlock(f).release();
          --doc.frameCount;
          if (tail) tail->next = b, b->prev = tail;
          else chain = BlockChain(b);
          tail = b;
        }
        f = next;
      }
      RecordUndo(undo_kind::kDeleteFrames, doc, nullptr, std::move(chain), 0);
      return true;
    });
  };
  return {
      {"reverse", [](AnimHeader& d) { KeptEdit k; ReverseCommand(d, &k); return k; },
       [](const Pictures& p) { return Pictures(p.rbegin(), p.rend()); }},
      {"bounce", [](AnimHeader& d) { SelectFrames(d, {}); KeptEdit k; BounceCommand(d, &k); return k; },
       [](const Pictures& p) { Pictures r = p; for (size_t i = p.size() - 2; i >= 1; --i) r.push_back(p[i]); return r; }},
      {"reduce by 3", [](AnimHeader& d) { KeptEdit k; ReduceFramesCommand(d, 3, &k); return k; },
       [](const Pictures& p) { Pictures r; for (size_t i = 0; i < p.size(); ++i) if ((i + 1) % 3) r.push_back(p[i]); return r; }},
      {"delete 2 and 4", deleteTwo,
       [](const Pictures& p) { Pictures r; for (size_t i = 0; i < p.size(); ++i) if (i != 1 && i != 3) r.push_back(p[i]); return r; }},
      {"drag 2 and 3 to the end", moveThree,
       [](const Pictures& p) { Pictures r = p; r.erase(r.begin() + 1, r.begin() + 3); r.insert(r.end(), p.begin() + 1, p.begin() + 3); return r; }},
  };
}

class KeepPictures : public ::testing::Test {
 protected:
  void SetUp() override { ClearUndo(); }
  void TearDown() override { ClearUndo(); }
  test::ScopedMessages messages_;
};

}  // namespace

TEST(FrameDependence, EveryDisposalByHand) {
  struct Case {
    const char* name;
    int firstDisposal, firstLeft, firstWidth;  // frame 0 on a 10x4 screen
    bool secondTransparent;                    // frame 1: full screen, a hole at (2,2) when transparent
    int secondLeft, secondWidth;
    bool secondDepends;
  };
  const Case cases[] = {
      {"full opaque after anything", 1, 0, 10, false, 0, 10, false},
      {"hole over a kept frame", 1, 0, 10, true, 0, 10, true},
      {"hole over nothing drawn yet? kept by 0", 0, 0, 10, true, 0, 10, true},
      {"hole after restore to background of the whole screen", 2, 0, 10, true, 0, 10, false},
      {"part after a partial restore to background", 2, 0, 4, false, 5, 3, false},
      {"hole after restore to previous of the first frame", 3, 2, 4, true, 0, 10, false},
      {"part next to a kept frame", 1, 0, 4, false, 5, 3, true},
  };
  for (const Case& c : cases) {
    AnimPtr doc = test::NewDocument(10, 4, 16);
    SetDisposal(test::AddFrame(*doc, c.firstLeft, 0, c.firstWidth, 4, [](int, int) { return 3; }), c.firstDisposal);
    ImageBlock& second = test::AddFrame(*doc, c.secondLeft, 0, c.secondWidth, 4, [](int x, int y) { return x == 2 && y == 2 ? 9 : 4; });
    if (c.secondTransparent) {
      SetTransparentIndex(second, 9);
      SetTransparency(second, true);
    }
    const std::vector<bool> depends = FramesDependingOnEarlier(*doc);
    EXPECT_FALSE(depends[0]) << c.name;
    EXPECT_EQ(depends[1], c.secondDepends) << c.name;
    EXPECT_EQ(CoversScreen(second, 10, 4), !c.secondTransparent && c.secondWidth == 10) << c.name;
  }
}

TEST_F(KeepPictures, PeerMadeAnimationsKeepEveryPictureAndUndoExactly) {
  test::TempDir dir;
  const auto peers = PeerAnimations(dir);
  if (peers.empty()) GTEST_SKIP() << "neither FFmpeg nor gifsicle nor ImageMagick is installed";
  int expandedCount = 0;
  for (const auto& [name, original] : peers) {
    const Pictures before = test::ComposePictures(*original, nullptr);
    for (const Operation& op : Operations()) {
      SCOPED_TRACE(name + ": " + op.name);
      ClearUndo();
      AnimPtr doc = CopyAnimation(*original, nullptr);
      const std::vector<uint8_t> originalBytes = Bytes(*doc);
      const KeptEdit kept = op.apply(*doc);
      ASSERT_TRUE(kept.done);
      expandedCount += kept.expanded;
      const Pictures wanted = op.expected(before);
      ASSERT_EQ(test::ComposePictures(*doc, nullptr), wanted);
      // Pillow, reading the saved file, sees the same (checked for one edit per file: each
      // costs a process start).
      if (op.name == std::string("reverse")) {
        const Pictures pillow = PillowPictures(dir, Bytes(*doc));
        ASSERT_EQ(pillow.size(), wanted.size());
        for (size_t i = 0; i < wanted.size(); ++i) EXPECT_EQ(pillow[i], wanted[i]) << "Pillow frame " << i;
      }
      ApplyUndo(*doc, false);
      EXPECT_EQ(Bytes(*doc), originalBytes);
      ApplyUndo(*doc, true);
      EXPECT_EQ(test::ComposePictures(*doc, nullptr), wanted);
    }
  }
  EXPECT_GT(expandedCount, 0);  // the files must exercise the expansion
}

TEST_F(KeepPictures, IndependentAnimationsAreEditedAsBefore) {
  // Full opaque frames and a disposal-2 sprite: no frame leans on another.
  AnimPtr clip = samples::VideoClip(32, 24, 6);
  AnimPtr sprite = test::NewDocument(20, 20, 16);
  for (int i = 0; i < 5; ++i) {
    ImageBlock& f = test::AddFrame(*sprite, i * 3, i * 2, 6, 6, [i](int x, int y) { return (x + y) % 3 ? 0 : 1 + i; });
    SetTransparency(f, true);
    SetDisposal(f, kDisposalBackground);
  }
  for (AnimHeader* original : {clip.get(), sprite.get()}) {
    const std::vector<bool> depends = FramesDependingOnEarlier(*original);
    ASSERT_EQ(std::count(depends.begin(), depends.end(), true), 0);
    for (const Operation& op : Operations()) {
      SCOPED_TRACE(op.name);
      AnimPtr plain = CopyAnimation(*original, nullptr);
      AnimPtr kept = CopyAnimation(*original, nullptr);
      // The same edit without the wrapper: today's result.
      const std::string name = op.name;
      if (name == "reverse") ReverseBlocks(*plain);
      else if (name == "bounce") BounceAnimation(*plain);
      else if (name == "reduce by 3") ReduceFrameCount(*plain, 3);
      else continue;
      EXPECT_FALSE(op.apply(*kept).expanded);
      EXPECT_EQ(Bytes(*kept), Bytes(*plain));
    }
  }
}

TEST_F(KeepPictures, UnoptimizeTakesLocalPalettesAndSaysWhenItApproximates) {
  // Two frames of 200 and 250 colours, from different palettes, the second over half the
  // first: the composed second frame shows 400 colours.
  AnimPtr doc = test::NewDocument(40, 10, 2);
  auto ramp = [](int base) {
    std::vector<Rgb> e(250);
    for (int i = 0; i < 250; ++i) e[i] = {static_cast<uint8_t>(base + i % 50), static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i)};
    return Palette::Create(e.data(), 250);
  };
  ImageBlock& a = test::AddFrame(*doc, 0, 0, 40, 10, [](int x, int y) { return (y * 40 + x) % 250; });
  SetLocalPalette(a, ramp(0));
  ImageBlock& b = test::AddFrame(*doc, 20, 0, 20, 10, [](int x, int y) { return y * 20 + x; });
  SetLocalPalette(b, ramp(100));
  ImageBlock& c = test::AddFrame(*doc, 2, 2, 3, 3, [](int, int) { return 1; });  // few colours: exact
  SetLocalPalette(c, ramp(7));
  const Pictures before = test::ComposePictures(*doc, nullptr);
  int approximated = -1;
  ASSERT_EQ(UnoptimizeCommand(*doc, nullptr, &approximated), 3);
  EXPECT_EQ(approximated, 2);  // the second frame, and the third drawn over it
  ASSERT_EQ(messages_.sink.entries.size(), 1u);
  EXPECT_NE(messages_.sink.entries[0].text.find('2'), std::string::npos);
  const Pictures after = test::ComposePictures(*doc, nullptr);
  EXPECT_EQ(after[0], before[0]);  // 250 colours: exact
  for (size_t i = 1; i < 3; ++i) {
    EXPECT_TRUE(ImageAt(doc.get(), static_cast<int>(i))->hasTrueColour());
    int worst = 0;
    for (size_t k = 0; k < before[i].size(); ++k)
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(int(before[i][k] >> shift & 255) - int(after[i][k] >> shift & 255)));
    EXPECT_LE(worst, 24) << "frame " << i;
  }
  ApplyUndo(*doc, false);
  EXPECT_EQ(test::ComposePictures(*doc, nullptr), before);

  // Within 256 colours the result is exact, and frames whose colours the global palette holds
  // use it.
  AnimPtr few = test::NewDocument(8, 8, 16);
  test::AddFrame(*few, 0, 0, 8, 8, [](int x, int) { return x; });
  const Rgb two[2] = {{1, 2, 3}, {4, 5, 6}};
  SetLocalPalette(test::AddFrame(*few, 2, 2, 2, 2, [](int x, int) { return x; }), Palette::Create(two, 2));
  const Pictures fewBefore = test::ComposePictures(*few, nullptr);
  messages_.sink.clear();
  ASSERT_EQ(Unoptimize(*few, nullptr), 2);
  EXPECT_EQ(test::ComposePictures(*few, nullptr), fewBefore);
  EXPECT_FALSE(FirstImage(few.get())->localPalette);
  EXPECT_TRUE(messages_.ids().empty());
}

}  // namespace fw
