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

// Where each frame sits, in order: for comparing the layout before and after an edit.
struct FrameGeometry {
  int left, top, width, height;
  bool operator==(const FrameGeometry&) const = default;
};
std::vector<FrameGeometry> Geometry(const AnimHeader* doc);

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

namespace fw::test {

// What a viewer shows over time. Each picture is the compositor's canvas read as colours: a
// drawn pixel is 0xFF000000 | RGB through the palette of the image that drew it, and 0 marks
// the background (nothing drawn since the start or since a restore to background: the parts
// the compositor fills with the background or transparent index, which viewers show as the
// page behind the animation). Consecutive equal pictures are merged with their delays added,
// so an animation whose unchanged frames were folded into the one before compares equal.
struct ComposedTimeline {
  int width = 0, height = 0, playCount = 0;
  std::vector<std::vector<uint32_t>> pictures;
  std::vector<int64_t> delays;
  int64_t totalTime() const;
};
ComposedTimeline ComposeTimeline(const AnimHeader& document);
// The pictures frame by frame, unmerged, read as ComposeTimeline reads them.
std::vector<std::vector<uint32_t>> ComposePictures(const AnimHeader& document, std::vector<int64_t>* delays);
// Empty when equal; otherwise where the first difference lies.
std::string TimelineDifference(const ComposedTimeline& a, const ComposedTimeline& b);
// Checks ComposeTimeline against the compositor itself for a document whose frames all use the
// global palette: every drawn pixel has the canvas's colour, every background pixel holds one
// of the indexes the compositor fills with. Empty when they agree.
std::string CompositorDisagreement(const AnimHeader& document);

}  // namespace fw::test
