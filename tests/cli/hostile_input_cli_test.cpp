// A batch run given a small file that claims far more than it holds: the reader stops within its
// budget, the run says why and fails, and the frames read before the refusal are still written.
#include <gtest/gtest.h>

#include "cli/cli_support.h"
#include "gif/gif_reader.h"
#include "support/test_support.h"
#include "../formats/format_peers.h"

namespace fw {
namespace {

TEST(HostileInputCli, AnimatedCursorRepeatingOneCursorIsCutAtTheBudget) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  test::TempDir dir;
  // One 64 x 64 cursor made by Pillow, shown for 300,000 steps.
  static const char* kScript = R"(
import io, struct, sys
from PIL import Image
cursor = io.BytesIO()
Image.new('RGBA', (64, 64), (255, 0, 0, 255)).save(cursor, format='ICO', sizes=[(64, 64)])
icon = cursor.getvalue()
def chunk(kind, body):
    return kind + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')
steps = 300000
body = (b'ACON' + chunk(b'anih', struct.pack('<9I', 36, 1, steps, 64, 64, 32, 1, 1, 1))
        + b'LIST' + struct.pack('<I', 4 + 8 + len(icon)) + b'fram' + chunk(b'icon', icon)
        + chunk(b'seq ', bytes(4 * steps)))
open(sys.argv[1], 'wb').write(b'RIFF' + struct.pack('<I', len(body)) + body)
)";
  std::string out;
  ASSERT_TRUE(test::RunCapture({"/usr/bin/python3", "-c", kScript, dir.file("steps.ani")}, out)) << out;
  const test::ProgramRun run = test::RunProgram({"-i", "steps.ani", "-o", "out.gif"}, dir.path(), dir.path() + "/config");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("cannot fill"), std::string::npos) << run.output;
  const std::vector<uint8_t> gif = test::ReadBytes(dir.file("out.gif"));
  const ReadResult kept = ReadGifMemory(gif.data(), gif.size());
  ASSERT_TRUE(kept.document) << run.output;
  EXPECT_GT(kept.document->frameCount, 100);
  EXPECT_LT(kept.document->frameCount, 300000);
}

}  // namespace
}  // namespace fw
