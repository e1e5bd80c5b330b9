// Conformance over the shared corpus (skipped when it is absent): each set's own oracle from
// its SOURCE.txt, with Pillow decoding the reference pictures.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/message_sink.h"
#include "formats/bmp_file.h"
#include "formats/format_messages.h"
#include "formats/format_peers.h"
#include "formats/jpeg_file.h"
#include "formats/pal_file.h"
#include "formats/png_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

std::string Corpus(const std::string& sub) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/" + sub)) return {};
  return root + "/" + sub;
}

std::vector<std::string> FilesUnder(const std::string& dir, const std::string& ending) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && e.path().string().size() >= ending.size() &&
        e.path().string().compare(e.path().string().size() - ending.size(), ending.size(), ending) == 0)
      files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

#define NEED_CORPUS(dir)                                      \
  const std::string dir##Path = Corpus(#dir);                 \
  if (dir##Path.empty()) GTEST_SKIP() << "no corpus " #dir;   \
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available"

// Our frame as a viewer of the picture sees it.
test::Rgba Shown(const AnimHeader& doc) { return test::FrameRgba(*FirstImage(&doc)); }

TEST(CorpusBmp, BmpsuiteGoodFilesMatchTheirRenderings) {
  const std::string dir = Corpus("bmp/bmpsuite");
  if (dir.empty()) GTEST_SKIP() << "no bmpsuite";
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  std::ifstream index(dir + "/EXPECTED.tsv");
  std::string line;
  std::getline(index, line);
  std::vector<std::string> files, references;
  while (std::getline(index, line)) {
    std::istringstream fields(line);
    std::string file, version, refs;
    std::getline(fields, file, '\t');
    std::getline(fields, version, '\t');
    std::getline(fields, refs, '\t');
    if (file.rfind("g/", 0) != 0) continue;
    // Where several renderings are acceptable, each is tried.
    std::istringstream names(refs);
    for (std::string ref; names >> ref;) {
      files.push_back(file);
      references.push_back(dir + "/html/" + ref);
    }
  }
  ASSERT_FALSE(files.empty());
  const auto peers = test::PillowDecodeAll(references, true);
  std::map<std::string, int> bestDifference;
  // What we refuse on purpose: run-length data.
  const std::vector<std::string> refused = {"g/pal4rle.bmp", "g/pal8rle.bmp"};
  for (size_t i = 0; i < files.size(); ++i) {
    test::ScopedMessages messages;
    LoadResult r = ReadBmpFile(dir + "/" + files[i]);
    if (std::find(refused.begin(), refused.end(), files[i]) != refused.end()) {
      EXPECT_EQ(r.status, 0) << files[i];
      ASSERT_EQ(messages.ids().size(), 1u) << files[i];
      EXPECT_TRUE(messages.ids()[0] == fmsg::kImageTypeUnsupported || messages.ids()[0] == fmsg::kBmpRunLength);
      continue;
    }
    ASSERT_EQ(r.status, 1) << files[i] << " " << testing::PrintToString(messages.ids());
    ASSERT_EQ(peers[i].size(), 1u) << references[i];
    const int difference = test::MaxDifference(Shown(*r.document), peers[i][0]);
    auto [at, added] = bestDifference.emplace(files[i], difference);
    if (!added) at->second = std::min(at->second, difference);
  }
  for (const auto& [file, difference] : bestDifference) EXPECT_LE(difference, 2) << file;
}

TEST(CorpusBmp, EveryOtherBitmapIsReadOrRefusedWithAMessage) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/bmp")) GTEST_SKIP() << "no bmp corpus";
  for (const std::string& file : FilesUnder(root + "/bmp", ".bmp")) {
    test::ScopedMessages messages;
    LoadResult r = ReadBmpFile(file);
    if (r.status == 0) EXPECT_EQ(messages.ids().size(), 1u) << file;
    else EXPECT_GT(FirstImage(r.document.get())->width, 0) << file;
  }
}

// libpng's own reading of a file as RGBA (colour keys applied); empty when it cannot.
test::Rgba LibpngRgba(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  test::Rgba out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGBA;
  out = test::Rgba(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, out.px.data(), 0, nullptr)) return test::Rgba();
  return out;
}

