#include "ui/show_image.h"

#include <QMouseEvent>
#include <QPainter>

#include "core/indexed_image.h"

namespace fw {

ShowImage::ShowImage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MyShowImage"));
  setMouseTracking(true);
  setMinimumSize(120, 120);
}

void ShowImage::setImage(const IndexedImage* image) {
  if (!image || image->pixels.empty()) {
    image_ = QImage();
  } else {
    const QImage view(image->pixels.data(), image->width, image->height, static_cast<qsizetype>(image->stride()),
                      QImage::Format_Indexed8);
    image_ = view.copy();
  }
  rebuildTable();
}

void ShowImage::setColours(const std::array<Rgb, 256>& colours) {
  colours_ = colours;
  rebuildTable();
}

void ShowImage::setMarked(const QSet<int>& indices, QColor colour) {
  marked_ = indices;
  markColour_ = colour;
  rebuildTable();
}

void ShowImage::rebuildTable() {
  if (image_.isNull()) {
    update();
    return;
  }
  QList<QRgb> table(256);
  for (int i = 0; i < 256; ++i) {
    const Rgb c = colours_[static_cast<size_t>(i)];
    table[i] = marked_.contains(i) ? markColour_.rgb() : qRgb(c.r, c.g, c.b);
  }
  image_.setColorTable(table);
  update();
}

QRect ShowImage::pictureRect() const {
  if (image_.isNull()) return {};
  const QSize shown = image_.size().scaled(size(), Qt::KeepAspectRatio);
  return QRect(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

int ShowImage::indexAt(QPoint p) const {
  const QRect r = pictureRect();
  if (r.isEmpty() || !r.contains(p)) return -1;
  const int x = static_cast<int>(static_cast<long long>(p.x() - r.left()) * image_.width() / r.width());
  const int y = static_cast<int>(static_cast<long long>(p.y() - r.top()) * image_.height() / r.height());
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return -1;
  return image_.pixelIndex(x, y);
}

void ShowImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().dark());
  if (!image_.isNull()) painter.drawImage(pictureRect(), image_);
}

void ShowImage::mousePressEvent(QMouseEvent* e) {
  const int index = indexAt(e->position().toPoint());
  if (index >= 0 && e->button() == Qt::LeftButton) emit picked(index);
}

void ShowImage::mouseMoveEvent(QMouseEvent* e) { emit hovered(indexAt(e->position().toPoint())); }

void ShowImage::leaveEvent(QEvent*) { emit hovered(-1); }

}  // namespace fw
