#include "ui/show_colors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "core/string_table.h"

namespace fw {

QColor FlashColour(Rgb c) {
  auto flip = [](uint8_t v) { return v < 128 ? 255 : 0; };
  return QColor(flip(c.r), flip(c.g), flip(c.b));
}

QString ColourTipText(int index, Rgb c, int transparentIndex) {
  char text[96];
  if (index == transparentIndex) std::snprintf(text, sizeof text, MessageText(40345), index);
  else std::snprintf(text, sizeof text, MessageText(40151), index, c.r, c.g, c.b);
  return QString::fromUtf8(text);
}

ShowColors::ShowColors(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MyShowColors"));
  setMouseTracking(true);
  setMinimumSize(16 * 10 + 1, 16 * 10 + 1);
  flashTimer_ = new QTimer(this);
  flashTimer_->setSingleShot(true);
  flashTimer_->setInterval(100);
  connect(flashTimer_, &QTimer::timeout, this, [this] {
    flashing_ = -1;
    update();
  });
}

void ShowColors::setColours(const std::array<Rgb, 256>& colours, int count) {
  colours_ = colours;
  count_ = std::clamp(count, 0, 256);
  if (selected_ >= count_) selected_ = -1;
  update();
}

void ShowColors::setSelected(int index) {
  selected_ = index >= 0 && index < count_ ? index : -1;
  update();
}

void ShowColors::setMarked(const QSet<int>& indices, QColor colour) {
  marked_ = indices;
  markColour_ = colour;
  update();
}

void ShowColors::setUnused(const QSet<int>& indices) {
  unused_ = indices;
  update();
}

void ShowColors::flash(int index) {
  if (index < 0 || index >= count_) return;
  flashing_ = index;
  flashTimer_->start();
  update();
}

QRect ShowColors::cellRect(int index) const {
  const int w = (width() - 1) / 16, h = (height() - 1) / 16;
  return QRect(index % 16 * w, index / 16 * h, w, h);
}

int ShowColors::indexAt(QPoint p) const {
  const int w = (width() - 1) / 16, h = (height() - 1) / 16;
  if (w <= 0 || h <= 0 || p.x() < 0 || p.y() < 0) return -1;
  const int column = p.x() / w, row = p.y() / h;
  if (column >= 16 || row >= 16) return -1;
  const int index = row * 16 + column;
  return index < count_ ? index : -1;
}

void ShowColors::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  for (int i = 0; i < 256; ++i) {
    const QRect cell = cellRect(i);
    if (i >= count_) {
      painter.fillRect(cell.adjusted(1, 1, 0, 0), QBrush(palette().mid().color(), Qt::BDiagPattern));
      continue;
    }
    const Rgb c = colours_[static_cast<size_t>(i)];
    QColor shown(c.r, c.g, c.b);
    if (i == flashing_) shown = FlashColour(c);
    else if (marked_.contains(i)) shown = markColour_;
    painter.fillRect(cell.adjusted(1, 1, 0, 0), shown);
    if (unused_.contains(i)) {
      painter.setPen(FlashColour(c));
      painter.drawLine(cell.topLeft() + QPoint(2, 2), cell.bottomRight() - QPoint(1, 1));
    }
  }
  if (selected_ >= 0) {
    painter.setPen(QPen(palette().highlight().color(), 2));
    painter.drawRect(cellRect(selected_).adjusted(1, 1, -1, -1));
  }
}

void ShowColors::mousePressEvent(QMouseEvent* e) {
  const int index = indexAt(e->position().toPoint());
  if (index >= 0 && e->button() == Qt::LeftButton) emit picked(index);
}

void ShowColors::mouseMoveEvent(QMouseEvent* e) { emit hovered(indexAt(e->position().toPoint())); }

void ShowColors::leaveEvent(QEvent*) { emit hovered(-1); }

}  // namespace fw
