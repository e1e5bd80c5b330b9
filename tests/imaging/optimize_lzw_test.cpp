// The optimizer's LZW clear rules on a clip FFmpeg makes at test time: frames large enough to
// fill their tables, written keeping full tables where that is smaller, and every size
// measured along the way being the size of the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/preferences.h"
#include "gif/byte_sink.h"
#include "gif/gif_bytes.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

using namespace optimize_bit;

int MeasuredFrames(const AnimHeader& doc) {
  int n = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) n += f->lzwClearRule != 0;
  return n;
}

std::vector<uint8_t> Written(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  return sink.bytes;
}

class OptimizeLzw : public ::testing::Test {
 protected:
  void SetUp() override { Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true); }
  // The clip FFmpeg writes from a lavfi input (and filters) as `arguments`, read back; nullptr
  // when either failed.
  AnimPtr FfmpegClip(const std::string& arguments) {
    const std::string command = "/usr/bin/ffmpeg -v error -f lavfi " + arguments + " -y '" + clipPath() + "'";
    if (std::system(command.c_str()) != 0) return nullptr;
    ReadResult read = ReadGifPath(clipPath());
    return read.status == kReadComplete ? std::move(read.document) : nullptr;
  }
  std::string clipPath() const { return dir_.file("clip.gif"); }
  test::ScopedMessages messages_;
  test::TempDir dir_;
};

TEST_F(OptimizeLzw, FfmpegClipKeepsFullTablesWhereSmallerAndMeasuresWhatItWrites) {
  if (!std::filesystem::exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "FFmpeg is not installed";
  // FFmpeg's own writer: full frames at first, then only the changed rectangle. Enough frames
  // that some settle their rule from the frames sampled around them.
  const AnimPtr read = FfmpegClip("-i testsrc2=s=320x240:r=10:d=1.4");
  ASSERT_TRUE(read);
  const AnimHeader& clip = *read;
  const test::ComposedTimeline shown = test::ComposeTimeline(clip);

  int32_t sizes[2] = {};
  for (const bool measured : {false, true}) {
    SCOPED_TRACE(measured ? "keeping full tables" : "clearing them");
    AnimPtr doc = CopyAnimation(clip, nullptr);
    ASSERT_TRUE(doc);
    const OptimizeOutcome run = OptimizeNeverLarger(*doc, measured ? kDefault : kDefault & ~kKeepFullLzwTables, nullptr);
    EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*doc)), "");
    if (measured) {
      EXPECT_GT(MeasuredFrames(*doc), 0);
    } else {
      EXPECT_EQ(MeasuredFrames(*doc), 0);
    }
    // The optimize dialog measures a copy; the file is written from the document.
    AnimPtr copy = CopyAnimation(*doc, nullptr);
    sizes[measured] = EncodedSize(copy.get(), true, nullptr);
    const std::vector<uint8_t> file = Written(*doc);
    EXPECT_EQ(sizes[measured], static_cast<int32_t>(file.size()));
    EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), sizes[measured]);
    // The sizes the image steps measured stand either way.
    EXPECT_EQ(EncodedSizeMeasured(doc.get(), run.measured, nullptr), sizes[measured]);
    EXPECT_FALSE(run.measured.empty());
    // giflib sees the frames our reader sees.
    ReadResult back = ReadGifMemory(file.data(), file.size());
    ASSERT_EQ(back.status, kReadComplete);
    EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*back.document)), "");
    const test::PeerGif peer = test::GiflibDecode(file);
    ASSERT_TRUE(peer.ok) << peer.error;
    size_t i = 0;
    for (const ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f), ++i) {
      ASSERT_LT(i, peer.frames.size());
      EXPECT_EQ(peer.frames[i].pixels, test::FramePixels(*f)) << "frame " << i;
    }
    EXPECT_EQ(i, peer.frames.size());
  }
  EXPECT_LT(sizes[1], sizes[0]);
  EXPECT_TRUE(messages_.ids().empty());
}

// Without the option bit nothing changes the stream of the plain save: a run without it takes
// back an earlier choice, and frames whose tables never fill never take one.
TEST_F(OptimizeLzw, TheRuleFollowsTheOptionWordAndOnlyWhereItIsSmaller) {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 40, 30, [i](int x, int y) { return (x * 3 + y * y + i) % 16; });
  const std::vector<uint8_t> plain = Written(*doc);
  AnimPtr on = CopyAnimation(*doc, nullptr);
  Optimize(*on, kKeepFullLzwTables, nullptr);
  EXPECT_EQ(MeasuredFrames(*on), 0);  // tables this small never fill
  EXPECT_EQ(Written(*on), plain);

  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) f->lzwClearRule = 2;
  EXPECT_TRUE(Optimize(*doc, 0, nullptr));
  EXPECT_EQ(MeasuredFrames(*doc), 0);
  EXPECT_EQ(Written(*doc), plain);
}