TEST(CorpusPng, PngSuiteRejectsBrokenFilesAndReadsTheRest) {
  const std::string dir = Corpus("png/pngsuite");
  if (dir.empty()) GTEST_SKIP() << "no PngSuite";
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  std::vector<std::string> good;
  int rejected = 0;
  for (const std::string& file : FilesUnder(dir, ".png")) {
    const std::string name = fs::path(file).filename();
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(file);
    if (name[0] == 'x') {
      EXPECT_EQ(r.status, 0) << name;
      ++rejected;
    } else if (name.size() == 12 && name != "PngSuite.png") {
      EXPECT_EQ(r.status, 1) << name << " " << testing::PrintToString(messages.ids());
      const int depth = std::stoi(name.substr(6, 2));
      if (r.status == 1 && depth <= 8) good.push_back(file);
    }
  }
  EXPECT_GE(rejected, 14);
  const auto peers = test::PillowDecodeAll(good, true);
  for (size_t i = 0; i < good.size(); ++i) {
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(good[i]);
    ASSERT_EQ(peers[i].size(), 1u) << good[i];
    const test::Rgba ours = Shown(*r.document);
    const test::Rgba& peer = peers[i][0];
    ASSERT_EQ(ours.width, peer.width);
    ASSERT_EQ(ours.height, peer.height);
    // Where both show an opaque pixel the colours agree exactly; where we show a transparent
    // one the file made it at least partly transparent (palette alpha folds to clear). Pillow
    // compares a grey colour key below 8 bits with the scaled samples and so misses it;
    // libpng's own reading is the judge of colour keys.
    const test::Rgba keyed = LibpngRgba(good[i]);
    int bad = 0;
    for (size_t p = 0; p < ours.px.size(); p += 4) {
      if (ours.px[p + 3] == 255 && peer.px[p + 3] == 255) {
        bad += ours.px[p] != peer.px[p] || ours.px[p + 1] != peer.px[p + 1] || ours.px[p + 2] != peer.px[p + 2];
      } else if (ours.px[p + 3] == 0) {
        bad += peer.px[p + 3] == 255 && (keyed.px.size() != ours.px.size() || keyed.px[p + 3] != 0);
      }
    }
    EXPECT_EQ(bad, 0) << good[i];
  }
}

TEST(CorpusPng, OddFilesNeitherCrashNorPretend) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/png")) GTEST_SKIP() << "no png corpus";
  for (const std::string& file : FilesUnder(root + "/png", ".png")) {
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(file);
    if (r.status == 0 && fs::file_size(file) >= 8) {
      EXPECT_EQ(messages.ids().size(), 1u) << file;
    }
  }
  test::ScopedMessages messages;
  EXPECT_EQ(ReadPngFile(root + "/png/small/png-truncated.png").status, 0);
  EXPECT_EQ(ReadPngFile(root + "/png/small/png-transparent.png").status, 1);
}

struct ApngCase {
  const char* name;
  uint8_t at00[4];
  uint8_t at6432[4];
  bool checkCentre = true;
};

