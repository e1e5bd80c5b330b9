// Save for size on animations another program made: every target is met by a real file that
// Pillow and giflib read, the quality falls as the target shrinks, and the planner's parts
// (dropped frames keep the running time, the quality measure) hold on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/byte_size.h"
#include "format_peers.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "imaging/display_psnr.h"
#include "imaging/optimize.h"
#include "imaging/size_plan.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

int64_t RunningTime(const AnimHeader& doc) {
  int64_t total = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) total += f->delay;
  return total;
}

// A moving test picture with many colours, as a screen or camera recording has them.
// The source must end by itself: the palette is made from the whole clip.
AnimPtr Clip(const test::TempDir& dir, const char* source) {
  const std::string path = dir.file("clip.gif");
  const std::string command = std::string("ffmpeg -v error -y -f lavfi -i ") + source +
                              " -vf \"split[a][b];[a]palettegen[p];[b][p]paletteuse=dither=bayer\" " + path;
  if (std::system(command.c_str()) != 0) return nullptr;
  ReadResult r = ReadGifPath(path);
  return r.status == 1 ? std::move(r.document) : nullptr;
}

TEST(SizePlan, EveryTargetIsMetByAFileOthersRead) {
  if (!test::HaveFfmpeg() || !test::HavePillow()) GTEST_SKIP() << "ffmpeg or Pillow missing";
  test::TempDir dir;
  test::ScopedMessages quiet;
  AnimPtr doc = Clip(dir, "testsrc2=size=160x120:rate=10:duration=4");
  ASSERT_TRUE(doc);
  AnimPtr optimized = CopyAnimation(*doc, nullptr);
  Optimize(*optimized, optimize_bit::kDefault, nullptr);
  const int64_t base = EncodedSize(optimized.get(), true, nullptr);

  double previous = kIdenticalPsnr + 1;
  for (int percent : {50, 20, 5}) {
    SCOPED_TRACE(percent);
    const int64_t target = base * percent / 100;
    SizePlan plan = PlanForSize(*doc, target, nullptr);
    ASSERT_EQ(plan.outcome, SizePlan::kFits);
    const std::string path = dir.file("fit" + std::to_string(percent) + ".gif");
    ASSERT_EQ(WriteGifFile(path, *plan.document, nullptr), 1);
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    EXPECT_LE(static_cast<int64_t>(bytes.size()), target);
    EXPECT_LE(plan.chosen.bytes, target);
    // Others read what was written, every frame of it, and it plays as long as the original.
    const test::PeerGif peer = test::GiflibDecode(bytes);
    ASSERT_TRUE(peer.ok) << peer.error;
    EXPECT_EQ(static_cast<int>(peer.frames.size()), plan.document->frameCount);
    std::vector<int> durations;
    const std::vector<test::Rgba> pillow = test::PillowFrames(path, &durations);
    EXPECT_FALSE(pillow.empty());
    EXPECT_EQ(RunningTime(*plan.document), RunningTime(*doc));
    // The quality reported is the one measured on the result, and it falls with the target.
    EXPECT_NEAR(plan.chosen.psnr, DisplayedPsnr(*doc, *plan.document), 1e-9);
    EXPECT_LE(plan.chosen.psnr, previous);
    previous = plan.chosen.psnr;
    std::printf("[ size plan ] %d%% of %lld: %lld bytes, %s, PSNR %.2f dB, %zu candidates\n", percent,
                static_cast<long long>(base), static_cast<long long>(plan.chosen.bytes),
                DescribeSizeSettings(plan.chosen.settings).c_str(), plan.chosen.psnr, plan.tried.size());
  }
}

