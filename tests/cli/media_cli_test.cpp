// The built program in batch mode with the movie, layer and icon formats: -o writes files
// FFmpeg, Pillow and icotool read, and -i loads them back.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "formats/avi_file.h"
#include "formats/file_dispatch.h"
#include "formats/format_peers.h"
#include "gif/gif_writer.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args) {
  return test::RunProgram(args, dir.path(), dir.path());
}

// Three opaque 40 x 30 frames of 16 colours, 10, 20 and 30 hundredths long.
void WriteInput(const std::string& path, int width = 40, int height = 30) {
  AnimPtr doc = test::NewDocument(width, height, 16);
  const int delays[3] = {10, 20, 30};
  for (int k = 0; k < 3; ++k)
    test::AddFrame(*doc, 0, 0, width, height, [k](int x, int y) { return (x / 4 + y / 3 + k) % 16; }).delay = delays[k];
  ASSERT_EQ(WriteGifFile(path, *doc, nullptr), 1);
}

LoadResult Load(const std::string& path) {
  test::ScopedMessages quiet;
  return LoadAnimationFile(path);
}

std::string Output(const std::vector<std::string>& args) {
  std::string out;
  test::RunCapture(args, out);
  return out;
}

}  // namespace

TEST(MediaCli, AviAndSwfOutputPeersRead) {
  test::TempDir dir;
  WriteInput(dir.file("in.gif"));
  test::ProgramRun run = Framewright(dir, {"-i", "in.gif", "-o", "out.avi"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");
  // The stored compressor defaults to RLE8; the movie lasts the animation's 60 hundredths.
  EXPECT_NE(Output({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", dir.file("out.avi")})
                .find("msrle"),
            std::string::npos);
  const std::vector<test::Rgba> decoded = test::FfmpegFrames(dir.file("out.avi"), 40, 30);
  LoadResult gif = Load(dir.file("in.gif"));
  ASSERT_GE(decoded.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(test::MaxDifference(decoded[size_t(k)], test::FrameRgba(*ImageAt(gif.document.get(), k))), 0);
  LoadResult avi = Load(dir.file("out.avi"));
  ASSERT_NE(avi.status, 0);
  EXPECT_EQ(TotalDuration(*avi.document), 60);

  run = Framewright(dir, {"-i", "in.gif", "-o", "out.swf"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> swf = test::ReadBytes(dir.file("out.swf"));
  ASSERT_GT(swf.size(), 21u);
  EXPECT_EQ(std::string(swf.begin(), swf.begin() + 3), "FWS");
  EXPECT_NE(Output({"ffprobe", "-v", "error", "-show_entries", "format=format_name", "-of", "csv=p=0", dir.file("out.swf")})
                .find("swf"),
            std::string::npos);

  // An AVI as input: loaded and written on as a GIF.
  run = Framewright(dir, {"-i", "out.avi", "-o", "again.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(TotalDuration(*Load(dir.file("again.gif")).document), 60);
}

TEST(MediaCli, PsdRoundTripAndPillowComposite) {
  test::TempDir dir;
  WriteInput(dir.file("in.gif"));
  test::ProgramRun run = Framewright(dir, {"-i", "in.gif", "-o", "out.psd"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  LoadResult gif = Load(dir.file("in.gif"));
  if (test::HavePillow()) {
    std::string out;
    test::RunCapture({"/usr/bin/python3", "-c",
                      "import sys; from PIL import Image; sys.stdout.write('%dx%d' % Image.open(sys.argv[1]).size)",
                      dir.file("out.psd")},
                     out);
    EXPECT_EQ(out, "40x30");
  }
  run = Framewright(dir, {"-i", "out.psd", "-o", "back.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  LoadResult back = Load(dir.file("back.gif"));
  ASSERT_EQ(back.document->frameCount, 3);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(back.document.get(), k)), test::FrameRgba(*ImageAt(gif.document.get(), k))),
              0);
}

TEST(MediaCli, IconsCursorsAndAnimatedCursors) {
  test::TempDir dir;
  WriteInput(dir.file("in.gif"));
  // Three frames of one size make duplicate resolutions: refused, nothing written.
  test::ProgramRun run = Framewright(dir, {"-i", "in.gif", "-o", "out.ico"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find("Duplicate Resolutions"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(dir.file("out.ico")));

  // One frame is an icon and a cursor; the three frames an animated cursor.
  {
    AnimPtr one = test::NewDocument(32, 32, 16);
    test::AddFrame(*one, 0, 0, 32, 32, [](int x, int y) { return (x ^ y) % 16; });
    ASSERT_EQ(WriteGifFile(dir.file("one.gif"), *one, nullptr), 1);
  }
  run = Framewright(dir, {"-i", "one.gif", "-o", "out.ico"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(Output({"icotool", "-l", dir.file("out.ico")}).find("--icon --index=1 --width=32 --height=32"), std::string::npos);
  run = Framewright(dir, {"-i", "one.gif", "-o", "out.cur"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(Output({"icotool", "-l", dir.file("out.cur")}).find("--cursor"), std::string::npos);
  run = Framewright(dir, {"-i", "in.gif", "-o", "out.ani"});
  ASSERT_EQ(run.exitCode, 0) << run.output;

  for (const char* name : {"out.ico", "out.cur"}) {
    run = Framewright(dir, {"-i", name, "-o", std::string(name) + ".gif"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Load(dir.file(std::string(name) + ".gif")).document->frameCount, 1);
  }
  run = Framewright(dir, {"-i", "out.ani", "-o", "ani.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  LoadResult ani = Load(dir.file("ani.gif"));
  ASSERT_EQ(ani.document->frameCount, 3);
  EXPECT_EQ(TotalDuration(*ani.document), 60);

  // Wider than an icon entry can say (256): refused with the size message.
  WriteInput(dir.file("wide.gif"), 300, 20);
  run = Framewright(dir, {"-i", "wide.gif", "-o", "wide.cur"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find(MessageText(40335)), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(dir.file("wide.cur")));
}

}  // namespace fw
