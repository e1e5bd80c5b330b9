#include "support/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "core/compositor.h"
#include "core/preferences.h"

namespace fw::test {

ScopedMessages::ScopedMessages() : previous_(SetMessageSink(&sink)) {
  Prefs().load(nullptr);
}

ScopedMessages::~ScopedMessages() {
  SetMessageSink(previous_);
  Prefs().load(nullptr);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fwtest-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

AnimPtr NewDocument(int width, int height, int colours) {
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = width;
  doc->screenHeight = height;
  doc->playCount = 1;
  std::vector<Rgb> entries(static_cast<size_t>(colours));
  for (int i = 0; i < colours; ++i)
    entries[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)};
  SetGlobalPalette(*doc, Palette::Create(entries.data(), colours));
  return doc;
}

std::vector<uint8_t> FramePixels(const ImageBlock& frame) {
  std::vector<uint8_t> out;
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* row = frame.indexedImage->row(y);
    out.insert(out.end(), row, row + frame.width);
  }
  return out;
}

std::string CorpusDir() {
  const std::string dir = FW_CORPUS_DIR_DEFAULT;
  return std::filesystem::is_directory(dir) ? dir : std::string();
}

}  // namespace fw::test

namespace fw::test {
namespace {

std::string PaletteDifference(const Palette* a, const Palette* b) {
  if (!a || !b) return (a == b) ? "" : "one palette missing";
  return a->sameEntries(*b) ? "" : "palette entries differ";
}

std::string FrameDifference(const ImageBlock& a, const ImageBlock& b) {
  if (a.left != b.left || a.top != b.top || a.width != b.width || a.height != b.height) return "geometry";
  if (a.delay != b.delay || a.controlFlags != b.controlFlags || a.transparentIndex != b.transparentIndex ||
      a.descriptorFlags != b.descriptorFlags || a.blend != b.blend)
    return "properties";
  if (a.name != b.name) return "name";
  if (!!a.localPalette != !!b.localPalette) return "local palette presence";
  if (auto d = PaletteDifference(a.activePalette, b.activePalette); !d.empty()) return d;
  if (!!a.indexedImage != !!b.indexedImage) return "pixels presence";
  if (a.indexedImage && FramePixels(a) != FramePixels(b)) return "pixels";
  if (a.trueColour != b.trueColour || a.alpha != b.alpha) return "true colour or alpha";
  return "";
}

}  // namespace

std::string DocumentDifference(const AnimHeader& a, const AnimHeader& b) {
  if (a.screenWidth != b.screenWidth || a.screenHeight != b.screenHeight) return "screen size";
  if (a.playCount != b.playCount) return "play count";
  if (a.frameCount != b.frameCount) return "frame count";
  if (auto d = PaletteDifference(a.globalPalette.get(), b.globalPalette.get()); !d.empty()) return "global " + d;
  const GifBlock* x = a.blockList->next;
  const GifBlock* y = b.blockList->next;
  for (int i = 0; x || y; x = x->next, y = y->next, ++i) {
    if (!x || !y) return "block count";
    if (x->kind != y->kind) return "kind of block " + std::to_string(i);
    if (x->isImage()) {
      if (auto d = FrameDifference(*static_cast<const ImageBlock*>(x), *static_cast<const ImageBlock*>(y)); !d.empty())
        return d + " of block " + std::to_string(i);
    } else if (x->isExtension() &&
               static_cast<const ExtensionBlock*>(x)->data != static_cast<const ExtensionBlock*>(y)->data) {
      return "data of block " + std::to_string(i);
    }
    if (x->next && x->next->prev != x) return "broken back link after block " + std::to_string(i);
  }
  return "";
}

}  // namespace fw::test

