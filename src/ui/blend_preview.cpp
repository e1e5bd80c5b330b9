#include "ui/blend_preview.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/anim_document.h"
#include "imaging/blend.h"
#include "ui/frame_image.h"

namespace fw {
namespace {
QImage FirstFrame(const AnimHeader& doc, QPoint& at) {
  const ImageBlock* frame = FirstImage(&doc);
  if (!frame) return {};
  at = QPoint(frame->left, frame->top);
  return FrameToImage(*frame, true);
}
}  // namespace

BlendPreview::BlendPreview(const AnimHeader& first, const AnimHeader& second, QWidget* parent)
    : QWidget(parent), first_(first), second_(second) {
  setObjectName(QStringLiteral("MyShowImage"));
  firstImage_ = FirstFrame(first, firstAt_);
  secondImage_ = FirstFrame(second, secondAt_);
  setCursor(Qt::SizeAllCursor);
}

void BlendPreview::setOffset(int x, int y) {
  const QPoint next(std::clamp(x, -kMaxBlendOffset, kMaxBlendOffset), std::clamp(y, -kMaxBlendOffset, kMaxBlendOffset));
  if (next == offset_) return;
  offset_ = next;
  update();
  emit offsetChanged(offset_.x(), offset_.y());
}

double BlendPreview::scale() const {
  const BlendLayout l = LayoutBlend(first_, second_, offset_.x(), offset_.y());
  return std::min(double(width()) / l.width, double(height()) / l.height);
}

void BlendPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const BlendLayout l = LayoutBlend(first_, second_, offset_.x(), offset_.y());
  const double s = scale();
  painter.scale(s, s);
  painter.fillRect(QRect(0, 0, l.width, l.height), Qt::white);
  const QPoint shift(l.shiftX, l.shiftY);
  painter.drawImage(shift + firstAt_, firstImage_);
  painter.drawImage(shift + offset_ + secondAt_, secondImage_);
}

void BlendPreview::mousePressEvent(QMouseEvent* event) {
  pressedAt_ = event->position().toPoint();
  offsetAtPress_ = offset_;
  // The scale stays as it was at the press, so the picture does not run away from the pointer
  // while the screen grows under the drag.
  scaleAtPress_ = std::max(scale(), 1e-6);
}

void BlendPreview::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QPoint moved = event->position().toPoint() - pressedAt_;
  setOffset(offsetAtPress_.x() + int(std::lround(moved.x() / scaleAtPress_)),
            offsetAtPress_.y() + int(std::lround(moved.y() / scaleAtPress_)));
}

}  // namespace fw
