#include "ui/frame_tip_popup.h"

#include <QFontMetrics>
#include <QPainter>
#include <QToolTip>

namespace fw {
namespace {
constexpr int kMargin = 4;
const QPoint kOffsetFromPointer(12, 22);
}  // namespace

FrameTipPopup::FrameTipPopup(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("MyGoodTip"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

QColor FrameTipPopup::foreground() const {
  const QPalette p = QToolTip::palette();
  return p.color(QPalette::ToolTipText) == p.color(QPalette::ToolTipBase) ? QColor(Qt::black)
                                                                            : p.color(QPalette::ToolTipText);
}

QColor FrameTipPopup::background() const {
  const QPalette p = QToolTip::palette();
  return p.color(QPalette::ToolTipText) == p.color(QPalette::ToolTipBase) ? QColor(Qt::white)
                                                                            : p.color(QPalette::ToolTipBase);
}

void FrameTipPopup::setTip(const QString& text, const void* key, const std::function<QImage()>& picture) {
  if (text == text_ && key == key_) return;
  text_ = text;
  key_ = key;
  picture_ = !text_.isEmpty() && picture ? picture() : QImage();
  if (text_.isEmpty()) {
    hide();
    return;
  }
  const QFontMetrics metrics(font());
  int widest = 0;
  const QStringList lines = text_.split(QLatin1Char('\n'));
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  const int textHeight = static_cast<int>(lines.size()) * metrics.lineSpacing();
  resize(widest + picture_.width() + 2 * kMargin + 2, std::max(textHeight, picture_.height()) + 2 * kMargin + 2);
  update();
}

void FrameTipPopup::follow(QPoint globalPointer, bool inside) {
  if (!inside || text_.isEmpty()) {
    hide();
    return;
  }
  move(globalPointer + kOffsetFromPointer);
  if (!isVisible()) show();
}

void FrameTipPopup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), background());
  p.setPen(foreground());
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const QFontMetrics metrics(font());
  int y = 1 + kMargin;
  int widest = 0;
  for (const QString& line : text_.split(QLatin1Char('\n'))) {
    p.drawText(1 + kMargin, y + metrics.ascent(), line);
    widest = std::max(widest, metrics.horizontalAdvance(line));
    y += metrics.lineSpacing();
  }
  if (!picture_.isNull()) p.drawImage(QPoint(1 + kMargin + widest, 1 + kMargin), picture_);
}

}  // namespace fw
