// The built program writing and reading the raster formats in batch mode.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "core/frame_planes.h"
#include "formats/bmp_file.h"
#include "formats/jpeg_file.h"
#include "formats/png_file.h"
#include "gif/gif_reader.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {
namespace {

const std::string kSamples = FW_SAMPLES_DIR;
namespace fs = std::filesystem;

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args) {
  return test::RunProgram(args, dir.path(), dir.path());
}

AnimPtr LoadGif(const std::string& path) {
  test::ScopedMessages quiet;
  ReadResult r = ReadGifPath(path);
  return r.status == 1 ? std::move(r.document) : nullptr;
}

TEST(FormatsCli, GifToApngPlaysLikeTheGif) {
  if (!test::HaveFfmpeg()) GTEST_SKIP() << "FFmpeg not available";
  test::TempDir dir;
  for (const char* sample : {"bouncing-ball.gif", "interlaced.gif"}) {
    test::ProgramRun run = Framewright(dir, {"-i", kSamples + "/" + sample, "-o", "anim.png"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    AnimPtr gif = LoadGif(kSamples + "/" + sample);
    ASSERT_TRUE(gif);
    // FFmpeg plays both files: the APNG must show the GIF's pictures for the GIF's times.
    const std::vector<test::Rgba> fromApng = test::FfmpegFrames(dir.file("anim.png"), gif->screenWidth, gif->screenHeight);
    const std::vector<test::Rgba> fromGif = test::FfmpegFrames(kSamples + "/" + sample, gif->screenWidth, gif->screenHeight);
    ASSERT_EQ(fromApng.size(), static_cast<size_t>(gif->frameCount)) << sample;
    ASSERT_EQ(fromGif.size(), fromApng.size()) << sample;
    for (size_t i = 0; i < fromApng.size(); ++i)
      EXPECT_EQ(test::MaxDifference(fromApng[i], fromGif[i]), 0) << sample << " frame " << i;
    std::vector<int> expected;
    for (const ImageBlock* f = FirstImage(gif.get()); f; f = NextImage(f)) expected.push_back(f->delay * 10);
    // A single picture is written as a plain PNG, which has no timing of its own.
    if (gif->frameCount > 1) {
      EXPECT_EQ(test::FfmpegDurationsMs(dir.file("anim.png")), expected) << sample;
    }
  }
}

// Local palettes no longer stop an APNG: the file plays as the GIF does.
TEST(FormatsCli, LocalPalettesAreWrittenAsThePicturesTheyShow) {
  if (!test::HaveFfmpeg()) GTEST_SKIP() << "FFmpeg not available";
  test::TempDir dir;
  test::ProgramRun run = Framewright(dir, {"-i", kSamples + "/spinner.gif", "-o", "anim.png"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");
  AnimPtr gif = LoadGif(kSamples + "/spinner.gif");
  ASSERT_TRUE(gif);
  const std::vector<test::Rgba> fromApng = test::FfmpegFrames(dir.file("anim.png"), gif->screenWidth, gif->screenHeight);
  const std::vector<test::Rgba> fromGif = test::FfmpegFrames(kSamples + "/spinner.gif", gif->screenWidth, gif->screenHeight);
  ASSERT_EQ(fromApng.size(), static_cast<size_t>(gif->frameCount));
  ASSERT_EQ(fromGif.size(), fromApng.size());
  for (size_t i = 0; i < fromApng.size(); ++i) EXPECT_EQ(test::MaxDifference(fromApng[i], fromGif[i]), 0) << "frame " << i;
}

TEST(FormatsCli, SingleImageTypesTakeTheFirstFrame) {
  test::TempDir dir;
  test::ProgramRun run = Framewright(dir, {"-i", kSamples + "/spinner.gif", "-o", "first.bmp", "-o", "first.jpg"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  AnimPtr gif = LoadGif(kSamples + "/spinner.gif");
  const ImageBlock& first = *FirstImage(gif.get());
  test::ScopedMessages quiet;
  LoadResult bmp = ReadBmpFile(dir.file("first.bmp"));
  ASSERT_EQ(bmp.status, 1);
  EXPECT_EQ(test::MaxDifference(test::FrameRgba(*FirstImage(bmp.document.get())), test::FrameRgba(first)), 0);
  LoadResult jpg = ReadJpegFile(dir.file("first.jpg"));
  ASSERT_EQ(jpg.status, 1);
  EXPECT_EQ(FirstImage(jpg.document.get())->width, first.width);
}

// True-colour gradients that no 256-colour palette holds exactly.
void WriteGradientPng(const std::string& path, int shift) {
  AnimPtr doc = CreateBlankAnimation(48, 32);
  ImageBlock& f = *FirstImage(doc.get());
  uint8_t* c = AddTrueColour(f, true);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) {
      uint8_t* p = c + static_cast<size_t>(y) * Stride24(48) + 3 * static_cast<size_t>(x);
      p[0] = static_cast<uint8_t>(5 * x + shift);
      p[1] = static_cast<uint8_t>(7 * y);
      p[2] = static_cast<uint8_t>(255 - 4 * x - shift);
    }
  test::ScopedMessages quiet;
  ASSERT_EQ(WritePng(path, f, nullptr), 1);
}

TEST(FormatsCli, TrueColourPngsBecomeOneGifWithASharedPalette) {
  test::TempDir dir;
  fs::create_directory(dir.file("frames"));
  for (int k = 0; k < 3; ++k) WriteGradientPng(dir.file("frames/f" + std::to_string(k) + ".png"), 30 * k);
  test::ProgramRun run = Framewright(dir, {"-i", "frames/*.png", "-o", "out.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");
  const test::PeerGif peer = test::GiflibDecode(test::ReadBytes(dir.file("out.gif")));
  ASSERT_TRUE(peer.ok) << peer.error;
  ASSERT_EQ(peer.frames.size(), 3u);
  AnimPtr out = LoadGif(dir.file("out.gif"));
  ASSERT_TRUE(out);
  // One palette for all, and every pixel close to its true colour.
  int worst = 0;
  int k = 0;
  for (const ImageBlock* f = FirstImage(out.get()); f; f = NextImage(f), ++k) {
    EXPECT_FALSE(f->localPalette);
    const test::Rgba shown = test::FrameRgba(*f);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 48; ++x) {
        const uint8_t* p = shown.at(x, y);
        worst = std::max({worst, std::abs(p[2] - ((5 * x + 30 * k) & 255)), std::abs(p[1] - 7 * y),
                          std::abs(p[0] - ((255 - 4 * x - 30 * k) & 255))});
      }
  }
  EXPECT_LE(worst, 48);
}

TEST(FormatsCli, BitmapJpegAndPngInputs) {
  test::TempDir dir;
  WriteGradientPng(dir.file("g.png"), 0);
  {
    test::ScopedMessages quiet;
    LoadResult png = ReadPngFile(dir.file("g.png"));
    ASSERT_EQ(WriteBmpFile(dir.file("g.bmp"), *FirstImage(png.document.get()), 0), 1);
    ASSERT_EQ(WriteJpegFile(dir.file("g.jpg"), *FirstImage(png.document.get())), 1);
  }
  for (const char* input : {"g.png", "g.bmp", "g.jpg"}) {
    test::ProgramRun run = Framewright(dir, {"-i", input, "-o", "single.gif"});
    ASSERT_EQ(run.exitCode, 0) << input << run.output;
    AnimPtr gif = LoadGif(dir.file("single.gif"));
    ASSERT_TRUE(gif) << input;
    EXPECT_EQ(gif->frameCount, 1);
    EXPECT_EQ(gif->screenWidth, 48);
  }
  // A damaged input is reported and ends the run before any output.
  test::WriteBytes(dir.file("bad.bmp"), {'B', 'M', 0, 0});
  test::ProgramRun run = Framewright(dir, {"-i", "bad.bmp", "-o", "never.png"});
  EXPECT_NE(run.output.find("Input operation unsuccessful."), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.file("never.png")));
}

}  // namespace
}  // namespace fw
