#pragma once
// The strip's "as displayed" cells: each frame as the viewer sees it at that point of the
// animation (the compositor's canvas), with the frame's stored rectangle outlined.
#include <QColor>
#include <QImage>
#include <functional>
#include <memory>

#include "ui/cell_render.h"

namespace fw {

struct AnimHeader;
struct ImageBlock;

// Whether the strip shows composed pictures: stored under this name, on unless set off.
bool ComposedCellsSetting();
void StoreComposedCellsSetting(bool on);

// The colour of the outline around the stored rectangle.
QColor StoredRectangleColour();

// The canvas drawn as a cell at numerator / denominator, the frame's rectangle outlined.
QImage RenderComposedCell(const ImageBlock& canvas, const ImageBlock& frame, const TransparencyDisplay& display,
                          QColor windowBackground, int numerator, int denominator);

class Compositor;

// Walks the compositor through the frames and hands over the cells asked for. The walk is
// kept between calls: cells further on continue from where it stopped, so scrolling through
// a long animation composes every frame once, not once per paint. Only a request before the
// walk's position starts it over. reset() must follow every change to the document.
class ComposedWalk {
 public:
  ComposedWalk();
  ~ComposedWalk();
  void reset();
  // For each frame first..last that `wanted` asks for, `made` gets the cell `render` makes
  // from the canvas showing it. Nothing is composed when no frame is wanted.
  void run(const AnimHeader& document, int first, int last, const std::function<bool(const ImageBlock&)>& wanted,
           const std::function<QImage(const ImageBlock& canvas, const ImageBlock& frame)>& render,
           const std::function<void(const ImageBlock& frame, QImage cell)>& made);

 private:
  const AnimHeader* document_ = nullptr;
  std::unique_ptr<Compositor> compositor_;
  const ImageBlock* canvas_ = nullptr;
  int index_ = -1;
};

}  // namespace fw
