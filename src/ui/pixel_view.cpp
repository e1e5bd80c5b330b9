#include "ui/pixel_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "core/indexed_image.h"
#include "imaging/pixel_edit.h"

namespace fw {

PixelView::PixelView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MyShowImage"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void PixelView::setImage(IndexedImage* image) {
  const QList<QRgb> table = image_.colorTable();
  if (!image || image->pixels.empty()) {
    image_ = QImage();
  } else {
    image_ = QImage(image->pixels.data(), image->width, image->height, static_cast<qsizetype>(image->stride()),
                    QImage::Format_Indexed8);
    if (table.size() == 256) image_.setColorTable(table);
  }
  setZoom(zoom_);
}

void PixelView::setColourTable(const QList<QRgb>& table) {
  if (!image_.isNull()) image_.setColorTable(table);
  update();
}

void PixelView::setZoom(int factor) {
  zoom_ = std::clamp(factor, 1, 32);
  resize(sizeHint());
  updateGeometry();
  update();
}

QSize PixelView::sizeHint() const {
  if (image_.isNull()) return {64, 64};
  return image_.size() * zoom_;
}

void PixelView::pixelsChanged(const EditRect& changed) {
  if (changed.empty()) return;
  update(QRect(changed.left * zoom_, changed.top * zoom_, (changed.right - changed.left) * zoom_,
               (changed.bottom - changed.top) * zoom_));
}

bool PixelView::pixelAt(QPoint p, int& x, int& y) const {
  if (image_.isNull() || p.x() < 0 || p.y() < 0) return false;
  x = p.x() / zoom_;
  y = p.y() / zoom_;
  return x < image_.width() && y < image_.height();
}

QPoint PixelView::pixelCentre(int x, int y) const { return {x * zoom_ + zoom_ / 2, y * zoom_ + zoom_ / 2}; }

void PixelView::setMarker(int x, int y) {
  marker_ = QPoint(x, y);
  update();
}

void PixelView::paintEvent(QPaintEvent* e) {
  QPainter painter(this);
  const QRect exposed = e->rect();
  painter.fillRect(exposed, palette().dark());
  if (image_.isNull()) return;
  // Only the source pixels behind the exposed area are scaled, so a one-pixel edit on a large
  // frame costs a few pixels of drawing.
  const QRect source = QRect(QPoint(exposed.left() / zoom_, exposed.top() / zoom_),
                             QPoint(exposed.right() / zoom_, exposed.bottom() / zoom_))
                           .intersected(image_.rect());
  if (source.isEmpty()) return;
  const QRect target(source.topLeft() * zoom_, source.size() * zoom_);
  painter.drawImage(target, image_, source);
  if (marker_.x() >= 0 && marker_.y() >= 0) {
    const QPoint c = pixelCentre(marker_.x(), marker_.y());
    const int arm = std::max(4, zoom_ * 2);
    painter.setPen(QPen(Qt::red, 1));
    painter.drawLine(c.x() - arm, c.y(), c.x() + arm, c.y());
    painter.drawLine(c.x(), c.y() - arm, c.x(), c.y() + arm);
  }
}

void PixelView::mousePressEvent(QMouseEvent* e) {
  int x = 0, y = 0;
  if (e->button() != Qt::LeftButton || !pixelAt(e->position().toPoint(), x, y)) return;
  lastX_ = x;
  lastY_ = y;
  emit pixelPressed(x, y);
}

void PixelView::leaveEvent(QEvent*) { emit pixelHovered(-1, -1); }

void PixelView::mouseMoveEvent(QMouseEvent* e) {
  int x = 0, y = 0;
  const bool inside = pixelAt(e->position().toPoint(), x, y);
  if (inside) emit pixelHovered(x, y);
  else emit pixelHovered(-1, -1);
  if (!(e->buttons() & Qt::LeftButton) || !inside) return;
  if (x == lastX_ && y == lastY_) return;
  lastX_ = x;
  lastY_ = y;
  emit pixelDragged(x, y);
}

}  // namespace fw
