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
