#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "support/test_support.h"

namespace fw {

TEST(BatchCli, MergesSamplesAndWritesGif) {
  test::TempDir dir;
  const test::ProgramRun run =
      test::RunProgram({"-i", std::string(FW_SAMPLES_DIR) + "/*.gif", "-t", "5", "-o", "out.gif"}, dir.path(), dir.path());
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

}  // namespace fw
