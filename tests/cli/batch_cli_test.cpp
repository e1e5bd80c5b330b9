// The built program in batch mode: real files in, real files out, exit status and messages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

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
  // The frames of the cut file that were read whole are kept, as the window keeps them.
  int partlyRead = 0;
  {
    test::ScopedMessages quiet;
    ReadResult r = ReadGifPath(dir.file("b-cut.gif"));
    ASSERT_EQ(r.status, 2);
    partlyRead = r.document->frameCount;
  }
  EXPECT_GT(partlyRead, 0);
  EXPECT_EQ(FramesIn(dir.file("out.gif")), FramesIn(dir.file("a.gif")) + partlyRead);
}

TEST(BatchCli, CutAnimationsKeepTheirWholeFramesAndFailTheRun) {
  test::TempDir dir;
  // An animated PNG from another program, cut: the reader reports the damage, the run goes
  // on with the frames read and ends with 1.
  ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=32x24:rate=10 -frames:v 6 -plays 0 -f apng " +
                         dir.file("whole.png")).c_str()),
            0);
  std::vector<uint8_t> bytes = test::ReadBytes(dir.file("whole.png"));
  bytes.resize(bytes.size() * 2 / 3);
  test::WriteBytes(dir.file("cut.png"), bytes);
  test::ProgramRun run = Framewright(dir, {"-i", "cut.png", "-t", "7", "-o", "out.gif"});
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("错误"), std::string::npos) << run.output;
  const int fromPng = FramesIn(dir.file("out.gif"));
  EXPECT_GT(fromPng, 0);
  EXPECT_LT(fromPng, 6);

  // An animated cursor cut in its last cursor keeps the steps before it.
  run = Framewright(dir, {"-i", kSamples + "/bouncing-ball.gif", "-o", "whole.ani"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  bytes = test::ReadBytes(dir.file("whole.ani"));
  bytes.resize(bytes.size() - 40);
  test::WriteBytes(dir.file("cut.ani"), bytes);
  run = Framewright(dir, {"-i", "cut.ani", "-o", "ani.gif"});
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("只有动画部分读."), std::string::npos) << run.output;
  EXPECT_EQ(FramesIn(dir.file("ani.gif")), FramesIn(kSamples + "/bouncing-ball.gif") - 1);
}

TEST(BatchCli, OnlyRegularFilesAreWrittenOrRead) {
  test::TempDir dir;
  std::filesystem::copy_file(kSamples + "/comment.gif", dir.file("a.gif"));
  if (::mkfifo(dir.file("pipe.gif").c_str(), 0600) != 0) GTEST_SKIP() << "no FIFOs here";
  // Device nodes made here (never a real one: an old program run as root would replace it).
  std::vector<std::string> targets = {"pipe.gif"};
  const bool device = ::mknod(dir.file("null.gif").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  if (device) {
    std::filesystem::create_symlink("null.gif", dir.file("to-null.gif"));
    targets.insert(targets.end(), {"null.gif", "to-null.gif"});
  }
  for (const std::string& target : targets) {
    test::ProgramRun run = Framewright(dir, {"-i", "a.gif", "-o", target, "-o", "copy.gif"});
    EXPECT_EQ(run.exitCode, 1) << target;
    EXPECT_NE(run.output.find("无法写入"), std::string::npos) << run.output;
    EXPECT_EQ(FramesIn(dir.file("copy.gif")), 2);  // the run goes on
  }
  EXPECT_EQ(std::filesystem::status(dir.file("pipe.gif")).type(), std::filesystem::file_type::fifo);
  if (device) {
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("to-null.gif")));
    EXPECT_EQ(std::filesystem::status(dir.file("null.gif")).type(), std::filesystem::file_type::character);
  }

  // Reading a FIFO would wait for a writer for ever: whoever opens it is let go after a few
  // seconds by a writer that closes at once, and counted.
  std::atomic<bool> done{false}, opened{false};
  std::thread releaser([&] {
    for (int i = 0; i < 50 && !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const int fd = ::open(dir.file("pipe.gif").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        opened = true;
        ::close(fd);
      }
    }
  });
  std::filesystem::create_symlink("/dev/zero", dir.file("zero.gif"));
  test::ProgramRun run = Framewright(dir, {"-i", "pipe.gif", "-o", "never.gif"});
  test::ProgramRun zero = Framewright(dir, {"-i", "zero.gif", "-o", "never.gif"});
  done = true;
  releaser.join();
  EXPECT_FALSE(opened);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("无法打开文件'pipe.gif'"), std::string::npos) << run.output;
  EXPECT_EQ(zero.exitCode, 1);
  EXPECT_NE(zero.output.find("无法打开文件'zero.gif'"), std::string::npos) << zero.output;
  EXPECT_FALSE(std::filesystem::exists(dir.file("never.gif")));
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

TEST(BatchCli, StoredSettingsOutOfRangeAreNotUsed) {
  test::TempDir dir;
  std::filesystem::copy_file(kSamples + "/comment.gif", dir.file("a.gif"));
  // Stored preferences with a time base of 1: used as they stand, -t 7 would write 7 seconds.
  const uint32_t words[19] = {10, 0, 32, 0, 0, 1134, 1u << 23, 0, 7, 1, 0x880001, 0, 20, 0, 1, 0, 1, 0, 0};
  std::string ini = "[2.0]\nPref=@ByteArray(";
  for (uint32_t w : words)
    for (int k = 0; k < 4; ++k) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", (w >> (8 * k)) & 0xFF);
      ini += escaped;
    }
  ini += ")\nNPref=19\n";
  test::WriteBytes(dir.file("framewright.ini"), std::vector<uint8_t>(ini.begin(), ini.end()));
  test::ProgramRun run = Framewright(dir, {"-i", "a.gif", "-t", "7", "-o", "out.gif"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const test::PeerGifDetail peer = test::GiflibDecodeDetail(test::ReadBytes(dir.file("out.gif")));
  ASSERT_TRUE(peer.ok) << peer.error;
  ASSERT_FALSE(peer.frames.empty());
  for (const auto& frame : peer.frames) EXPECT_EQ(frame.delay, 7);
  // The settings file is left as it was until the user saves preferences.
  EXPECT_EQ(test::ReadBytes(dir.file("framewright.ini")), std::vector<uint8_t>(ini.begin(), ini.end()));
}

}  // namespace fw
