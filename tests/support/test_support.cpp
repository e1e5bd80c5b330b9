#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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
