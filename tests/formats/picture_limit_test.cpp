// Pictures larger than a picture may be are refused before their pixels are made, with a
// message that names the numbers; smaller ones load as before.
#include <gtest/gtest.h>

#include "core/picture_limit.h"
#include "format_peers.h"
#include "formats/file_dispatch.h"
#include "support/test_support.h"

namespace fw {
namespace {

struct LimitScope {
  explicit LimitScope(int64_t pixels) { SetPicturePixelLimit(pixels); }
  ~LimitScope() { SetPicturePixelLimit(kDefaultPicturePixelLimit); }
};

TEST(PictureLimit, OversizedPicturesAreRefusedByEveryPictureReader) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  test::TempDir dir;
  static const char* kScript = R"(
import sys
from PIL import Image
d = sys.argv[1]
for w, h, name in ((40, 30, 'big'), (20, 10, 'small')):
    im = Image.new('RGB', (w, h), (10, 200, 30))
    im.save(f'{d}/{name}.png'); im.save(f'{d}/{name}.bmp'); im.save(f'{d}/{name}.jpg')
)";
  std::string out;
  ASSERT_TRUE(test::RunCapture({"/usr/bin/python3", "-c", kScript, dir.path()}, out));
  const LimitScope limit(1000);  // 40 x 30 = 1200 pixels is too many, 20 x 10 is not
  for (const char* type : {"png", "bmp", "jpg"}) {
    SCOPED_TRACE(type);
    test::ScopedMessages messages;
    const LoadResult big = LoadAnimationFile(dir.file(std::string("big.") + type));
    EXPECT_FALSE(big.document && big.document->frameCount > 0);
    ASSERT_FALSE(messages.sink.texts().empty());
    EXPECT_NE(messages.sink.texts().front().find("40 x 30"), std::string::npos) << messages.sink.texts().front();
    EXPECT_EQ(messages.sink.texts().size(), 1u);
    const LoadResult small = LoadAnimationFile(dir.file(std::string("small.") + type));
    ASSERT_TRUE(small.document);
    EXPECT_EQ(small.document->frameCount, 1);
  }
}

}  // namespace
}  // namespace fw
