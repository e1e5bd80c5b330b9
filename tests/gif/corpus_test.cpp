// Conformance over the shared corpus of real-world and deliberately broken GIF files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/string_table.h"
#include "gif/gif_reader.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string GifCorpus() {
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/gif")) return {};
  return root + "/gif";
}

std::vector<fs::path> GifFilesUnder(const std::string& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".gif") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Rgb ColourOf(const Palette* palette, int index) {
  return palette && index < palette->count() ? (*palette)[index] : Rgb{};
}

// The final logical screen as giflib's "gif2rgb -1" dumps it: the screen filled with the
// background index, every image drawn over it in turn with no transparency and no disposal,
// and all of it coloured through the last image's local map if it has one, else the global
// map.
Bytes FlattenLikeGif2Rgb(const AnimHeader& doc) {
  const int w = doc.screenWidth, h = doc.screenHeight;
  std::vector<uint8_t> screen(static_cast<size_t>(w) * static_cast<size_t>(h), doc.backgroundIndex);
  const ImageBlock* last = nullptr;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    last = f;
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x)
        screen[static_cast<size_t>(f->top + y) * static_cast<size_t>(w) + static_cast<size_t>(f->left + x)] =
            f->indexedImage->row(y)[x];
  }
  const Palette* map = last && last->localPalette ? last->localPalette.get() : doc.globalPalette.get();
  Bytes rgb;
  rgb.reserve(screen.size() * 3);
  for (uint8_t index : screen) {
    const Rgb c = ColourOf(map, index);
    rgb.insert(rgb.end(), {c.r, c.g, c.b});
  }
  return rgb;
}

TEST(GifCorpus, GiflibPicturesMatchTheirReferenceDumps) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const std::string dir = corpus + "/giflib";
  if (!fs::is_directory(dir + "/pic")) GTEST_SKIP() << "no giflib pictures";
  int compared = 0;
  for (const fs::path& gif : GifFilesUnder(dir + "/pic")) {
    const std::string expectedPath = dir + "/expected/" + gif.stem().string() + ".rgb";
    if (!fs::exists(expectedPath)) continue;
    SCOPED_TRACE(gif.filename().string());
    test::ScopedMessages messages;
    ReadResult r = ReadGifPath(gif.string());
    ASSERT_EQ(r.status, kReadComplete);
    const Bytes expected = test::ReadBytes(expectedPath);
    const Bytes ours = FlattenLikeGif2Rgb(*r.document);
    ASSERT_EQ(ours.size(), expected.size());
    EXPECT_TRUE(ours == expected);
    ++compared;
  }
  EXPECT_GE(compared, 8);
}

// image-gif's oracle: the CRC-32 over all frames of each frame's own rectangle as RGBA, the
// transparent index given alpha 0 but keeping its palette colour.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t n) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

TEST(GifCorpus, ImageGifSamplesMatchTheirChecksums) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  std::ifstream results(corpus + "/image-gif/results.txt");
  if (!results) GTEST_SKIP() << "no image-gif results";
  std::string line;
  int compared = 0;
  while (std::getline(results, line)) {
    const size_t colon = line.find(": ");
    if (line.rfind("tests/", 0) != 0 || colon == std::string::npos) continue;
    const std::string path = corpus + "/image-gif/" + line.substr(6, colon - 6);
    const uint32_t expected = static_cast<uint32_t>(std::stoul(line.substr(colon + 2)));
    SCOPED_TRACE(path);
    test::ScopedMessages messages;
    ReadResult r = ReadGifPath(path);
    ASSERT_EQ(r.status, kReadComplete);
    uint32_t crc = 0;
    std::vector<uint8_t> rgba;
    for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f)) {
      std::array<std::array<uint8_t, 4>, 256> lookup{};
      for (int i = 0; i < 256; ++i) {
        const Rgb c = ColourOf(f->activePalette, i);
        lookup[static_cast<size_t>(i)] = {c.r, c.g, c.b, uint8_t(f->transparent() && i == f->transparentIndex ? 0 : 255)};
      }
      rgba.resize(static_cast<size_t>(f->width) * 4);
      for (int y = 0; y < f->height; ++y) {
        const uint8_t* row = f->indexedImage->row(y);
        for (int x = 0; x < f->width; ++x) std::memcpy(&rgba[static_cast<size_t>(x) * 4], lookup[row[x]].data(), 4);
        crc = Crc32(crc, rgba.data(), rgba.size());
      }
    }
    EXPECT_EQ(crc, expected);
    ++compared;
  }
  EXPECT_GE(compared, 10);
}

// Files giflib reads without complaint that we deliberately treat as damaged.
const std::map<std::string, std::string> kRefusedOnPurpose = {
    // An extension with label 0x2A. Only the four labels GIF89a defines are accepted here:
    // anything else means we no longer know where the stream is, so the read stops.
    // giflib skips unknown extensions.
    {"image-gif/regression/issue-209-extension-block-type.gif", "unknown extension label"},
};

// Every GIF in the corpus, damaged ones included, is read without a crash or a hang and
// with a result that agrees with the messages shown. Where giflib reads a file without
// complaint, we must read it completely too, with the same frames and pixels.
TEST(GifCorpus, EveryFileReadsSafelyAndAgreesWithGiflib) {
  const std::string corpus = GifCorpus();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int files = 0, agreed = 0;
  for (const fs::path& path : GifFilesUnder(corpus)) {
    const std::string name = fs::relative(path, corpus).generic_string();
    SCOPED_TRACE(name);
    ++files;
    test::ScopedMessages messages;
    const Bytes bytes = test::ReadBytes(path.string());
    const auto t0 = Clock::now();
    ReadResult r = ReadGifMemory(bytes.data(), bytes.size());
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));

    const std::vector<int> ids = messages.ids();
    switch (r.status) {
      case kReadComplete:
        ASSERT_TRUE(r.document);
        EXPECT_TRUE(ids.empty());
        break;
      case kReadPartial:
        ASSERT_TRUE(r.document);
        EXPECT_GE(r.document->frameCount, 1);
        ASSERT_FALSE(ids.empty());
        EXPECT_EQ(ids.back(), msg::kPartlyRead);
        break;
      default:
        EXPECT_FALSE(r.document);
        // A wrong signature or a cut screen descriptor fails before anything is shown.
        if (!ids.empty()) {
          EXPECT_EQ(ids.back(), msg::kCouldNotRead);
        }
    }

    const test::PeerGif peer = test::GiflibDecode(bytes);
    if (!peer.ok || kRefusedOnPurpose.count(name)) continue;
    ASSERT_EQ(r.status, kReadComplete);
    ASSERT_EQ(static_cast<size_t>(r.document->frameCount), peer.frames.size());
    int index = 0;
    for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f), ++index) {
      const test::PeerFrame& p = peer.frames[static_cast<size_t>(index)];
      EXPECT_EQ(f->left, p.left) << "frame " << index;
      EXPECT_EQ(f->top, p.top) << "frame " << index;
      EXPECT_EQ(f->width, p.width) << "frame " << index;
      EXPECT_EQ(f->height, p.height) << "frame " << index;
      EXPECT_TRUE(test::FramePixels(*f) == p.pixels) << "frame " << index;
    }
    ++agreed;
  }
  EXPECT_GT(files, 50);
  EXPECT_GT(agreed, 50);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
}  // namespace fw
