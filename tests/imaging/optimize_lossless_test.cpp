// The optimizer's promise, checked over a set of animations: what a viewer sees, at every
// moment, and the total running time stay the same. The set holds our own drawings, hand-made
// animations with every disposal, transparency, local palettes and offsets, generated random
// ones, and animations made at test time by ImageMagick, gifsicle and FFmpeg where installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>

#include "colour_test_util.h"
#include "core/random_animation.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "imaging/optimize_backup.h"
#include "imaging/optimize_lzw.h"
#include "imaging/optimize_palette.h"
#include "imaging/transforms.h"
#include "samples/sample_drawings.h"

namespace fw {
namespace {

using namespace optimize_bit;

struct Case {
  std::string name;
  AnimPtr doc;
  bool read = false;  // from a file, not drawn here
};

bool HasLocalPalettes(const AnimHeader& doc) {
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (f->localPalette) return true;
  return false;
}

// Small frames at offsets with every disposal method, transparency and a local palette.
AnimPtr EveryDisposal(int seed, bool withLocal) {
  AnimPtr doc = test::NewDocument(24, 18, 32);
  doc->backgroundIndex = 5;
  for (int i = 0; i < 12; ++i) {
    const int w = 6 + (i * 5 + seed) % 12, h = 4 + (i * 3 + seed) % 10;
    ImageBlock& f = test::AddFrame(*doc, (i * 7 + seed) % (24 - w + 1), (i * 5) % (18 - h + 1), w, h,
                                   [&](int x, int y) { return (x * y + i + seed) % 7 == 0 ? 0 : 1 + (x / 3 + y / 2 + i) % 12; });
    f.delay = 3 + i % 4;
    if ((i + seed) % 3 != 0) test::MakeTransparent(f, 0);
    SetDisposal(f, (i + seed) % 4);
    if (withLocal && i % 5 == 2)
      test::GiveLocalPalette(f, test::MakePalette({{9, 9, 9}, {250, 0, 0}, {0, 250, 0}, {0, 0, 250}, {1, 2, 3},
                                                   {7, 7, 0}, {200, 100, 0}, {3, 3, 3}, {0, 9, 9}, {6, 0, 6},
                                                   {90, 90, 90}, {100, 0, 50}, {20, 40, 60}}));
  }
  return doc;
}

// Full-screen frames that mostly repeat the one before: what an unoptimized file looks like.
AnimPtr Repeating() {
  AnimPtr doc = test::NewDocument(30, 20, 64);
  for (int i = 0; i < 10; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 30, 20, [i](int x, int y) {
      const bool moving = x >= i * 2 && x < i * 2 + 5 && y >= 5 && y < 12;
      return moving ? 40 + i % 3 : (x / 6 + y / 5) % 8;
    });
    f.delay = i == 4 ? 0 : 8;
  }
  // Two frames that change nothing at all.
  test::AddFrame(*doc, 0, 0, 30, 20, [](int x, int y) { return (x / 6 + y / 5) % 8; }).delay = 8;
  test::AddFrame(*doc, 0, 0, 30, 20, [](int x, int y) { return (x / 6 + y / 5) % 8; }).delay = 9;
  return doc;
}

// Restores of the background and of the previous picture in hostile mixes: the next frame
// covering a restored rectangle only with holes, or restoring the previous picture itself,
// the last frame followed (when looping) by a first frame with holes, partial frames among
// full ones. Most pixels repeat the screen, so the crop has something to take.
AnimPtr RestoreHeavy(uint32_t seed) {
  std::mt19937 random(seed);
  AnimPtr doc = test::NewDocument(20, 14, 16);
  doc->backgroundIndex = 3;
  const int frames = 8 + static_cast<int>(seed % 5);
  for (int i = 0; i < frames; ++i) {
    const bool full = random() % 3 != 0;
    const int w = full ? 20 : 4 + static_cast<int>(random() % 16), h = full ? 14 : 3 + static_cast<int>(random() % 11);
    const int x = full ? 0 : static_cast<int>(random() % (20 - w + 1)), y = full ? 0 : static_cast<int>(random() % (14 - h + 1));
    const int holes = static_cast<int>(random() % 3);
    const int shift = static_cast<int>(random() % 2);
    ImageBlock& f = test::AddFrame(*doc, x, y, w, h, [=](int px, int py) {
      if (holes && (px * 7 + py * 3 + i) % (holes == 1 ? 11 : 3) == 0) return 0;
      return 1 + ((px + x) / 5 + (py + y) / 4 + shift) % 6;
    });
    if (holes) test::MakeTransparent(f, 0);
    const uint32_t pick = random() % 8;
    SetDisposal(f, pick == 0 ? kDisposalPrevious : pick == 1 ? kDisposalLeave : pick == 2 ? kDisposalNone : kDisposalBackground);
    f.delay = 2 + static_cast<int>(random() % 5);
  }
  return doc;
}

// Every frame as the viewer shows it, each restoring the background when it ends: how some
// screen recorders write.
AnimPtr FullFramesRestoringBackground(const AnimHeader& doc) {
  AnimPtr full = CopyAnimation(doc, nullptr);
  if (!full || Unoptimize(*full, nullptr) <= 0) return nullptr;
  for (ImageBlock* f = FirstImage(full.get()); f; f = NextImage(f)) SetDisposal(*f, kDisposalBackground);
  return full;
}

std::vector<Case> OwnAnimations() {
  std::vector<Case> cases;
  cases.push_back({"bouncing ball", samples::BouncingBall()});
  cases.push_back({"spinner", samples::Spinner()});
  cases.push_back({"interlaced", samples::InterlacedPicture()});
  cases.push_back({"commented", samples::CommentedAnimation()});
  cases.push_back({"video clip", samples::VideoClip(64, 48, 12)});
  cases.push_back({"screen capture", samples::ScreenCapture(640, 400, 6)});
  cases.push_back({"sprite", samples::Sprite(40, 40, 12)});
  cases.push_back({"repeating", Repeating()});
  for (int seed = 0; seed < 4; ++seed) {
    cases.push_back({"every disposal " + std::to_string(seed), EveryDisposal(seed, false)});
    cases.push_back({"every disposal with local palettes " + std::to_string(seed), EveryDisposal(seed, true)});
  }
  for (uint32_t seed = 1; seed <= 12; ++seed) cases.push_back({"restore heavy " + std::to_string(seed), RestoreHeavy(seed)});
  cases.push_back({"screen capture as full frames restoring the background",
                   FullFramesRestoringBackground(*samples::ScreenCapture(160, 100, 6))});
  for (uint32_t seed = 1; seed <= 24; ++seed) {
    test::Shape shape;
    shape.frames = 5 + static_cast<int>(seed % 7);
    shape.localPalettes = seed % 3 != 0;
    shape.screenWidth = 12 + static_cast<int>(seed % 17);
    shape.screenHeight = 9 + static_cast<int>(seed % 11);
    cases.push_back({"random " + std::to_string(seed), test::RandomAnimation(seed, shape)});
  }
  return cases;
}

bool Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

// Each entry: the tool it needs, then the file it makes and the command making it.
struct PeerFile {
  const char* tool;
  const char* name;
  const char* command;
};

const PeerFile kPeerFiles[] = {
    {"/usr/bin/convert", "im_optimized.gif",
     "/usr/bin/convert -size 64x48 -delay 7 xc:none ( +clone -fill red -draw 'circle 20,20 28,20' ) "
     "( +clone -fill blue -draw 'rectangle 30,10 50,30' ) ( +clone -fill green -draw 'circle 40,30 44,34' ) "
     "-loop 0 -layers optimize {}"},
    {"/usr/bin/convert", "im_local.gif",
     "/usr/bin/convert rose: -delay 10 ( +clone -modulate 100,100,50 ) ( +clone -modulate 100,100,150 ) "
     "( +clone -flop ) {}"},
    {"/usr/bin/convert", "im_previous.gif",
     "/usr/bin/convert rose: -delay 10 ( +clone -modulate 100,100,50 ) ( +clone -modulate 100,100,150 ) +map "
     "-dispose previous -layers optimize {}"},
    {"/usr/bin/convert", "im_background.gif",
     "/usr/bin/convert -delay 5 -dispose background -size 50x40 xc:white ( -size 10x10 xc:red -repage +5+5 ) "
     "( -size 12x8 xc:blue -repage +30+20 ) ( -size 6x6 xc:none -fill black -draw 'point 3,3' -repage +20+10 ) {}"},
    {"/usr/bin/ffmpeg", "ff_global.gif",
     "/usr/bin/ffmpeg -v error -f lavfi -i testsrc2=s=64x48:r=10:d=1 "
     "-vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' -y {}"},
    {"/usr/bin/ffmpeg", "ff_local.gif",
     "/usr/bin/ffmpeg -v error -f lavfi -i testsrc2=s=64x48:r=10:d=1 "
     "-vf 'split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1' -y {}"},
    {"/usr/bin/ffmpeg", "ff_alpha.gif",
     "/usr/bin/ffmpeg -v error -f lavfi -t 1.5 "
     "-i 'life=s=48x32:r=8:seed=7:mold=10:death_color=#00000000:life_color=#ff8000,format=rgba' "
     "-vf 'split[a][b];[a]palettegen=reserve_transparent=1[p];[b][p]paletteuse=alpha_threshold=128' -y {}"},
    {"/usr/bin/gifsicle", "gs_o3.gif", "/usr/bin/gifsicle -O3 --colors 64 im_local.gif -o {}"},
    {"/usr/bin/gifsicle", "gs_unoptimized.gif", "/usr/bin/gifsicle --unoptimize im_optimized.gif -o {}"},
    {"/usr/bin/gifsicle", "gs_merged.gif", "/usr/bin/gifsicle --merge im_background.gif ff_alpha.gif -o {}"},
    {"/usr/bin/gifsicle", "gs_disposal.gif", "/usr/bin/gifsicle -O2 --disposal previous ff_global.gif -o {}"},
    {"/usr/bin/gifsicle", "gs_full_background.gif",
     "/usr/bin/gifsicle --unoptimize --disposal background ff_global.gif -o {}"},
    {"/usr/bin/gifsicle", "gs_sprite_background.gif",
     "/usr/bin/gifsicle --unoptimize --disposal background im_optimized.gif -o {}"},
    {"/usr/bin/convert", "im_full_background.gif",
     "/usr/bin/convert -dispose background -delay 8 rose: ( +clone -modulate 100,100,50 ) ( +clone -flop ) "
     "( +clone -roll +5+0 ) +map {}"},
};

// The files the installed peers make, made once per test run; the others are left out.
const std::vector<std::pair<std::string, std::vector<uint8_t>>>& PeerFiles() {
  static const auto files = [] {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> made;
    test::TempDir dir;
    for (const PeerFile& p : kPeerFiles) {
      if (!std::filesystem::exists(p.tool)) continue;
      std::string command = p.command;
      command.replace(command.find("{}"), 2, "'" + dir.file(p.name) + "'");
      // Parentheses are ImageMagick's own grouping, not the shell's.
      for (size_t at = 0; (at = command.find_first_of("()", at)) != std::string::npos; at += 2) command.insert(at, "\\");
      if (!Shell("cd '" + dir.path() + "' && timeout 60 " + command)) {
        ADD_FAILURE() << "could not make " << p.name;
        continue;
      }
      made.emplace_back(p.name, test::ReadBytes(dir.file(p.name)));
    }
    return made;
  }();
  return files;
}

std::vector<Case> PeerAnimations() {
  std::vector<Case> cases;
  for (const auto& [name, bytes] : PeerFiles()) {
    ReadResult read = ReadGifMemory(bytes.data(), bytes.size(), {.keepDataAsRead = true});
    if (read.status != kReadComplete || !read.document) {
      ADD_FAILURE() << "could not read " << name;
      continue;
    }
    cases.push_back({name, std::move(read.document), true});
  }
  return cases;
}

// Colours may change only where the options allow it: a new adaptive or mapped palette for
// local palettes that do not fit the global one.
bool MayApproximate(const AnimHeader& doc, uint32_t options) {
  return (options & kRemoveLocalPalettes) && (options & (kMapIntoGlobal | kAdaptiveGlobal)) && HasLocalPalettes(doc) &&
         !LocalPalettesFoldExactly(doc);
}

AnimPtr WrittenAndReadBack(AnimHeader& doc) {
  MemorySink sink;
  EXPECT_EQ(WriteGifStream(sink, doc, nullptr), 1);
  ReadResult read = ReadGifMemory(sink.bytes.data(), sink.bytes.size());
  EXPECT_EQ(read.status, kReadComplete);
  return std::move(read.document);
}

const uint32_t kOptionWords[] = {kDefault,
                                 kDefault & ~kAdaptiveGlobal,  // lossless merge of local palettes
                                 kDefault | kMapIntoGlobal,
                                 0,
                                 kCrop,
                                 kCrop | kTransparency,
                                 kCrop | kRemoveFrames,
                                 kShrinkPalettes,
                                 kRemoveLocalPalettes | kShrinkPalettes};

void CheckOptimizer(const Case& c) {
  SCOPED_TRACE(c.name);
  const AnimHeader& original = *c.doc;
  if (!HasLocalPalettes(original)) {
    ASSERT_EQ(test::CompositorDisagreement(original), "");
  }
  const test::ComposedTimeline before = test::ComposeTimeline(original);
  for (uint32_t options : kOptionWords) {
    SCOPED_TRACE("options " + std::to_string(options));
    AnimPtr copy = CopyAnimation(original, nullptr);
    ASSERT_TRUE(copy);
    Optimize(*copy, options, nullptr);
    const test::ComposedTimeline after = test::ComposeTimeline(*copy);
    if (MayApproximate(original, options)) {
      EXPECT_EQ(after.totalTime(), before.totalTime());
      EXPECT_FALSE(HasLocalPalettes(*copy));
    } else {
      ASSERT_EQ(test::TimelineDifference(before, after), "");
    }
    for (const ImageBlock* f = FirstImage(copy.get()); f; f = NextImage(f)) {
      ASSERT_TRUE(f->left >= 0 && f->top >= 0 && f->left + f->width <= copy->screenWidth &&
                  f->top + f->height <= copy->screenHeight);
      ASSERT_EQ(f->indexedImage->width, f->width);
      ASSERT_EQ(f->activePalette, f->localPalette ? f->localPalette.get() : copy->globalPalette.get());
    }
    // What is saved shows the same as what was optimized.
    AnimPtr back = WrittenAndReadBack(*copy);
    ASSERT_TRUE(back);
    if (back->frameCount == 1) back->playCount = copy->playCount;  // a still picture stores no loop
    EXPECT_EQ(test::TimelineDifference(after, test::ComposeTimeline(*back)), "");
    if (!HasLocalPalettes(*copy)) {
      EXPECT_EQ(test::CompositorDisagreement(*copy), "");
    }
  }
  // Without the palette steps and frame removal, frame i stays frame i: none may grow.
  {
    AnimPtr copy = CopyAnimation(original, nullptr);
    Optimize(*copy, kCrop | kTransparency, nullptr);
    const ImageBlock* before = FirstImage(&original);
    for (const ImageBlock* f = FirstImage(copy.get()); f && before; f = NextImage(f), before = NextImage(before))
      EXPECT_LE(FrameEncodedSize(*f), FrameEncodedSize(*before)) << "frame " << IndexOfImage(copy.get(), f);
  }
  // The input kept in case the result is no smaller gives back the very document, whatever the
  // optimizer did meanwhile, from the file's own data where frames are as read, and once asked,
  // the size Save gives it (lent by the frames the optimizer left alone, or encoded).
  for (const uint32_t options : {0u, kDefault}) {
    AnimPtr work = CopyAnimation(original, nullptr);
    OptimizeBackup backup(*work);
    ASSERT_TRUE(backup.kept());
    EXPECT_EQ(backup.keepsDataAsRead(), c.read);
    Optimize(*work, options, nullptr);
    ASSERT_TRUE(backup.encodeDataAsRead(*work));
    AnimPtr input = CopyAnimation(original, nullptr);
    EXPECT_EQ(backup.encodedSize(), EncodedSize(input.get(), true, nullptr)) << options;
  }
  {
    AnimPtr work = CopyAnimation(original, nullptr);
    OptimizeBackup backup(*work);
    Optimize(*work, kDefault, nullptr);
    ASSERT_TRUE(backup.putBack(*work));
    EXPECT_EQ(test::DocumentDifference(*work, original), "");
    EXPECT_EQ(LzwStreamChoices(*work), LzwStreamChoices(original));
  }
  // Never a larger file, with the options the command line and the dialog start from; the
  // size reckoned from what the run measured is what encoding the result gives.
  for (uint32_t options : {kDefault, kLosslessDefault, kDefault & ~kKeepFullLzwTables}) {
    AnimPtr copy = CopyAnimation(original, nullptr);
    AnimPtr input = CopyAnimation(original, nullptr);
    const OptimizeOutcome run = OptimizeNeverLarger(*copy, options, nullptr);
    const int32_t size = EncodedSize(copy.get(), true, nullptr);
    EXPECT_LE(size, EncodedSize(input.get(), true, nullptr)) << options;
    EXPECT_EQ(EncodedSizeMeasured(copy.get(), run.measured, nullptr), size) << options;
  }
}

class OptimizeLossless : public ::testing::Test {
 protected:
  test::ScopedMessages messages_;
};

}  // namespace

TEST_F(OptimizeLossless, OwnAnimationsLookTheSameAfterwards) {
  for (const Case& c : OwnAnimations()) CheckOptimizer(c);
  EXPECT_TRUE(messages_.ids().empty());
}

TEST_F(OptimizeLossless, PeerMadeAnimationsLookTheSameAfterwards) {
  const std::vector<Case> cases = PeerAnimations();
  if (cases.empty()) GTEST_SKIP() << "none of ImageMagick, FFmpeg and gifsicle is installed";
  for (const Case& c : cases) CheckOptimizer(c);
  EXPECT_TRUE(messages_.ids().empty());
}

// Re-optimizing what Unoptimize made: the everyday round trip of editing an animation.
TEST_F(OptimizeLossless, UnoptimizedAnimationsOptimizeBackToTheSamePicture) {
  for (const Case& c : OwnAnimations()) {
    if (HasLocalPalettes(*c.doc)) continue;
    AnimPtr full = CopyAnimation(*c.doc, nullptr);
    ASSERT_GT(Unoptimize(*full, nullptr), 0) << c.name;
    CheckOptimizer(Case{c.name + " unoptimized", std::move(full)});
  }
}

}  // namespace fw