// Pixels FFmpeg already made transparent where nothing changes: the optimizer may draw them in
// their colour again where that codes smaller, and the file still shows every frame as before,
// measures what it writes, and giflib decodes it to the pixels our reader sees.
int TransparentTurnedOpaque(const AnimHeader& before, const AnimHeader& after) {
  int count = 0;
  const ImageBlock* a = FirstImage(&before);
  for (const ImageBlock* b = FirstImage(&after); a && b; a = NextImage(a), b = NextImage(b)) {
    if (!a->transparent()) continue;
    for (int y = std::max(a->top, b->top); y < std::min(a->top + a->height, b->top + b->height); ++y)
      for (int x = std::max(a->left, b->left); x < std::min(a->left + a->width, b->left + b->width); ++x)
        count += a->indexedImage->row(y - a->top)[x - a->left] == a->transparentIndex &&
                 !(b->transparent() && b->indexedImage->row(y - b->top)[x - b->left] == b->transparentIndex);
  }
  return count;
}

TEST_F(OptimizeLzw, TransparentPixelsOfAnFfmpegClipMayTakeBackTheirColour) {
  if (!std::filesystem::exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "FFmpeg is not installed";
  const AnimPtr read =
      FfmpegClip("-t 1.5 -i mandelbrot=s=160x120:r=10 -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse'");
  ASSERT_TRUE(read);
  const AnimHeader& clip = *read;
  const test::ComposedTimeline shown = test::ComposeTimeline(clip);

  AnimPtr doc = CopyAnimation(clip, nullptr);
  ASSERT_TRUE(doc);
  OptimizeNeverLarger(*doc, kDefault, nullptr);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*doc)), "");
  ASSERT_EQ(doc->frameCount, clip.frameCount);
  EXPECT_GT(TransparentTurnedOpaque(clip, *doc), 0);
  const std::vector<uint8_t> file = Written(*doc);
  EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int32_t>(file.size()));
  EXPECT_LT(file.size(), std::filesystem::file_size(clipPath()));
  ReadResult back = ReadGifMemory(file.data(), file.size());
  ASSERT_EQ(back.status, kReadComplete);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*back.document)), "");
  const test::PeerGif peer = test::GiflibDecode(file);
  ASSERT_TRUE(peer.ok) << peer.error;
  ASSERT_EQ(peer.frames.size(), static_cast<size_t>(back.document->frameCount));
  size_t i = 0;
  for (const ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f), ++i)
    EXPECT_EQ(peer.frames[i].pixels, test::FramePixels(*f)) << "frame " << i;
}

// Pillow writes every frame from its 256-colour palette's code size. Frames that scatter a few
// low indexes over the picture are written by the optimizer from a narrower code size, the rest
// of their rectangle transparent through a low index too, and without the option again from
// the palette's.
TEST_F(OptimizeLzw, FramesOfFewLowIndexesCodeFromANarrowSizeOnlyWithTheOption) {
  const std::string script =
      "import sys\nfrom PIL import Image\npal = [v for i in range(256) for v in (i, 255 - i, (i * 7) % 256)]\n"
      "frames = []\nfor k in range(3):\n  im = Image.new('P', (80, 60))\n  im.putpalette(pal)\n"
      "  im.putdata([(x * y) % 200 for y in range(60) for x in range(80)])\n"
      "  for j in range(1, k + 1):\n    for y in range(20, 30):\n      for x in range(20 * j, 20 * j + 16):\n"
      "        if (x + y) % 3 == 0: im.putpixel((x, y), 1 + x % 2)\n"
      "  frames.append(im)\n"
      "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], optimize=False, duration=100, loop=0)\n";
  const std::string py = dir_.file("make.py");
  {
    FILE* out = std::fopen(py.c_str(), "w");
    ASSERT_TRUE(out);
    std::fputs(script.c_str(), out);
    std::fclose(out);
  }
  if (std::system(("/usr/bin/python3 " + py + " '" + clipPath() + "' >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "Pillow is not installed";
  ReadResult read = ReadGifPath(clipPath());
  ASSERT_EQ(read.status, kReadComplete);
  const AnimHeader& clip = *read.document;
  ASSERT_EQ(clip.frameCount, 3);
  const test::ComposedTimeline shown = test::ComposeTimeline(clip);
  const auto codeSizes = [](const std::vector<uint8_t>& file) {
    std::vector<int> sizes;
    for (const auto& image : test::WalkGif(file).images) sizes.push_back(image.minCodeSize);
    return sizes;
  };
  ASSERT_EQ(codeSizes(test::ReadBytes(clipPath())), (std::vector<int>{8, 8, 8}));

  AnimPtr doc = CopyAnimation(clip, nullptr);
  OptimizeNeverLarger(*doc, kDefault, nullptr);
  std::vector<uint8_t> file = Written(*doc);
  const std::vector<int> sizes = codeSizes(file);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_EQ(sizes[0], 8);
  EXPECT_LE(sizes[1], 3);
  EXPECT_LE(sizes[2], 3);
  EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int32_t>(file.size()));
  const test::PeerGif peer = test::GiflibDecode(file);
  ASSERT_TRUE(peer.ok) << peer.error;
  ReadResult back = ReadGifMemory(file.data(), file.size());
  ASSERT_EQ(back.status, kReadComplete);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*back.document)), "");
  size_t i = 0;
  for (const ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f), ++i)
    EXPECT_EQ(peer.frames.at(i).pixels, test::FramePixels(*f)) << "frame " << i;

  Optimize(*doc, kDefault & ~kKeepFullLzwTables, nullptr);
  file = Written(*doc);
  for (const int size : codeSizes(file)) EXPECT_EQ(size, 8);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*doc)), "");
}

