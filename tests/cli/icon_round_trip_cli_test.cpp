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
      !test::RunCapture({"convert", "-size", "24x24", "plasma:", "-colors", "16", dir.file("plasma.png")}, out) ||
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
