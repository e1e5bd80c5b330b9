#include "ui/show_anim_view.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <utility>

#include "ui/strip_geometry.h"

namespace fw {

ShowAnimView::ShowAnimView(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("MyShowAnim"));
  background_ = palette().color(QPalette::Button);
  horizontalScrollBar()->setSingleStep(16);
  verticalScrollBar()->setSingleStep(16);
}

ShowAnimView::~ShowAnimView() { setPartner(nullptr); }

bool ShowAnimView::setDocument(const AnimHeader* document, bool hideFirstFrame) {
  const bool made = document && canvas_.attach(document, background_.rgb(), hideFirstFrame);
  if (!document) canvas_.detach();
  updateScrollBars();
  updateGeometry();
  viewport()->update();
  return made;
}

bool ShowAnimView::rebuild() {
  const bool made = canvas_.rebuild();
  updateScrollBars();
  updateGeometry();
  viewport()->update();
  return made;
}

void ShowAnimView::showFrame(int number, bool seek) {
  canvas_.compose(number, seek);
  viewport()->update();
}

QImage ShowAnimView::picture() const {
  if (!canvas_.attached()) return {};
  return QImage(reinterpret_cast<const uchar*>(canvas_.pixels()), canvas_.width(), canvas_.height(),
                4 * static_cast<qsizetype>(canvas_.width()), QImage::Format_RGB32);
}

void ShowAnimView::setBackground(const QColor& colour) {
  background_ = colour;
  const int shown = canvas_.composedFrame();
  canvas_.setBackground(colour.rgb());
  // Background fills are part of the picture, so it is composed again over the new colour.
  if (shown > 0) canvas_.compose(shown, true);
  viewport()->update();
}

void ShowAnimView::setZoom(int zoomIndex) {
  zoom_ = ClampZoom(zoomIndex);
  updateScrollBars();
  updateGeometry();
  viewport()->update();
}

QSize ShowAnimView::shownSize() const {
  if (!canvas_.attached()) return {0, 0};
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  const auto scaled = [&](int n) { return std::max(1, static_cast<int>(int64_t{n} * num / den)); };
  return {scaled(canvas_.width()), scaled(canvas_.height())};
}

void ShowAnimView::setPartner(ShowAnimView* partner) {
  if (partner == this) partner = nullptr;
  if (partner_ == partner) return;
  ShowAnimView* old = std::exchange(partner_, partner);
  if (old && old->partner_ == this) old->setPartner(nullptr);
  if (partner) partner->setPartner(this);
}

QSize ShowAnimView::sizeHint() const {
  const QSize shown = shownSize();
  const int frame = 2 * frameWidth();
  if (shown.isEmpty()) return {64 + frame, 48 + frame};
  return shown + QSize(12 + frame, 12 + frame);
}

QPoint ShowAnimView::pictureOrigin() const {
  const QSize shown = shownSize(), area = viewport()->size();
  const int x = shown.width() < area.width() ? (area.width() - shown.width()) / 2 : -horizontalScrollBar()->value();
  const int y = shown.height() < area.height() ? (area.height() - shown.height()) / 2 : -verticalScrollBar()->value();
  return {x, y};
}

void ShowAnimView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), background_);
  const QImage image = picture();
  if (image.isNull()) return;
  // Plain pixel repetition: a zoomed GIF should show its pixels, not a blur.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRect(pictureOrigin(), shownSize()), image);
}

void ShowAnimView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  updateScrollBars();
}

void ShowAnimView::scrollContentsBy(int, int) {
  viewport()->update();
  if (!partner_ || mirroring_) return;
  partner_->mirroring_ = true;
  partner_->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
  partner_->verticalScrollBar()->setValue(verticalScrollBar()->value());
  partner_->mirroring_ = false;
}

void ShowAnimView::updateScrollBars() {
  const QSize shown = shownSize(), area = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, shown.width() - area.width()));
  horizontalScrollBar()->setPageStep(std::max(1, area.width()));
  verticalScrollBar()->setRange(0, std::max(0, shown.height() - area.height()));
  verticalScrollBar()->setPageStep(std::max(1, area.height()));
}

}  // namespace fw
