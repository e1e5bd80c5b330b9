#include "ui/move_crop_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ui/frame_image.h"

namespace fw {
namespace {

// How close to an edge (in widget pixels) a press grabs the edge rather than the frame.
constexpr int kEdgeGrab = 4;
// The surface grows its zoom while the screen still fits this box.
constexpr int kFitWidth = 560, kFitHeight = 420, kMaxZoom = 8;

}  // namespace

MoveCropView::MoveCropView(const AnimHeader& document, MoveCropState& state, QWidget* parent)
    : QWidget(parent), document_(document), state_(state) {
  setObjectName(QStringLiteral("MoveCropView"));
  const double fit = std::min(double(kFitWidth) / state_.screenWidth, double(kFitHeight) / state_.screenHeight);
  zoom_ = fit >= 1 ? std::min(std::floor(fit), double(kMaxZoom)) : fit;
  setMouseTracking(true);
}

void MoveCropView::setDisplay(const MoveCropDisplay& display) {
  display_ = display;
  update();
}

QSize MoveCropView::sizeHint() const { return scaled(QSize(state_.screenWidth, state_.screenHeight)) + QSize(2, 2) * margin_; }

QSize MoveCropView::scaled(QSize size) const {
  return {int(std::lround(size.width() * zoom_)), int(std::lround(size.height() * zoom_))};
}
QPoint MoveCropView::toWidget(QPoint screen) const {
  return QPoint(int(std::lround(screen.x() * zoom_)), int(std::lround(screen.y() * zoom_))) + QPoint(margin_, margin_);
}

QRect MoveCropView::screenRectangle() const {
  return QRect(QPoint(state_.left + state_.x, state_.top + state_.y),
               QPoint(state_.right + state_.x - 1, state_.bottom + state_.y - 1));
}

void MoveCropView::drawFrame(QPainter& painter, int index, QPoint at, qreal opacity) const {
  const ImageBlock* frame = ImageAt(&document_, index);
  if (!frame || !frame->indexedImage) return;
  painter.setOpacity(opacity);
  painter.drawImage(QRect(toWidget(at), scaled(QSize(frame->width, frame->height))), FrameToImage(*frame, true));
  painter.setOpacity(1.0);
}

void MoveCropView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  const QRect screen(toWidget({0, 0}), scaled(QSize(state_.screenWidth, state_.screenHeight)));
  painter.fillRect(screen, Qt::white);
  const QRect crop(toWidget(screenRectangle().topLeft()), scaled(screenRectangle().size()));
  if (display_.croppedResult) painter.setClipRect(crop);

  auto framePosition = [this](int index) {
    const ImageBlock* f = ImageAt(&document_, index);
    return f ? QPoint(f->left, f->top) : QPoint();
  };
  // Neighbours lie where they are now; only the edited frame moves.
  if (display_.first) drawFrame(painter, 0, framePosition(0), 0.35);
  if (display_.previous) drawFrame(painter, state_.frameIndex - 1, framePosition(state_.frameIndex - 1), 0.35);
  if (display_.next) drawFrame(painter, state_.frameIndex + 1, framePosition(state_.frameIndex + 1), 0.35);
  if (state_.animationMode) {
    // Without a current frame the animation is shown by its first one.
    const int shown = std::max(state_.frameIndex, 0);
    drawFrame(painter, shown, framePosition(shown), 1.0);
  } else {
    drawFrame(painter, state_.frameIndex, QPoint(state_.x, state_.y), 1.0);
  }
  painter.setClipping(false);

  if (!display_.croppedResult) {
    // Dim what will be cut away.
    QRegion outside(screen.united(crop));
    outside -= crop;
    for (const QRect& r : outside) painter.fillRect(r, QColor(0, 0, 0, 90));
  }
  painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
  painter.drawRect(crop.adjusted(0, 0, -1, -1));
}

MoveCropView::Drag MoveCropView::dragAt(QPoint p) const {
  const QRect crop(toWidget(screenRectangle().topLeft()), scaled(screenRectangle().size()));
  const bool acrossV = p.y() >= crop.top() - kEdgeGrab && p.y() <= crop.bottom() + kEdgeGrab;
  const bool acrossH = p.x() >= crop.left() - kEdgeGrab && p.x() <= crop.right() + kEdgeGrab;
  if (acrossV && std::abs(p.x() - crop.left()) <= kEdgeGrab) return Drag::Left;
  if (acrossV && std::abs(p.x() - crop.right()) <= kEdgeGrab) return Drag::Right;
  if (acrossH && std::abs(p.y() - crop.top()) <= kEdgeGrab) return Drag::Top;
  if (acrossH && std::abs(p.y() - crop.bottom()) <= kEdgeGrab) return Drag::Bottom;
  if (crop.contains(p) && !state_.animationMode) return Drag::Frame;
  return Drag::None;
}

void MoveCropView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  drag_ = dragAt(event->position().toPoint());
  dragStart_ = event->position().toPoint();
  switch (drag_) {
    case Drag::Frame: startA_ = state_.x, startB_ = state_.y; break;
    case Drag::Left: startA_ = state_.left; break;
    case Drag::Top: startA_ = state_.top; break;
    case Drag::Right: startA_ = state_.right; break;
    case Drag::Bottom: startA_ = state_.bottom; break;
    case Drag::None: break;
  }
}

void MoveCropView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (drag_ == Drag::None) {
    const Drag hover = dragAt(p);
    setCursor(hover == Drag::Left || hover == Drag::Right   ? Qt::SizeHorCursor
              : hover == Drag::Top || hover == Drag::Bottom ? Qt::SizeVerCursor
              : hover == Drag::Frame                        ? Qt::SizeAllCursor
                                                            : Qt::ArrowCursor);
    return;
  }
  // The mouse distance in screen pixels, applied through the same rules as typed values.
  const int dx = int(std::lround((p.x() - dragStart_.x()) / zoom_));
  const int dy = int(std::lround((p.y() - dragStart_.y()) / zoom_));
  switch (drag_) {
    case Drag::Frame:
      SetCropField(state_, crop_field::kOffsetX, startA_ + dx);
      SetCropField(state_, crop_field::kOffsetY, startB_ + dy);
      break;
    case Drag::Left: SetCropField(state_, crop_field::kLeft, startA_ + dx); break;
    case Drag::Top: SetCropField(state_, crop_field::kTop, startA_ + dy); break;
    case Drag::Right: SetCropField(state_, crop_field::kRight, startA_ + dx); break;
    case Drag::Bottom: SetCropField(state_, crop_field::kBottom, startA_ + dy); break;
    case Drag::None: break;
  }
  update();
  if (edited_) edited_();
}

void MoveCropView::mouseReleaseEvent(QMouseEvent*) { drag_ = Drag::None; }

}  // namespace fw