// A real animation whose small frames each draw from a few colours of a 256-entry palette that
// the others hardly use: with those colours placed first, several frames code from 6 bits or
// fewer (ordering entries by the images using them left every frame at 7 or 8), and giflib
// still decodes the file to the frames that show the same animation.
TEST_F(OptimizeLzw, ARealAnimationsFewColourFramesCodeNarrowAfterThePaletteIsOrdered) {
  const std::string dir = test::CorpusDir();
  if (dir.empty()) GTEST_SKIP() << "no shared corpus";
  const std::string path = dir + "/gif/giflib/pic/fire.gif";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no fire.gif in the corpus";
  ReadResult read = ReadGifPath(path);
  ASSERT_EQ(read.status, kReadComplete);
  const test::ComposedTimeline shown = test::ComposeTimeline(*read.document);
  AnimPtr doc = CopyAnimation(*read.document, nullptr);
  OptimizeNeverLarger(*doc, kDefault, nullptr);
  const std::vector<uint8_t> file = Written(*doc);
  EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int32_t>(file.size()));
  int narrow = 0;
  for (const auto& image : test::WalkGif(file).images) narrow += image.minCodeSize <= 6;
  EXPECT_GE(narrow, 3);
  const test::PeerGif peer = test::GiflibDecode(file);
  ASSERT_TRUE(peer.ok) << peer.error;
  ReadResult back = ReadGifMemory(file.data(), file.size());
  ASSERT_EQ(back.status, kReadComplete);
  EXPECT_EQ(test::TimelineDifference(shown, test::ComposeTimeline(*back.document)), "");
  size_t i = 0;
  for (const ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f), ++i)
    EXPECT_EQ(peer.frames.at(i).pixels, test::FramePixels(*f)) << "frame " << i;
}

// The data the optimizer keeps with the frames it measured is what encoding them writes; once a
// frame changes (a pixel, its interlacing, its clear rule) Save encodes it again.
std::vector<uint8_t> WrittenFresh(const AnimHeader& doc) {
  AnimPtr copy = CopyAnimation(doc, nullptr);
  for (ImageBlock* f = FirstImage(copy.get()); f; f = NextImage(f)) f->keptLzw.reset();
  return Written(*copy);
}

// Frames large enough to fill the LZW table, whose data holds for one clear rule, and frames
// too small to, whose data every rule writes.
TEST_F(OptimizeLzw, DataKeptWithMeasuredFramesIsWhatEncodingWritesUntilTheFrameChanges) {
  if (!std::filesystem::exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "FFmpeg is not installed";
  for (const char* size : {"320x240", "48x32"}) {
    SCOPED_TRACE(size);
    AnimPtr doc = FfmpegClip(std::string("-i testsrc2=s=") + size + ":r=10:d=0.6");
    ASSERT_TRUE(doc);
    OptimizeNeverLarger(*doc, kDefault, nullptr);
    std::vector<ImageBlock*> kept;
    for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f))
      if (f->keptLzw) kept.push_back(f);
    ASSERT_GE(kept.size(), 3u);
    const std::vector<uint8_t> file = Written(*doc);
    EXPECT_EQ(file, WrittenFresh(*doc));
    EXPECT_EQ(EncodedSize(doc.get(), true, nullptr), static_cast<int32_t>(file.size()));

    uint8_t& pixel = kept[0]->indexedImage->row(kept[0]->height / 2)[kept[0]->width / 2];
    pixel = pixel == 0 ? 1 : 0;
    kept[1]->descriptorFlags |= 0x40;
    kept[2]->lzwClearRule = kept[2]->lzwClearRule == 1 ? 4 : 1;
    const std::vector<uint8_t> changed = Written(*doc);
    EXPECT_EQ(changed, WrittenFresh(*doc));
    // Our reader and giflib both decode the frames as they now are.
    ReadResult back = ReadGifMemory(changed.data(), changed.size());
    ASSERT_EQ(back.status, kReadComplete);
    const test::PeerGif peer = test::GiflibDecode(changed);
    ASSERT_TRUE(peer.ok) << peer.error;
    ASSERT_EQ(peer.frames.size(), static_cast<size_t>(doc->frameCount));
    size_t i = 0;
    const ImageBlock* a = FirstImage(doc.get());
    for (const ImageBlock* b = FirstImage(back.document.get()); a && b; a = NextImage(a), b = NextImage(b), ++i) {
      EXPECT_EQ(test::FramePixels(*b), test::FramePixels(*a)) << "frame " << i;
      EXPECT_EQ(peer.frames[i].pixels, test::FramePixels(*a)) << "frame " << i;
    }
  }
}

}  // namespace
}  // namespace fw
