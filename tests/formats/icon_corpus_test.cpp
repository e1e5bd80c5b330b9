// Icons and cursors of the shared corpus (skipped when it is absent): icotool's extractions
// and image-rs's renderings are the oracles; crash and bomb files must be refused or read
// safely.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/preferences.h"
#include "formats/format_peers.h"
#include "formats/icon_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

std::string IconCorpus(const std::string& sub) {
  const std::string root = test::CorpusDir();
  const std::string dir = root + "/ico/" + sub;
  return root.empty() || !fs::is_directory(dir) ? std::string() : dir;
}

// True when some frame of the document shows the same picture.
bool AnyFrameMatches(const AnimHeader& doc, const test::Rgba& picture, int tolerance) {
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (test::MaxDifference(test::FrameRgba(*f), picture) <= tolerance) return true;
  return false;
}

}  // namespace

TEST(IconCorpus, IcotoolMadeFilesMatchItsExtraction) {
  const std::string dir = IconCorpus("icotool-generated");
  if (dir.empty() || !test::HavePillow()) GTEST_SKIP() << "no corpus or Pillow";
  test::ScopedMessages messages;
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  LoadResult r = ReadIconFile(dir + "/mixed_png256_bmp32_bmp4.ico");
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 4);
  EXPECT_EQ(r.document->screenWidth, 256);
  const char* references[4] = {"1_16x16x32", "2_32x32x32", "3_48x48x4", "4_256x256x32"};
  for (int i = 0; i < 4; ++i) {
    const std::vector<test::Rgba> ref =
        test::PillowFrames(dir + "/reference/mixed_png256_bmp32_bmp4_" + references[i] + ".png");
    ASSERT_EQ(ref.size(), 1u);
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(r.document.get(), i)), ref[0]), 0) << references[i];
  }
  r = ReadIconFile(dir + "/cursor_32_hot3x5.cur");
  ASSERT_EQ(r.status, 1);
  const ImageBlock& cursor = *FirstImage(r.document.get());
  EXPECT_EQ(cursor.hotspotX, 3);
  EXPECT_EQ(cursor.hotspotY, 5);
  const std::vector<test::Rgba> ref = test::PillowFrames(dir + "/reference/cursor_32_hot3x5_1_32x32x32.png");
  ASSERT_EQ(ref.size(), 1u);
  EXPECT_EQ(test::MaxDifference(test::FrameRgba(cursor), ref[0]), 0);
}

TEST(IconCorpus, ImageRsRenderingsAreAmongOurFrames) {
  const std::string dir = IconCorpus("image-rs");
  if (dir.empty() || !test::HavePillow()) GTEST_SKIP() << "no corpus or Pillow";
  test::ScopedMessages messages;
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  int checked = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir + "/reference")) {
    if (!e.is_regular_file()) continue;
    const std::string ref = e.path().string();
    const std::string name = e.path().filename().string();
    const std::string icon = dir + "/images/ico/images/" + name.substr(0, name.size() - 4);
    if (!fs::exists(icon)) continue;
    LoadResult r = ReadIconFile(icon);
    ASSERT_EQ(r.status, 1) << icon;
    const std::vector<test::Rgba> picture = test::PillowFrames(ref);
    ASSERT_EQ(picture.size(), 1u);
    EXPECT_TRUE(AnyFrameMatches(*r.document, picture[0], 0)) << icon;
    ++checked;
  }
  EXPECT_GE(checked, 8);
}

TEST(IconCorpus, EveryFileLoadsOrIsRefusedCleanly) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/ico")) GTEST_SKIP() << "no corpus";
  test::ScopedMessages messages;
  int loaded = 0, refused = 0;
  for (const auto& e : fs::recursive_directory_iterator(root + "/ico")) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".ico" && ext != ".cur")) continue;
    LoadResult r = ReadIconFile(e.path().string());
    if (r.status == 1) {
      ++loaded;
      EXPECT_GT(r.document->frameCount, 0) << e.path();
      for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f)) {
        EXPECT_LE(f->width, r.document->screenWidth) << e.path();
        EXPECT_LE(f->height, r.document->screenHeight) << e.path();
      }
    } else {
      ++refused;
      EXPECT_FALSE(messages.sink.entries.empty()) << e.path();
    }
    messages.sink.clear();
  }
  EXPECT_GT(loaded, 20);
  EXPECT_GE(refused, 1);  // no_cursors.cur has no images at all

  // Pillow's own icon: a 256 PNG entry and four 32-bit DIBs.
  LoadResult r = ReadIconFile(root + "/ico/pillow/pillow.ico");
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(r.document->frameCount, 5);
  EXPECT_EQ(r.document->screenWidth, 256);
}

}  // namespace fw
