// PSD files of the shared corpus (skipped when it is absent). Every file carries its own
// flattened composite, which Pillow decodes: our flattened reading must show the same picture.
// Layered reading must end cleanly for every file, the fuzzer cases included.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/format_peers.h"
#include "formats/psd_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CorpusPsds() {
  std::vector<std::string> files;
  const std::string root = test::CorpusDir();
  if (root.empty() || !fs::is_directory(root + "/psd")) return files;
  for (const auto& e : fs::recursive_directory_iterator(root + "/psd"))
    if (e.is_regular_file() && e.path().extension() == ".psd") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

// Largest colour difference where our picture is not clear, and whether the clear parts agree.
int CompositeDifference(const test::Rgba& ours, const test::Rgba& theirs) {
  if (ours.width != theirs.width || ours.height != theirs.height) return 1000;
  int worst = 0;
  for (size_t i = 0; i < ours.px.size(); i += 4) {
    if (ours.px[i + 3] == 0 && theirs.px[i + 3] == 0) continue;
    for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(int{ours.px[i + c]} - int{theirs.px[i + c]}));
  }
  return worst;
}

// Pillow's reading of each file's composite; an empty picture where Pillow refuses the file.
std::vector<test::Rgba> PillowComposites(const std::vector<std::string>& paths) {
  static const char* kScript = R"(
import sys, struct
from PIL import Image
out = sys.stdout.buffer
for path in sys.argv[1:]:
    try:
        im = Image.open(path).convert('RGBA')
    except Exception:
        out.write(struct.pack('<ii', 0, 0))
        continue
    out.write(struct.pack('<ii', im.width, im.height))
    out.write(im.tobytes())
)";
  std::vector<std::string> args = {"/usr/bin/python3", "-c", kScript};
  args.insert(args.end(), paths.begin(), paths.end());
  std::string out;
  test::RunCapture(args, out);
  std::vector<test::Rgba> pictures;
  size_t at = 0;
  while (pictures.size() < paths.size() && out.size() - at >= 8) {
    int size[2];
    std::memcpy(size, out.data() + at, 8);
    at += 8;
    test::Rgba p(size[0], size[1]);
    if (out.size() - at < p.px.size()) break;
    if (!p.px.empty()) std::memcpy(p.px.data(), out.data() + at, p.px.size());
    at += p.px.size();
    pictures.push_back(std::move(p));
  }
  pictures.resize(paths.size());
  return pictures;
}

uint32_t Be32At(const std::vector<uint8_t>& b, size_t at) {
  return at + 4 <= b.size() ? uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3] : 0;
}

// Files without any layer record are read flattened without being asked.
bool HasNoLayers(const std::string& path) {
  const std::vector<uint8_t> b = test::ReadBytes(path);
  size_t at = 26;
  at += 4 + Be32At(b, at);  // colour mode data
  at += 4 + Be32At(b, at);  // image resources
  const uint32_t section = Be32At(b, at);
  return section < 4 || Be32At(b, at + 4) < 2;
}

}  // namespace

TEST(PsdCorpus, FlattenedPicturesMatchTheEmbeddedComposite) {
  const std::vector<std::string> files = CorpusPsds();
  if (files.empty() || !test::HavePillow()) GTEST_SKIP() << "no corpus or Pillow";
  test::ScopedMessages messages;
  bool asked = false;
  SetPsdLayerAsker([&asked] {
    asked = true;
    return psd_choice::kFlatten | psd_choice::kKeepTransparency;
  });
  std::vector<std::string> candidates;
  std::vector<AnimPtr> ours;
  for (const std::string& f : files) {
    asked = false;
    LoadResult r = ReadPsdFile(f, false, nullptr);
    // One-layer files are never asked about: their layer is read, not the composite.
    if (r.status != 1 || !(asked || HasNoLayers(f))) continue;
    candidates.push_back(f);
    ours.push_back(std::move(r.document));
  }
  SetPsdLayerAsker(nullptr);
  const std::vector<test::Rgba> theirs = PillowComposites(candidates);
  int compared = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (theirs[i].width == 0) continue;  // Pillow refuses some files we read
    EXPECT_LE(CompositeDifference(test::FrameRgba(*FirstImage(ours[i].get())), theirs[i]), 1) << candidates[i];
    ++compared;
  }
  EXPECT_GE(compared, 20);
}

TEST(PsdCorpus, LayeredReadingEndsCleanlyForEveryFile) {
  const std::vector<std::string> files = CorpusPsds();
  if (files.empty()) GTEST_SKIP() << "no corpus";
  test::ScopedMessages messages;
  int loaded = 0;
  for (const std::string& f : files) {
    messages.sink.clear();
    LoadResult r = ReadPsdFile(f, true, nullptr);
    if (r.status == 0) {
      EXPECT_FALSE(messages.sink.entries.empty()) << f;
      continue;
    }
    ++loaded;
    for (const ImageBlock* frame = FirstImage(r.document.get()); frame; frame = NextImage(frame)) {
      EXPECT_GE(frame->left, 0) << f;
      EXPECT_LE(frame->left + frame->width, r.document->screenWidth) << f;
      EXPECT_LE(frame->top + frame->height, r.document->screenHeight) << f;
    }
  }
  EXPECT_GE(loaded, 40);
}

}  // namespace fw
