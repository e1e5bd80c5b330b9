// Loading an icon, cursor or animated cursor and saving it again must settle: from the second
// round on the bytes stay the same, as they do for every other format.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {
namespace {

// Saves `first` as round1.<ext>, round2.<ext>, ... each read back from the one before.
std::vector<std::vector<uint8_t>> Rounds(const test::TempDir& dir, const std::string& first, const std::string& ext,
                                         int rounds) {
  std::vector<std::vector<uint8_t>> bytes;
  std::string from = first;
  for (int i = 1; i <= rounds; ++i) {
    const std::string to = "round" + std::to_string(i) + "." + ext;
    const test::ProgramRun run = test::RunProgram({"-i", from, "-o", to}, dir.path(), dir.path() + "/config");
    EXPECT_EQ(run.exitCode, 0) << to << ": " << run.output;
    bytes.push_back(test::ReadBytes(dir.file(to)));
    from = to;
  }
  return bytes;
}

TEST(IconRoundTripCli, SavingALoadedIconOrCursorSettles) {
  test::TempDir dir;
  std::string out;
  // A half-transparent disc (32-bit), a 16-colour plasma and a two-colour line, by the tools
  // people make icons with.
  if (!test::RunCapture({"convert", "-size", "48x48", "xc:none", "-fill", "rgba(255,0,0,0.5)", "-draw",
                         "circle 24,24 10,10", dir.file("disc.png")}, out) ||
      !test::RunCapture({"convert", "-size", "24x24", "-seed", "3", "plasma:", "-colors", "16", dir.file("plasma.png")}, out) ||
      !test::RunCapture({"icotool", "-c", "-o", dir.file("disc.ico"), dir.file("disc.png")}, out) ||
      !test::RunCapture({"icotool", "-c", "-o", dir.file("both.ico"), dir.file("plasma.png"), dir.file("disc.png")}, out))
    GTEST_SKIP() << "ImageMagick or icotool not available";
  for (const char* input : {"disc.ico", "both.ico"}) {
    for (const char* ext : {"ico", "cur"}) {
      const auto rounds = Rounds(dir, input, ext, 4);
      ASSERT_FALSE(rounds[1].empty()) << input;
      EXPECT_EQ(rounds[2], rounds[1]) << input << " as " << ext;
      EXPECT_EQ(rounds[3], rounds[1]) << input << " as " << ext;
    }
  }
}

// Every modern icon has a 256 x 256 image: it is written (0 in the directory, a PNG stream)
// and other tools read it back to the same pixels. 257 stays refused.
TEST(IconRoundTripCli, TwoHundredFiftySixSquareIconIsWrittenForOtherTools) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  test::TempDir dir;
  std::string out;
  // Two colours and clear pixels: nothing the load has to reduce.
  if (!test::RunCapture({"convert", "-size", "256x256", "xc:red", "+antialias", "-fill", "blue", "-draw",
                         "circle 128,128 128,40", "-alpha", "set", "-channel", "A", "-fx", "i<128?1:0", "+channel",
                         dir.file("big.png")}, out) ||
      !test::RunCapture({"convert", "-size", "257x20", "xc:red", dir.file("over.png")}, out))
    GTEST_SKIP() << "ImageMagick not available";
  const test::ProgramRun run = test::RunProgram({"-i", "big.png", "-o", "big.ico"}, dir.path(), dir.path() + "/config");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> ico = test::ReadBytes(dir.file("big.ico"));
  ASSERT_GT(ico.size(), 22u + 8u);
  EXPECT_EQ(ico[6], 0);  // width 256
  EXPECT_EQ(ico[7], 0);  // height 256
  EXPECT_EQ(std::vector<uint8_t>(ico.begin() + 22, ico.begin() + 26), (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));

  std::string listing;
  if (test::RunCapture({"icotool", "-l", dir.file("big.ico")}, listing)) {
    EXPECT_NE(listing.find("--width=256 --height=256"), std::string::npos) << listing;
    ASSERT_TRUE(test::RunCapture({"icotool", "-x", "-o", dir.file("out.png"), dir.file("big.ico")}, out));
    EXPECT_EQ(test::MaxDifference(test::PillowFrames(dir.file("out.png"))[0], test::PillowFrames(dir.file("big.png"))[0]), 0);
  }
  const std::vector<test::Rgba> pillow = test::PillowFrames(dir.file("big.ico"));
  ASSERT_EQ(pillow.size(), 1u);
  EXPECT_EQ(test::MaxDifference(pillow[0], test::PillowFrames(dir.file("big.png"))[0]), 0);

  // And we read it back as we wrote it.
  const test::ProgramRun back = test::RunProgram({"-i", "big.ico", "-o", "back.png"}, dir.path(), dir.path() + "/config");
  ASSERT_EQ(back.exitCode, 0) << back.output;
  EXPECT_EQ(test::MaxDifference(test::PillowFrames(dir.file("back.png"))[0], test::PillowFrames(dir.file("big.png"))[0]), 0);

  const test::ProgramRun over = test::RunProgram({"-i", "over.png", "-o", "over.ico"}, dir.path(), dir.path() + "/config");
  EXPECT_EQ(over.exitCode, 1);
}

TEST(IconRoundTripCli, SavingALoadedAnimatedCursorSettles) {
  test::TempDir dir;
  std::string out;
  if (!test::RunCapture({"convert", "-size", "32x32", "xc:none", "-fill", "blue", "-draw", "circle 16,16 8,8",
                         "(", "-size", "32x32", "xc:none", "-fill", "green", "-draw", "rectangle 4,4 20,20", ")",
                         "-set", "delay", "10", "-dispose", "background", dir.file("spin.gif")}, out))
    GTEST_SKIP() << "ImageMagick not available";
  const auto rounds = Rounds(dir, "spin.gif", "ani", 4);
  ASSERT_FALSE(rounds[1].empty());
  EXPECT_EQ(rounds[2], rounds[1]);
  EXPECT_EQ(rounds[3], rounds[1]);
}

}  // namespace
}  // namespace fw
