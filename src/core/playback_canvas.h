#pragma once
// The picture a player shows while it steps through an animation: one screen-sized
// true-colour canvas that frames are drawn onto in document order, each after the previous
// frame's disposal. Stepping forward continues from what is on screen, so a step costs one
// frame; only a step backwards starts over from the first frame. When any frame restores to
// the previous picture (disposal 3) the canvas is twice as tall and its lower half keeps the
// picture to restore.
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class PlaybackCanvas {
 public:
  // Takes the document (not owned; it must stay unchanged while attached, and rebuild() must
  // follow any change to its frames or screen) and makes the canvas, showing nothing composed.
  // `background` is 0x00RRGGBB. False when the plane-size limit refuses the canvas or memory
  // runs out; the canvas is then detached.
  bool attach(const AnimHeader* document, uint32_t background, bool hideFirstFrame);
  void detach();
  bool attached() const { return document_ != nullptr; }
  // Makes the canvas again after the screen size or the frame list changed.
  bool rebuild();
  // Later frames compose over the new colour; what is shown starts over.
  void setBackground(uint32_t background);
  uint32_t background() const { return background_ & 0xFFFFFFu; }

  // Composes frame `number` (1-based, document order, a hidden first frame counted). With
  // `seek`, a number below the composed one starts over from frame 1 on a cleared canvas;
  // otherwise the walk goes on past the last frame and starts the next loop on a cleared
  // canvas, as at the first play. Numbers outside 1..frame count are ignored.
  void compose(int number, bool seek);
  // The frame composed last; 0 when nothing is.
  int composedFrame() const { return composed_; }

  int width() const { return width_; }
  int height() const { return height_; }
  // width() x height() pixels, 0xFFRRGGBB, rows top-down without padding.
  const uint32_t* pixels() const { return pixels_.data(); }
  uint32_t pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  bool keepsRestorePicture() const { return keepsRestorePicture_; }

 private:
  void clear();
  void step(const ImageBlock& frame, bool drawIt);
  void fillRect(const ImageBlock& frame);
  void saveScreen();
  void restoreScreen();
  void draw(const ImageBlock& frame);
  uint32_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * width_; }

  const AnimHeader* document_ = nullptr;
  bool hideFirstFrame_ = false;
  bool keepsRestorePicture_ = false;
  uint32_t background_ = 0xFF000000u;
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;  // the screen, then the picture to restore
  int composed_ = 0;
  const ImageBlock* last_ = nullptr;
};

}  // namespace fw
