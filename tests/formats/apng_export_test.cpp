// Animations as other tools make them, saved as APNG through the ordinary load and save flow:
// every frame FFmpeg and apngdis decode must be exactly what our compositor shows.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/file_dispatch.h"
#include "formats/format_peers.h"
#include "formats/save_document.h"
#include "support/test_support.h"

namespace fw {
namespace {

struct Source {
  const char* name;
  std::vector<std::string> make;  // the command that writes it, its path last
};

TEST(ApngExport, AnimationsOtherToolsMakeArePlayedAsOurCompositorShowsThem) {
  if (!test::HaveFfmpeg() || !test::HavePillow()) GTEST_SKIP() << "FFmpeg or Pillow not available";
  std::string out;
  if (!test::RunCapture({"convert", "-version"}, out)) GTEST_SKIP() << "ImageMagick not available";
  test::TempDir dir;
  // ImageMagick keeps a palette per frame when the frames' colours differ; FFmpeg's GIF
  // encoder stores later frames as transparent differences over an opaque first frame;
  // the PNG strip is true colour with partial alpha.
  const std::vector<Source> sources = {
      {"local.gif",
       {"convert", "-delay", "7", "-size", "24x16", "gradient:red-yellow", "gradient:blue-lime", "(", "-size", "10x6",
        "plasma:fractal", "-seed", "3", "-repage", "+5+4", ")", "-dispose", "none", dir.file("local.gif")}},
      {"ffmpeg.gif",
       {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=10", "-t", "0.5", "-y",
        dir.file("ffmpeg.gif")}},
      {"truecolour.png",
       {"convert", "-size", "20x12", "gradient:#ff000080-#0000ffff", "-depth", "8", dir.file("truecolour.png")}},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(s.name);
    ASSERT_TRUE(test::RunCapture(s.make, out));
    test::ScopedMessages messages;
    LoadResult r = LoadAnimationFile(dir.file(s.name));
    ASSERT_TRUE(r.document) << testing::PrintToString(messages.sink.texts());
    if (std::string(s.name) == "local.gif") {
      ASSERT_TRUE(ImageAt(r.document.get(), 2)->localPalette);
    } else if (std::string(s.name) == "ffmpeg.gif") {
      ASSERT_FALSE(FirstImage(r.document.get())->transparent());
      ASSERT_TRUE(ImageAt(r.document.get(), 1)->transparent());
    }
    const std::string apng = dir.file(std::string(s.name) + ".png");
    ASSERT_TRUE(SaveDocumentAs(apng, *r.document)) << testing::PrintToString(messages.sink.texts());
    EXPECT_TRUE(messages.sink.texts().empty()) << testing::PrintToString(messages.sink.texts());
    std::cout << "[ size     ] " << s.name << ": " << std::filesystem::file_size(dir.file(s.name)) << " bytes, APNG "
              << std::filesystem::file_size(apng) << " bytes, " << r.document->frameCount << " frames\n";

    const std::vector<test::Rgba> expected = test::CompositorPictures(*r.document);
    ASSERT_EQ(static_cast<int>(expected.size()), r.document->frameCount);
    const std::vector<test::Rgba> played = test::FfmpegFrames(apng, r.document->screenWidth, r.document->screenHeight);
    ASSERT_EQ(played.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(test::MaxDifference(played[i], expected[i]), 0) << "FFmpeg frame " << i;
    if (test::HaveApngdis() && r.document->frameCount > 1) {
      const std::vector<test::Rgba> disassembled = test::ApngdisFrames(apng, dir.path());
      ASSERT_EQ(disassembled.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(test::MaxDifference(disassembled[i], expected[i]), 0) << "apngdis frame " << i;
    }
  }
}

}  // namespace
}  // namespace fw
