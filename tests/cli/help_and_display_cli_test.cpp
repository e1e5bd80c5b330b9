// The program explains itself: usage and version on request, and a clear word instead of an
// abort when the display it was given cannot be opened.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "cli_support.h"
#include "support/test_support.h"

namespace fw {
namespace {

test::ProgramRun Framewright(const std::vector<std::string>& args) {
  test::TempDir dir;
  return test::RunProgram(args, dir.path(), dir.path());
}

TEST(HelpCli, UsageListsEveryFlagAndVersionAnswers) {
  for (const char* flag : {"--help", "-h"}) {
    SCOPED_TRACE(flag);
    const test::ProgramRun run = Framewright({flag});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* item : {"-i FILES", "-l LIST", "-t DELAY", "-z", "-s SIZE", "-o OUTPUT", "Exit status", "--version"})
      EXPECT_NE(run.output.find(item), std::string::npos) << item;
  }
  const test::ProgramRun version = Framewright({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output.rfind("Framewright ", 0), 0u) << version.output;
  // Other spellings are still malformed command lines.
  const test::ProgramRun other = Framewright({"--helpme"});
  EXPECT_EQ(other.exitCode, 2);
  EXPECT_NE(other.output.find("Unrecognized flag"), std::string::npos) << other.output;
}

TEST(DisplayCli, AnUnreachableDisplayIsReportedNotAborted) {
  // A display number nobody serves; the child inherits the environment.
  const char* saved = std::getenv("DISPLAY");
  const std::string previous = saved ? saved : "";
  ::setenv("DISPLAY", ":97531", 1);
  ::unsetenv("QT_QPA_PLATFORM");
  ::unsetenv("WAYLAND_DISPLAY");
  const test::ProgramRun run = Framewright({});
  if (saved) ::setenv("DISPLAY", previous.c_str(), 1);
  else ::unsetenv("DISPLAY");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot open the display \":97531\""), std::string::npos) << run.output;
}

}  // namespace
}  // namespace fw
