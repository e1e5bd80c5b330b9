// The command line's -s: a recording made by another program is fitted to an upload limit,
// and a limit nothing meets ends the run without an output file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli_support.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args) {
  return test::RunProgram(args, dir.path(), dir.path());
}

bool MakeRecording(const test::TempDir& dir, const std::string& name) {
  // Ten seconds at 30 frames a second of a moving, many-coloured picture.
  const std::string command =
      "ffmpeg -v error -y -f lavfi -i testsrc2=size=240x180:rate=30:duration=10 "
      "-vf \"split[a][b];[a]palettegen[p];[b][p]paletteuse\" " + dir.file(name);
  return std::system(command.c_str()) == 0;
}

TEST(SizeCli, ARecordingIsFittedToTheLimit) {
  if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg missing";
  test::TempDir dir;
  ASSERT_TRUE(MakeRecording(dir, "recording.gif"));
  ASSERT_GT(std::filesystem::file_size(dir.file("recording.gif")), 512000u);

  test::ProgramRun run = Framewright(dir, {"-i", "recording.gif", "-s", "500K", "-o", "out.gif"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  ASSERT_TRUE(std::filesystem::exists(dir.file("out.gif")));
  EXPECT_LE(std::filesystem::file_size(dir.file("out.gif")), 512000u);
  const test::PeerGif peer = test::GiflibDecode(test::ReadBytes(dir.file("out.gif")));
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_GT(peer.frames.size(), 0u);
}

TEST(SizeCli, ALimitNothingMeetsStopsBeforeTheOutput) {
  test::TempDir dir;
  ASSERT_EQ(std::system(("cp " + std::string(FW_SAMPLES_DIR) + "/bouncing-ball.gif " + dir.file("in.gif")).c_str()), 0);
  test::ProgramRun tiny = Framewright(dir, {"-i", "in.gif", "-s", "100", "-o", "out.gif"});
  EXPECT_EQ(tiny.exitCode, 1) << tiny.output;
  EXPECT_NE(tiny.output.find("No version of the animation fits"), std::string::npos) << tiny.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.gif")));

  test::ProgramRun malformed = Framewright(dir, {"-i", "in.gif", "-s", "lots", "-o", "out.gif"});
  EXPECT_EQ(malformed.exitCode, 1) << malformed.output;
  EXPECT_NE(malformed.output.find("'lots' is not a size"), std::string::npos) << malformed.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.gif")));

  test::ProgramRun roomy = Framewright(dir, {"-i", "in.gif", "-s1M", "-o", "out.gif"});
  EXPECT_EQ(roomy.exitCode, 0) << roomy.output;
  EXPECT_TRUE(std::filesystem::exists(dir.file("out.gif")));
}

}  // namespace
}  // namespace fw
