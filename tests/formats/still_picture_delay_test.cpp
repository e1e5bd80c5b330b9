// Every still picture, whatever made it, starts with the default delay: a frame of 0 would
// flash by in an animation built from pictures.
#include <gtest/gtest.h>

#include "core/preferences.h"
#include "format_peers.h"
#include "formats/file_dispatch.h"
#include "support/test_support.h"

namespace fw {
namespace {

TEST(StillPictureDelay, PicturesFromOtherToolsTakeTheDefaultDelay) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow is not installed";
  test::ScopedMessages messages;
  Prefs().write(pref::kDefaultDelay, 17);
  test::TempDir dir;
  static const char* kScript = R"(
import sys
from PIL import Image
d = sys.argv[1]
rgb = Image.new('RGB', (20, 12), (200, 40, 10))
rgb.save(d + '/rgb.png')
rgb.convert('P').save(d + '/palette.png')
Image.new('RGBA', (20, 12), (0, 0, 255, 128)).save(d + '/alpha.png')
rgb.save(d + '/photo.jpg')
rgb.save(d + '/picture.bmp')
Image.new('RGBA', (64, 64), (9, 9, 9, 255)).save(d + '/entries.ico', sizes=[(64, 64)])
)";
  std::string out;
  ASSERT_TRUE(test::RunCapture({"/usr/bin/python3", "-c", kScript, dir.path()}, out));
  for (const char* name : {"rgb.png", "palette.png", "alpha.png", "photo.jpg", "picture.bmp", "entries.ico"}) {
    SCOPED_TRACE(name);
    LoadResult r = LoadAnimationFile(dir.file(name));
    ASSERT_TRUE(r.document);
    ASSERT_GE(r.document->frameCount, 1);
    for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f)) EXPECT_EQ(f->delay, 17);
  }
}

}  // namespace
}  // namespace fw