namespace fw::test {
namespace {

uint32_t DrawnColour(const Palette* palette, int index) {
  const Rgb c = palette && index < palette->count() ? (*palette)[index] : Rgb{};
  return 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

}  // namespace

std::vector<std::vector<uint32_t>> ComposePictures(const AnimHeader& doc, std::vector<int64_t>* delays) {
  const int W = std::max(doc.screenWidth, 0), H = std::max(doc.screenHeight, 0);
  std::vector<std::vector<uint32_t>> pictures;
  std::vector<uint32_t> canvas(static_cast<size_t>(W) * H, 0), saved;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (f->disposal() == kDisposalPrevious) saved = canvas;
    const IndexedImage* image = f->indexedImage.get();
    const int w = image ? std::min(f->width, image->width) : 0, h = image ? std::min(f->height, image->height) : 0;
    for (int y = std::max(0, -f->top); y < h && f->top + y < H; ++y)
      for (int x = std::max(0, -f->left); x < w && f->left + x < W; ++x) {
        const uint8_t v = image->row(y)[x];
        if (f->transparent() && v == f->transparentIndex) continue;
        canvas[static_cast<size_t>(f->top + y) * W + (f->left + x)] = DrawnColour(f->activePalette, v);
      }
    pictures.push_back(canvas);
    if (delays) delays->push_back(f->delay);
    if (f->disposal() == kDisposalPrevious) {
      canvas = saved;
    } else if (f->disposal() == kDisposalBackground) {
      for (int y = std::max(0, f->top); y < std::min(H, f->top + f->height); ++y)
        for (int x = std::max(0, f->left); x < std::min(W, f->left + f->width); ++x)
          canvas[static_cast<size_t>(y) * W + x] = 0;
    }
  }
  return pictures;
}

int64_t ComposedTimeline::totalTime() const {
  int64_t total = 0;
  for (int64_t d : delays) total += d;
  return total;
}

ComposedTimeline ComposeTimeline(const AnimHeader& doc) {
  ComposedTimeline t;
  t.width = doc.screenWidth;
  t.height = doc.screenHeight;
  t.playCount = doc.playCount;
  std::vector<int64_t> delays;
  std::vector<std::vector<uint32_t>> pictures = ComposePictures(doc, &delays);
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (!t.pictures.empty() && t.pictures.back() == pictures[i]) {
      t.delays.back() += delays[i];
      continue;
    }
    t.pictures.push_back(std::move(pictures[i]));
    t.delays.push_back(delays[i]);
  }
  return t;
}

std::string TimelineDifference(const ComposedTimeline& a, const ComposedTimeline& b) {
  if (a.width != b.width || a.height != b.height) return "screen size";
  if (a.playCount != b.playCount) return "play count";
  if (a.totalTime() != b.totalTime())
    return "total time " + std::to_string(a.totalTime()) + " vs " + std::to_string(b.totalTime());
  int64_t time = 0;
  for (size_t i = 0; i < std::min(a.pictures.size(), b.pictures.size()); ++i) {
    if (a.pictures[i] != b.pictures[i]) {
      size_t k = 0;
      while (a.pictures[i][k] == b.pictures[i][k]) ++k;
      char text[160];
      std::snprintf(text, sizeof text, "picture %zu (time %lld) at %zu,%zu: %08x vs %08x", i,
                    static_cast<long long>(time), k % static_cast<size_t>(a.width), k / static_cast<size_t>(a.width),
                    a.pictures[i][k], b.pictures[i][k]);
      return text;
    }
    if (a.delays[i] != b.delays[i]) return "delay of picture " + std::to_string(i);
    time += a.delays[i];
  }
  if (a.pictures.size() != b.pictures.size())
    return "picture count " + std::to_string(a.pictures.size()) + " vs " + std::to_string(b.pictures.size());
  return "";
}

std::string CompositorDisagreement(const AnimHeader& doc) {
  const std::vector<std::vector<uint32_t>> pictures = ComposePictures(doc, nullptr);
  std::set<int> fills{doc.backgroundIndex};
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (f->localPalette) return "local palettes have no single colour reading on the compositor's canvas";
    if (f->transparent()) fills.insert(f->transparentIndex);
  }
  Compositor compositor(doc);
  size_t n = 0;
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next(), ++n) {
    if (n >= pictures.size()) return "the compositor has more frames";
    for (int y = 0; y < doc.screenHeight; ++y)
      for (int x = 0; x < doc.screenWidth; ++x) {
        const int index = canvas->indexedImage->row(y)[x];
        const uint32_t ours = pictures[n][static_cast<size_t>(y) * doc.screenWidth + x];
        const bool agree = ours ? ours == DrawnColour(doc.globalPalette.get(), index) : fills.count(index) > 0;
        if (!agree) return "frame " + std::to_string(n) + " at " + std::to_string(x) + "," + std::to_string(y);
      }
  }
  return n == pictures.size() ? "" : "the compositor has fewer frames";
}

}  // namespace fw::test

namespace fw::test {

std::vector<FrameGeometry> Geometry(const AnimHeader* doc) {
  std::vector<FrameGeometry> out;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) out.push_back({f->left, f->top, f->width, f->height});
  return out;
}

}  // namespace fw::test
