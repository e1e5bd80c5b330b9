#pragma once
// Shared test helpers.
#include <string>
#include <vector>

#include "core/anim_document.h"
#include "core/message_sink.h"

namespace fw::test {

// Installs a recording sink and default preferences for the life of a test.
class ScopedMessages {
 public:
  ScopedMessages();
  ~ScopedMessages();
  RecordingMessageSink sink;
  std::vector<int> ids() const { return sink.ids(); }

 private:
  MessageSink* previous_;
};

// A temporary directory removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A document with a global palette of `colours` entries (a ramp) and no frames.
AnimPtr NewDocument(int width, int height, int colours);
// Appends a frame whose pixel (x, y) is fill(x, y).
template <typename Fill>
ImageBlock& AddFrame(AnimHeader& doc, int left, int top, int width, int height, Fill fill) {
  ImagePtr frame = CreateSizedImage(width, height);
  frame->left = left;
  frame->top = top;
  frame->activePalette = doc.globalPalette.get();
  SetIndexedImage(*frame, AllocIndexedImage(width, height, frame->activePalette));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) frame->indexedImage->row(y)[x] = static_cast<uint8_t>(fill(x, y));
  ImageBlock& ref = *frame;
  AppendBlock(doc, std::move(frame));
  return ref;
}

// The frame's own pixels, row after row without padding.
std::vector<uint8_t> FramePixels(const ImageBlock& frame);

// The path of the shared conformance corpus, or empty when it is absent.
std::string CorpusDir();

}  // namespace fw::test

namespace fw::test {

// Empty when the two documents hold the same blocks, pixels, planes, palettes, names and
// header fields; otherwise a description of the first difference.
std::string DocumentDifference(const AnimHeader& a, const AnimHeader& b);

}  // namespace fw::test
