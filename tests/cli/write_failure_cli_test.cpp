// What the program says when a file cannot be written as asked: an animation without frames,
// pictures and frame counts beyond what a format can store, and a disk that fills up.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>

#include "cli/cli_support.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

const char* const kEveryType[] = {"gif", "png", "bmp", "jpg", "ico", "cur", "ani", "avi", "psd", "swf"};

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args, long fileSizeLimit = -1) {
  return test::RunProgram(args, dir.path(), dir.path() + "/config", fileSizeLimit);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs a Pillow script with the folder as its working directory; false when Pillow is missing.
bool Pillow(const test::TempDir& dir, const std::string& script) {
  std::string out;
  return test::RunCapture({"/usr/bin/python3", "-c", "import os; os.chdir('" + dir.path() + "')\n" + script}, out);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  return names;
}

TEST(WriteFailureCli, AnAnimationWithoutFramesIsNeverWritten) {
  test::TempDir dir;
  // A logical screen with a global table and the trailer straight after: no image at all.
  test::WriteBytes(dir.file("empty.gif"), {'G', 'I', 'F', '8', '9', 'a', 10, 0, 10, 0, 0x80, 0, 0,  // screen
                                           0, 0, 0, 255, 255, 255,                                   // 2 colours
                                           0x3B});
  for (const char* type : kEveryType) {
    const std::string out = std::string("out.") + type;
    const test::ProgramRun run = Framewright(dir, {"-i", "empty.gif", "-o", out});
    EXPECT_EQ(run.exitCode, 1) << type << ": " << run.output;
    EXPECT_TRUE(Contains(run.output, "Nothing to output.")) << type << ": " << run.output;
    EXPECT_FALSE(fs::exists(dir.file(out))) << type;
  }
}

TEST(WriteFailureCli, SizesBeyondAFormatsFieldsAreRefusedNotWrapped) {
  test::TempDir dir;
  if (!Pillow(dir, "from PIL import Image\n"
                   "Image.new('P', (70000, 2), 1).save('wide.png')\n"
                   "a = Image.new('P', (8, 8), 1); b = Image.new('P', (8, 8), 2)\n"
                   "a.save('long.gif', save_all=True, append_images=[b], duration=[655350, 10], loop=0)\n"))
    GTEST_SKIP() << "Pillow not available";
  struct Case {
    const char* input;
    const char* output;
    const char* limit;  // the number the message must name
  };
  // 70000 pixels would be written as 4464 in a GIF; the SWF would hold 65536 frames in 16 bits.
  for (const Case& c : {Case{"wide.png", "wide.gif", "65535"}, Case{"wide.png", "wide.psd", "30000"},
                        Case{"wide.png", "wide.jpg", "65500"}, Case{"long.gif", "long.swf", "65535"}}) {
    const test::ProgramRun run = Framewright(dir, {"-i", c.input, "-o", c.output});
    EXPECT_EQ(run.exitCode, 1) << c.output << ": " << run.output;
    EXPECT_TRUE(Contains(run.output, c.limit)) << c.output << ": " << run.output;
    EXPECT_FALSE(fs::exists(dir.file(c.output))) << c.output;
  }
}

TEST(WriteFailureCli, MoreFramesThanPsdLayersAreRefused) {
  test::TempDir dir;
  // 32768 one-pixel frames: one more than the signed 16-bit layer count holds.
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  for (int i = 0; i < 32768; ++i) {
    const uint8_t frame[] = {0x21, 0xF9, 4, 0, 1, 0, 0, 0,  // graphic control: delay 1
                             0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,  // 1x1 at 0,0
                             2, 2, 0x44, 0x01, 0};  // clear, index 0, end at 3 bits
    gif.insert(gif.end(), std::begin(frame), std::end(frame));
  }
  gif.push_back(0x3B);
  test::WriteBytes(dir.file("many.gif"), gif);
  const test::ProgramRun run = Framewright(dir, {"-i", "many.gif", "-o", "many.psd"});
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "32767")) << run.output;
  EXPECT_FALSE(fs::exists(dir.file("many.psd")));
}

// A picture of noise, 200 x 200: small enough for an icon, too large for a few kilobytes.
bool MakeNoise(const test::TempDir& dir) {
  return Pillow(dir, "from PIL import Image\nimport random\nrandom.seed(3)\n"
                     "f = Image.frombytes('P', (200, 200), bytes(random.randrange(200) for _ in range(40000)))\n"
                     "f.putpalette([random.randrange(256) for _ in range(768)])\n"
                     "f.save('noise.gif')\n");
}

// Every type into a folder that cannot hold it: the message names the file asked for and the
// system's reason, the run fails, and nothing is left behind.
void ExpectEveryTypeRefused(const test::TempDir& dir, const std::string& folder, const std::string& reason,
                            long fileSizeLimit) {
  for (const char* type : kEveryType) {
    const std::string out = folder + "/out." + type;
    const test::ProgramRun run = Framewright(dir, {"-i", "noise.gif", "-o", out}, fileSizeLimit);
    EXPECT_EQ(run.exitCode, 1) << type << ": " << run.output;
    EXPECT_TRUE(Contains(run.output, "无法写入 " + out + ".")) << type << ": " << run.output;
    EXPECT_TRUE(Contains(run.output, reason)) << type << ": " << run.output;
    EXPECT_EQ(FilesIn(dir.file(folder)), std::vector<std::string>{}) << type;
  }
}

TEST(WriteFailureCli, AFullDiskIsReportedWithTheTargetAndTheReason) {
  test::TempDir dir;
  if (!MakeNoise(dir)) GTEST_SKIP() << "Pillow not available";
  fs::create_directory(dir.file("small"));
  if (::mount("tmpfs", dir.file("small").c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  ExpectEveryTypeRefused(dir, "small", "No space left on device", -1);
  ::umount(dir.file("small").c_str());
}

TEST(WriteFailureCli, AWriteRefusedPartWayIsReportedWithTheTargetAndTheReason) {
  test::TempDir dir;
  if (!MakeNoise(dir)) GTEST_SKIP() << "Pillow not available";
  fs::create_directory(dir.file("out"));
  ExpectEveryTypeRefused(dir, "out", "File too large", 16 << 10);
}

}  // namespace
}  // namespace fw
