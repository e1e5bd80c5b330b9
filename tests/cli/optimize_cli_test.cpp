// The built program's -z: a smaller file that shows the same animation.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "samples/sample_drawings.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

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

}  // namespace fw
