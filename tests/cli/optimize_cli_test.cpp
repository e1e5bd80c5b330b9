// The built program's -z: a smaller file that shows the same animation.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "samples/sample_drawings.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {

TEST(OptimizeCli, MakesASmallerFileThatShowsTheSame) {
  test::TempDir dir;
  test::ScopedMessages quiet;
  AnimPtr input = samples::ScreenCapture(640, 400, 6);
  ASSERT_EQ(WriteGifFile(dir.file("in.gif"), *input, nullptr), 1);
  ReadResult before = ReadGifPath(dir.file("in.gif"));
  ASSERT_EQ(before.status, kReadComplete);

  test::ProgramRun run = test::RunProgram({"-i", "in.gif", "-z", "-o", "out.gif"}, dir.path(), dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");

  const std::vector<uint8_t> bytes = test::ReadBytes(dir.file("out.gif"));
  EXPECT_LT(bytes.size() * 5, test::ReadBytes(dir.file("in.gif")).size());
  ASSERT_TRUE(test::GiflibDecode(bytes).ok);
  ReadResult after = ReadGifMemory(bytes.data(), bytes.size());
  ASSERT_EQ(after.status, kReadComplete);
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*before.document), test::ComposeTimeline(*after.document)),
            "");
}

// Two clips FFmpeg wrote, each with its own 256-colour palette: together they hold more
// colours than one palette. A fresh configuration's -z merges palettes only where that keeps
// every colour, so the joined animation shows exactly what it showed before -z.
TEST(OptimizeCli, FreshSettingsKeepEveryColourOfInputsWithMoreThanOnePaletteHolds) {
  if (!test::HaveFfmpeg()) GTEST_SKIP() << "FFmpeg is not installed";
  test::TempDir dir;
  test::ScopedMessages quiet;
  std::string out;
  for (const char* source : {"testsrc", "mandelbrot"})
    ASSERT_TRUE(test::RunCapture({"ffmpeg", "-v", "error", "-f", "lavfi", "-t", "0.4", "-i",
                                  std::string(source) + "=s=48x36:r=10", "-vf",
                                  "split[a][b];[a]palettegen[p];[b][p]paletteuse", "-y",
                                  dir.file(std::string(source) + ".gif")},
                                 out));

  const std::vector<std::string> inputs = {"-i", "testsrc.gif", "mandelbrot.gif"};
  std::vector<std::string> plain = inputs, optimized = inputs;
  plain.insert(plain.end(), {"-o", "plain.gif"});
  optimized.insert(optimized.end(), {"-z", "-o", "optimized.gif"});
  test::ProgramRun joined = test::RunProgram(plain, dir.path(), dir.path() + "/config");
  ASSERT_EQ(joined.exitCode, 0) << joined.output;
  test::ProgramRun run = test::RunProgram(optimized, dir.path(), dir.path() + "/config");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");

  ReadResult before = ReadGifPath(dir.file("plain.gif"));
  ReadResult after = ReadGifPath(dir.file("optimized.gif"));
  ASSERT_EQ(before.status, kReadComplete);
  ASSERT_EQ(after.status, kReadComplete);
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*before.document), test::ComposeTimeline(*after.document)),
            "");
  EXPECT_LE(test::ReadBytes(dir.file("optimized.gif")).size(), test::ReadBytes(dir.file("plain.gif")).size());
}

}  // namespace fw
