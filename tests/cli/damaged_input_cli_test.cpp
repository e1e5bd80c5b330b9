// Damaged files made by the common tools: a batch run that reads them only in part says so
// and fails, where it used to carry on with blank or missing pictures and exit 0.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {
namespace {

test::ProgramRun Framewright(const test::TempDir& dir, std::vector<std::string> args) {
  return test::RunProgram(args, dir.path(), dir.path() + "/config");
}

bool Make(const std::vector<std::string>& command) {
  std::string out;
  return test::RunCapture(command, out);
}

void Cut(const std::string& path, double keep) {
  std::vector<uint8_t> bytes = test::ReadBytes(path);
  bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * keep));
  test::WriteBytes(path, bytes);
}

TEST(DamagedInputCli, PartlyReadFilesAreReported) {
  test::TempDir dir;
  if (!Make({"convert", "-size", "40x30", "-seed", "3", "plasma:", "-type", "TrueColor", "BMP3:" + dir.file("offset.bmp")}) ||
      !Make({"convert", "-size", "40x30", "-seed", "3", "plasma:", "-depth", "8", "-type", "TrueColor", "-compress", "RLE",
             dir.file("cut.psd")}))
    GTEST_SKIP() << "ImageMagick not available";
  // The pixel offset (bytes 10-13) pointing past the end of the file.
  std::vector<uint8_t> bmp = test::ReadBytes(dir.file("offset.bmp"));
  bmp[10] = 0x00;
  bmp[11] = 0x00;
  bmp[12] = 0x10;
  bmp[13] = 0x00;
  test::WriteBytes(dir.file("offset.bmp"), bmp);
  // ImageMagick adds a layer section; without it the picture is the merged image at the end,
  // which the cut then shortens.
  std::string out;
  if (!test::RunCapture({"/usr/bin/python3", "-c",
                         "import struct, sys\n"
                         "b = open(sys.argv[1], 'rb').read(); at = 26\n"
                         "for _ in range(2): at += 4 + struct.unpack('>I', b[at:at + 4])[0]\n"
                         "layers = struct.unpack('>I', b[at:at + 4])[0]\n"
                         "open(sys.argv[1], 'wb').write(b[:at] + bytes(4) + b[at + 4 + layers:])\n",
                         dir.file("cut.psd")}, out))
    GTEST_SKIP() << "Python not available";
  Cut(dir.file("cut.psd"), 0.8);
  // Each input with the words its warning must hold.
  std::vector<std::pair<std::string, std::string>> inputs = {{"offset.bmp", "cut short"}, {"cut.psd", "cut short"}};
  if (test::HaveFfmpeg() && Make({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=10:duration=2",
                                  "-c:v", "mjpeg", dir.file("cut.avi")})) {
    Cut(dir.file("cut.avi"), 0.5);
    inputs.push_back({"cut.avi", "读取时遇到错误视频"});
  }
  for (const auto& [input, warning] : inputs) {
    const test::ProgramRun run = Framewright(dir, {"-i", input, "-o", "out.gif"});
    EXPECT_EQ(run.exitCode, 1) << input << ": " << run.output;
    EXPECT_NE(run.output.find(warning), std::string::npos) << input << ": " << run.output;
  }
}

}  // namespace
}  // namespace fw
