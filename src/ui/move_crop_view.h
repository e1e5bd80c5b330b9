#pragma once
// The editing surface of the move/crop and crop-animation dialogs: the logical screen with the
// frame being edited, optional neighbouring frames beneath it, and the crop rectangle. Dragging
// inside the rectangle moves the frame; dragging near an edge moves that edge.
#include <QWidget>
#include <functional>

#include "imaging/crop.h"

namespace fw {

struct MoveCropDisplay {
  bool previous = false, next = false, first = false;
  bool croppedResult = false;
};

class MoveCropView : public QWidget {
 public:
  MoveCropView(const AnimHeader& document, MoveCropState& state, QWidget* parent);

  void setDisplay(const MoveCropDisplay& display);
  // Called after a drag changed the state.
  void setOnEdited(std::function<void()> edited) { edited_ = std::move(edited); }
  // Widget pixels per screen pixel: whole steps up to 8 while the screen fits, a fraction for
  // screens larger than the surface.
  double zoom() const { return zoom_; }
  // Screen coordinates to widget coordinates.
  QPoint toWidget(QPoint screen) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  enum class Drag { None, Frame, Left, Top, Right, Bottom };
  // The crop rectangle on the screen (frame mode: moved with the frame).
  QRect screenRectangle() const;
  QSize scaled(QSize screenSize) const;
  Drag dragAt(QPoint widget) const;
  void drawFrame(QPainter& painter, int index, QPoint at, qreal opacity) const;

  const AnimHeader& document_;
  MoveCropState& state_;
  MoveCropDisplay display_;
  std::function<void()> edited_;
  double zoom_ = 1;
  int margin_ = 8;
  Drag drag_ = Drag::None;
  QPoint dragStart_;
  int32_t startA_ = 0, startB_ = 0;
};

}  // namespace fw
