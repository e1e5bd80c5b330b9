// The built program in batch mode: real files in, real files out, exit status and messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "gif/gif_reader.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

const std::string kSamples = FW_SAMPLES_DIR;

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args) {
  return test::RunProgram(args, dir.path(), dir.path());
}

int FramesIn(const std::string& path) {
  test::ScopedMessages quiet;
  ReadResult r = ReadGifPath(path);
  return r.status == 1 ? r.document->frameCount : -1;
}

}  // namespace

TEST(BatchCli, MergesSamplesRetimesAndWritesAGifPeersRead) {
  test::TempDir dir;
  const int total = FramesIn(kSamples + "/bouncing-ball.gif") + FramesIn(kSamples + "/comment.gif") +
                    FramesIn(kSamples + "/interlaced.gif") + FramesIn(kSamples + "/spinner.gif");
  test::ProgramRun run = Framewright(dir, {"-i", kSamples + "/*.gif", "-t", "5", "-o", "out.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output, "");
  const std::vector<uint8_t> bytes = test::ReadBytes(dir.file("out.gif"));
  const test::PeerGif peer = test::GiflibDecode(bytes);
  ASSERT_TRUE(peer.ok) << peer.error;
  EXPECT_EQ(static_cast<int>(peer.frames.size()), total);

  test::ScopedMessages quiet;
  ReadResult back = ReadGifMemory(bytes.data(), bytes.size());
  ASSERT_EQ(back.status, 1);
  for (ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f)) EXPECT_EQ(f->delay, 5);
  EXPECT_EQ(back.document->playCount, 0);  // merged animations loop forever by default
}

TEST(BatchCli, ExitStatusAndMessages) {
  test::TempDir dir;
  test::ProgramRun run = Framewright(dir, {"-t", "5", "-o", "x.gif"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("Nothing to output."), std::string::npos);

  run = Framewright(dir, {"-q"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.output.find("Unrecognized flag: q"), std::string::npos);

  run = Framewright(dir, {"-i", "missing*.gif", "-o", "never.gif"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("Input file missing*.gif not found"), std::string::npos);
  EXPECT_NE(run.output.find("Input operation unsuccessful."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("never.gif")));
}

TEST(BatchCli, NamesWithHyphensAndUnknownEndings) {
  test::TempDir dir;
  std::filesystem::copy_file(kSamples + "/spinner.gif", dir.file("my-anim.gif"));
  test::ProgramRun run = Framewright(dir, {"-i", "my-anim.gif", "-o", "out.jpeg"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  // An ending that is not a known type writes GIF data under the given name.
  EXPECT_EQ(FramesIn(dir.file("out.jpeg")), FramesIn(dir.file("my-anim.gif")));

  // A known ending is matched ignoring case and goes to its own writer, never to GIF.
  run = Framewright(dir, {"-i", "my-anim.gif", "-o", "OUT.PNG"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> png = test::ReadBytes(dir.file("OUT.PNG"));
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  EXPECT_EQ(png[2], 'N');
}

TEST(BatchCli, DamagedInputStopsLoadingButKeepsEarlierFiles) {
  test::TempDir dir;
  std::vector<uint8_t> cut = test::ReadBytes(kSamples + "/spinner.gif");
  cut.resize(cut.size() / 2);
  test::WriteBytes(dir.file("b-cut.gif"), cut);
  std::filesystem::copy_file(kSamples + "/comment.gif", dir.file("a.gif"));
  test::WriteBytes(dir.file("list.txt"), {'a', '.', 'g', 'i', 'f', '\n', 'b', '-', 'c', 'u', 't', '.', 'g', 'i', 'f'});
  test::ProgramRun run = Framewright(dir, {"-l", "list.txt", "-o", "out.gif"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("GIF文件似乎已损坏"), std::string::npos) << run.output;
  EXPECT_EQ(FramesIn(dir.file("out.gif")), FramesIn(dir.file("a.gif")));
}

TEST(BatchCli, FailedSavesReportAndLeaveTargetsAlone) {
  test::TempDir dir;
  std::filesystem::copy_file(kSamples + "/comment.gif", dir.file("a.gif"));
  test::ProgramRun run = Framewright(dir, {"-i", "a.gif", "-o", "no/such/dir/out.gif", "-o", "copy.gif"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("无法保存至"), std::string::npos) << run.output;
  EXPECT_EQ(FramesIn(dir.file("copy.gif")), 2);  // a failed save does not end the run

  std::filesystem::create_directory(dir.file("taken.gif"));
  run = Framewright(dir, {"-i", "a.gif", "-o", "taken.gif"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.gif")));
  int leftovers = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().filename().string()[0] == '.') ++leftovers;
  EXPECT_EQ(leftovers, 0);
}

}  // namespace fw
