#pragma once
// Composes an animation as a viewer shows it: frame n is the logical screen after frames 0..n
// were drawn, each over what the earlier ones left behind after their disposal. The picture is
// kept as a screen-sized image block, the canvas: 8-bit always, and with true-colour and
// coverage (alpha) planes when any frame of the document carries true colour or a palette of
// its own.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Compositor {
 public:
  // The document is read, never changed, and must stay unchanged during a walk. With
  // `trueColour` the canvas has its true-colour and coverage planes whatever the frames hold
  // (exporters that need to know which pixels nothing has covered ask for them).
  explicit Compositor(const AnimHeader& document, bool trueColour = false);
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // The canvas showing frame 0; nullptr for a document without frames or without memory.
  const ImageBlock* first();
  // The canvas showing the next frame; nullptr after the last one (the canvas is then
  // released and first() starts over) or without memory.
  const ImageBlock* next();

  // Valid until the next call. Its activePalette, transparentIndex, transparency flag, delay
  // and disposal are those of the frame drawn last.
  const ImageBlock* canvas() const { return canvas_.get(); }
  bool trueColourMode() const { return trueColourMode_; }
  int currentIndex() const { return currentIndex_; }
  const ImageBlock* currentFrame() const { return current_; }

 private:
  bool createCanvas(const ImageBlock& firstFrame);
  bool draw(const ImageBlock& frame, int index);
  bool dispose(const ImageBlock& next);
  bool saveCanvas();
  void drawTrueColour(const ImageBlock& frame, int x0, int y0, int x1, int y1);
  void release();

  const AnimHeader& document_;
  bool trueColourMode_ = false;
  ImagePtr canvas_;
  int canvasWidth_ = 0, canvasHeight_ = 0;  // the part of the canvas that is screen
  // The canvas's planes as they were before a frame with disposal 3 was drawn. The buffers
  // outlive their use so that the next save reuses their memory.
  struct Saved {
    bool valid = false;
    PixelBytes indexed;
    std::vector<uint8_t> colour, alpha;
  } saved_;
  const ImageBlock* current_ = nullptr;
  int currentIndex_ = -1;
};

using CompositorPtr = std::unique_ptr<Compositor>;

// nullptr when memory runs out.
CompositorPtr CreateCompositor(const AnimHeader& document);
const ImageBlock* FirstComposedFrame(Compositor& compositor);
const ImageBlock* NextComposedFrame(Compositor& compositor);
void FreeCompositor(CompositorPtr compositor);

// The palette a canvas gets when the document has no global one: the twenty colours that a
// display without a palette of its own always offers.
const Palette& DefaultCanvasPalette();

}  // namespace fw