TEST(CorpusApng, PhilipTaylorSuiteLastFrames) {
  const std::string dir = Corpus("apng/pillow/apng");
  if (dir.empty()) GTEST_SKIP() << "no APNG suite";
  const uint8_t G[4] = {0, 255, 0, 255}, T[4] = {0, 0, 0, 0};
  std::vector<ApngCase> cases;
  for (const char* n : {"single_frame", "split_fdat", "split_fdat_zero_chunk", "dispose_op_none",
                        "dispose_op_background_final", "dispose_op_previous", "dispose_op_previous_final",
                        "dispose_op_none_region", "dispose_op_previous_region", "blend_op_source_solid",
                        "blend_op_over", "fctl_actl", "mode_palette", "mode_palette_alpha"})
    cases.push_back({n, {G[0], G[1], G[2], G[3]}, {G[0], G[1], G[2], G[3]}});
  for (const char* n : {"dispose_op_background", "dispose_op_previous_first", "dispose_op_background_before_region",
                        "blend_op_source_transparent"})
    cases.push_back({n, {T[0], T[1], T[2], T[3]}, {T[0], T[1], T[2], T[3]}});
  cases.push_back({"dispose_op_background_region", {0, 0, 255, 255}, {0, 0, 0, 0}});
  cases.push_back({"dispose_op_previous_frame", {255, 0, 0, 255}, {}, false});
  // Pillow reports alpha 191 here, but the frame before is opaque black and the APNG rules
  // keep a pixel drawn over an opaque one opaque.
  cases.push_back({"mode_16bit", {0, 0, 128, 255}, {0, 0, 128, 255}});
  cases.push_back({"blend_op_source_near_transparent", {0, 255, 0, 2}, {0, 255, 0, 2}});
  for (const ApngCase& c : cases) {
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(dir + "/" + c.name + ".png");
    ASSERT_EQ(r.status, 1) << c.name;
    EXPECT_TRUE(messages.ids().empty()) << c.name << testing::PrintToString(messages.ids());
    const std::vector<test::Rgba> shown = test::ApngExpected(*r.document, true, true);
    ASSERT_FALSE(shown.empty()) << c.name;
    const test::Rgba& last = shown.back();
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(last.at(0, 0)[k], c.at00[k], 1) << c.name << " (0,0) channel " << k;
      if (c.checkCentre) {
        EXPECT_NEAR(last.at(64, 32)[k], c.at6432[k], 1) << c.name << " (64,32) channel " << k;
      }
    }
  }
}

TEST(CorpusApng, TimingLoopsStillImagesAndErrors) {
  const std::string dir = Corpus("apng/pillow/apng");
  if (dir.empty()) GTEST_SKIP() << "no APNG suite";
  auto delays = [&](const char* name) {
    test::ScopedMessages messages;
    std::vector<int> out;
    LoadResult r = ReadPngFile(dir + "/" + name + ".png");
    // These files hide their default image: the animation starts at the second frame.
    const ImageBlock* f = FirstImage(r.document.get());
    if (r.document->hideFirstFrame) f = NextImage(f);
    for (; f; f = NextImage(f)) out.push_back(f->delay);
    return out;
  };
  EXPECT_EQ(delays("delay"), (std::vector<int>{50, 100, 50, 100}));
  EXPECT_EQ(delays("delay_zero_denom"), (std::vector<int>{50, 100}));
  EXPECT_EQ(delays("delay_zero_numer"), (std::vector<int>{0, 0, 50, 100}));
  {
    test::ScopedMessages messages;
    EXPECT_EQ(ReadPngFile(dir + "/num_plays.png").document->playCount, 0);
    EXPECT_EQ(ReadPngFile(dir + "/num_plays_1.png").document->playCount, 1);
    LoadResult hidden = ReadPngFile(dir + "/single_frame_default.png");
    ASSERT_EQ(hidden.status, 1);
    EXPECT_EQ(hidden.document->frameCount, 2);
    EXPECT_EQ(hidden.document->hideFirstFrame, 1);
    EXPECT_EQ(test::FrameRgba(*FirstImage(hidden.document.get())).at(0, 0)[0], 255);  // the red default image
  }
  for (const char* still : {"chunk_no_actl", "chunk_multi_actl", "chunk_actl_after_idat",
                            "syntax_num_frames_zero_default", "syntax_num_frames_invalid"}) {
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(dir + "/" + still + ".png");
    ASSERT_EQ(r.status, 1) << still;
    EXPECT_EQ(r.document->frameCount, 1) << still;
  }
  for (const char* broken : {"chunk_no_fctl", "chunk_repeat_fctl", "chunk_no_fdat", "syntax_num_frames_high",
                             "sequence_gap", "sequence_reorder", "sequence_reorder_chunk", "sequence_repeat",
                             "sequence_repeat_chunk", "sequence_start", "sequence_fdat_fctl"}) {
    test::ScopedMessages messages;
    ReadPngFile(dir + "/" + broken + ".png");
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPngDamaged}) << broken;
  }
  test::ScopedMessages messages;
  EXPECT_EQ(ReadPngFile(dir + "/syntax_num_frames_low.png").status, 1);
  // No image data at all: nothing to show.
  EXPECT_EQ(ReadPngFile(dir + "/syntax_num_frames_zero.png").status, 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPngDamaged});
}