TEST(SizePlan, ATargetNothingMeetsIsSaidSo) {
  AnimPtr doc = test::NewDocument(64, 48, 64);
  for (int i = 0; i < 4; ++i) test::AddFrame(*doc, 0, 0, 64, 48, [i](int x, int y) { return (x * y + i) % 64; });
  SizePlan plan = PlanForSize(*doc, 20, nullptr);
  EXPECT_EQ(plan.outcome, SizePlan::kNothingFits);
  EXPECT_FALSE(plan.document);
  EXPECT_GT(plan.smallest, 20);
  EXPECT_FALSE(plan.tried.empty());
  // One that the optimizer alone meets keeps every picture.
  SizePlan easy = PlanForSize(*doc, 1 << 20, nullptr);
  ASSERT_EQ(easy.outcome, SizePlan::kFits);
  EXPECT_EQ(easy.chosen.settings, SizeSettings{});
  EXPECT_EQ(easy.chosen.psnr, kIdenticalPsnr);
  EXPECT_EQ(easy.tried.size(), 1u);
}

TEST(SizePlan, DroppedFramesKeepTheRunningTimeAndAreJudgedByWhatIsOnShow) {
  AnimPtr doc = test::NewDocument(8, 8, 16);
  const int delays[] = {3, 5, 7, 11, 13};
  for (int i = 0; i < 5; ++i) test::AddFrame(*doc, 0, 0, 8, 8, [i](int, int) { return i; }).delay = delays[i];
  AnimPtr halves = ShapeForSize(*doc, SizeSettings{0, 2, 100}, nullptr);
  ASSERT_TRUE(halves);
  ASSERT_EQ(halves->frameCount, 3);  // frames 1, 3 and 5
  EXPECT_EQ(ImageAt(halves.get(), 0)->delay, 8);
  EXPECT_EQ(ImageAt(halves.get(), 1)->delay, 18);
  EXPECT_EQ(ImageAt(halves.get(), 2)->delay, 13);
  AnimPtr thirds = ShapeForSize(*doc, SizeSettings{0, 3, 100}, nullptr);
  ASSERT_EQ(thirds->frameCount, 2);  // frames 1 and 4
  EXPECT_EQ(ImageAt(thirds.get(), 0)->delay, 15);
  EXPECT_EQ(RunningTime(*thirds), RunningTime(*doc));

  EXPECT_EQ(DisplayedPsnr(*doc, *doc), kIdenticalPsnr);
  // Frames 2 and 4 now show 1 and 3: two pictures in five wrong by one ramp step.
  auto distance = [&doc](int i, int j) {
    const Rgb a = (*doc->globalPalette)[i], b = (*doc->globalPalette)[j];
    return double((a.r - b.r) * (a.r - b.r) + (a.g - b.g) * (a.g - b.g) + (a.b - b.b) * (a.b - b.b));
  };
  const double mse = (distance(0, 1) + distance(2, 3)) / (5 * 3);
  EXPECT_NEAR(DisplayedPsnr(*doc, *halves), 10 * std::log10(255.0 * 255.0 / mse), 1e-6);
  // Scaled down and back, a flat picture stays flat.
  AnimPtr small = ShapeForSize(*doc, SizeSettings{0, 1, 50}, nullptr);
  ASSERT_TRUE(small);
  EXPECT_EQ(small->screenWidth, 4);
  EXPECT_EQ(DisplayedPsnr(*doc, *small), kIdenticalPsnr);
}

TEST(ByteSize, SuffixesCountInBinaryThousands) {
  EXPECT_EQ(ParseByteSize("500K"), 512000);
  EXPECT_EQ(ParseByteSize("500k"), 512000);
  EXPECT_EQ(ParseByteSize(" 2M "), 2097152);
  EXPECT_EQ(ParseByteSize("1.5M"), 1572864);
  EXPECT_EQ(ParseByteSize("300000"), 300000);
  EXPECT_EQ(ParseByteSize("64KB"), 65536);
  for (const char* bad : {"", "K", "-5K", "0", "0.0001K", "5G", "1e6", "5 K", "1.2.3", "99999999999999M"})
    EXPECT_EQ(ParseByteSize(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace fw