TEST(CorpusApng, EveryAnimationLoads) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/apng")) GTEST_SKIP() << "no apng corpus";
  std::vector<std::string> files = FilesUnder(root + "/apng", ".apng");
  for (const std::string& f : FilesUnder(root + "/apng", ".png")) files.push_back(f);
  for (const std::string& file : files) {
    test::ScopedMessages messages;
    LoadResult r = ReadPngFile(file);
    if (r.status == 0) {
      EXPECT_EQ(messages.ids().size(), 1u) << file;
    }
  }
}

TEST(CorpusJpeg, ReferencePicturesWithinThree) {
  const std::string dir = Corpus("jpeg/jpeg-decoder/reftest/images");
  if (dir.empty()) GTEST_SKIP() << "no jpeg-decoder set";
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  std::vector<std::string> jpegs, refs;
  for (const std::string& file : FilesUnder(dir, ".jpg")) {
    const std::string name = file.substr(dir.size() + 1);
    if (name == "ycck.jpg" || name.find("jpg-size-3x3") != std::string::npos ||
        name.find("jpg-size-4x4") != std::string::npos || name.find("jpg-size-6x6") != std::string::npos)
      continue;  // disabled upstream
    const std::string ref = file.substr(0, file.size() - 4) + ".png";
    if (!fs::exists(ref)) continue;
    jpegs.push_back(file);
    refs.push_back(ref);
  }
  const auto peers = test::PillowDecodeAll(refs, true);
  int compared = 0;
  for (size_t i = 0; i < jpegs.size(); ++i) {
    test::ScopedMessages messages;
    LoadResult r = ReadJpegFile(jpegs[i]);
    if (r.status == 0) {
      // Only CMYK and YCCK are refused.
      EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kJpegNotRgb}) << jpegs[i];
      continue;
    }
    ASSERT_EQ(peers[i].size(), 1u) << refs[i];
    EXPECT_LE(test::MaxDifference(Shown(*r.document), peers[i][0]), 3) << jpegs[i];
    ++compared;
  }
  EXPECT_GT(compared, 20);
}

TEST(CorpusJpeg, DamagedAndUnusualFiles) {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/jpeg")) GTEST_SKIP() << "no jpeg corpus";
  for (const std::string& file : FilesUnder(root + "/jpeg", ".jpg")) {
    test::ScopedMessages messages;
    LoadResult r = ReadJpegFile(file);
    if (r.status == 0) {
      EXPECT_EQ(messages.ids().size(), 1u) << file;
    }
  }
  test::ScopedMessages messages;
  EXPECT_EQ(ReadJpegFile(root + "/jpeg/pillow/pil_sample_cmyk.jpg").status, 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kJpegNotRgb});
  EXPECT_EQ(ReadJpegFile(root + "/jpeg/pillow/hopper_gray.jpg").status, 1);
  EXPECT_EQ(ReadJpegFile(root + "/jpeg/small/jpeg.jpg").status, 1);  // arithmetic coding
}

TEST(CorpusPal, RiffPalettesAndLookAlikes) {
  const std::string dir = Corpus("pal/ColorPaletteCodable");
  if (dir.empty()) GTEST_SKIP() << "no palette set";
  test::ScopedMessages messages;
  auto arne = ReadPalFile(dir + "/riff/arne-v20-16.pal");
  ASSERT_TRUE(arne);
  ASSERT_EQ(arne->count(), 16);
  EXPECT_EQ((*arne)[0], (Rgb{0, 0, 0}));
  EXPECT_EQ((*arne)[1], (Rgb{157, 157, 157}));
  EXPECT_EQ((*arne)[14], (Rgb{49, 162, 242}));
  EXPECT_EQ((*arne)[15], (Rgb{178, 220, 239}));
  auto sample = ReadPalFile(dir + "/riff/sample.pal");
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->count(), 256);
  for (const char* sub : {"/paintshoppro", "/coreldrawpal", "/vga24bit"})
    for (const std::string& file : FilesUnder(dir + sub, "")) {
      if (fs::path(file).extension() != ".pal" && fs::path(file).extension() != ".PAL") continue;
      messages.sink.clear();
      EXPECT_FALSE(ReadPalFile(file)) << file;
      EXPECT_EQ(messages.ids().size(), 1u) << file;
    }
}

}  // namespace
}  // namespace fw
