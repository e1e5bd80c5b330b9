#include "ui/tool_icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace fw {
namespace {

using Drawing = std::function<void(QPainter&)>;

// Paints a drawing made on a 24 x 24 grid at whatever size and scale is asked for.
class DrawnIconEngine : public QIconEngine {
 public:
  explicit DrawnIconEngine(Drawing draw) : draw_(std::move(draw)) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.topLeft());
    painter->scale(rect.width() / 24.0, rect.height() / 24.0);
    if (mode == QIcon::Disabled) painter->setOpacity(0.35);
    draw_(*painter);
    painter->restore();
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(&p, QRect(QPoint(0, 0), size), mode, state);
    return pm;
  }
  QIconEngine* clone() const override { return new DrawnIconEngine(draw_); }

 private:
  Drawing draw_;
};

const QColor kInk(55, 71, 79);
const QColor kAccent(2, 136, 209);
const QColor kWarm(230, 81, 0);

QPen Pen(const QColor& c, double width = 1.8) { return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Page(QPainter& p, double x, double y, double w, double h) {
  p.setPen(Pen(kInk));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(x, y, w, h), 1.5, 1.5);
}

void Arrow(QPainter& p, bool redo) {
  QPainterPath path;
  if (redo) {
    path.moveTo(6, 18);
    path.cubicTo(4, 10, 12, 6, 18, 11);
  } else {
    path.moveTo(18, 18);
    path.cubicTo(20, 10, 12, 6, 6, 11);
  }
  p.setPen(Pen(kAccent, 2.2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  const QPointF tip = redo ? QPointF(19, 12) : QPointF(5, 12);
  const double dx = redo ? -5 : 5;
  p.drawLine(tip, tip + QPointF(dx, 0.5));
  p.drawLine(tip, tip + QPointF(redo ? -1 : 1, -5));
}

void Magnifier(QPainter& p, int sign) {
  p.setPen(Pen(kInk, 2));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
  p.drawLine(QPointF(15, 15), QPointF(21, 21));
  p.setPen(Pen(kAccent, 2));
  if (sign != 0) p.drawLine(QPointF(7, 10), QPointF(13, 10));
  if (sign > 0) p.drawLine(QPointF(10, 7), QPointF(10, 13));
  if (sign == 0) {
    QFont f = p.font();
    f.setPixelSize(7);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(3.5, 3.5, 13, 13), Qt::AlignCenter, QStringLiteral("1:1"));
  }
}

Drawing DrawingFor(int id) {
  switch (id) {
    case 1002:  // open
      return [](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(QColor(255, 202, 40));
        QPainterPath folder;
        folder.moveTo(3, 6);
        folder.lineTo(9, 6);
        folder.lineTo(11, 8);
        folder.lineTo(21, 8);
        folder.lineTo(21, 19);
        folder.lineTo(3, 19);
        folder.closeSubpath();
        p.drawPath(folder);
      };
    case 40013:  // insert frames
      return [](QPainter& p) {
        Page(p, 3, 5, 13, 14);
        p.setPen(Pen(kAccent, 2.2));
        p.drawLine(QPointF(18, 8), QPointF(18, 18));
        p.drawLine(QPointF(13, 13), QPointF(23, 13));
      };
    case 1015:  // save
      return [](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(4, 4, 16, 16), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 4, 10, 6));
        p.drawRect(QRectF(7, 13, 10, 7));
      };
    case 40021:  // restart
      return [](QPainter& p) {
        Page(p, 5, 3, 14, 18);
        p.setPen(Pen(kInk, 1.2));
        for (double y : {8.0, 11.0, 14.0}) p.drawLine(QPointF(8, y), QPointF(16, y));
      };
    case 40002:  // cut
      return [](QPainter& p) {
        p.setPen(Pen(kInk, 2));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(7, 3), QPointF(15, 15));
        p.drawLine(QPointF(17, 3), QPointF(9, 15));
        p.drawEllipse(QPointF(7, 18), 3, 3);
        p.drawEllipse(QPointF(17, 18), 3, 3);
      };
    case 1012:  // copy
      return [](QPainter& p) {
        Page(p, 3, 3, 12, 14);
        Page(p, 9, 7, 12, 14);
      };
    case 40004:  // paste
      return [](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(QColor(188, 170, 164));
        p.drawRoundedRect(QRectF(4, 4, 14, 17), 2, 2);
        Page(p, 10, 9, 11, 13);
        p.setBrush(kInk);
        p.drawRect(QRectF(8, 2.5, 6, 3));
      };
    case 40012:  // delete
      return [](QPainter& p) {
        p.setPen(Pen(QColor(198, 40, 40), 2.6));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
      };
    case 40001: return [](QPainter& p) { Arrow(p, false); };
    case 40120: return [](QPainter& p) { Arrow(p, true); };
    case 40010:  // preview
      return [](QPainter& p) {
        p.setPen(Pen(QColor(46, 125, 50)));
        p.setBrush(QColor(102, 187, 106));
        p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(20, 12), QPointF(7, 20)}));
      };
    case 40011:  // stop preview
      return [](QPainter& p) {
        p.setPen(Pen(QColor(198, 40, 40)));
        p.setBrush(QColor(239, 83, 80));
        p.drawRoundedRect(QRectF(6, 6, 12, 12), 1.5, 1.5);
      };
    case 40289:  // edit timing
      return [](QPainter& p) {
        p.setPen(Pen(kInk, 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 13), 8, 8);
        p.setPen(Pen(kWarm, 2));
        p.drawLine(QPointF(12, 13), QPointF(12, 8));
        p.drawLine(QPointF(12, 13), QPointF(16, 15));
        p.setPen(Pen(kInk, 2));
        p.drawLine(QPointF(10, 3), QPointF(14, 3));
      };
    case 40005:  // optimize
      return [](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(QColor(207, 216, 220));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setPen(Pen(kAccent, 2.4));
        p.drawLine(QPointF(12, 6), QPointF(12, 17));
        p.drawLine(QPointF(7, 12), QPointF(12, 17));
        p.drawLine(QPointF(17, 12), QPointF(12, 17));
      };
    case 40081:  // reduce colours
      return [](QPainter& p) {
        const QColor colours[4] = {QColor(239, 83, 80), QColor(102, 187, 106), QColor(66, 165, 245), QColor(255, 202, 40)};
        p.setPen(Pen(kInk, 1.2));
        for (int i = 0; i < 4; ++i) {
          p.setBrush(colours[i]);
          p.drawRect(QRectF(4 + (i % 2) * 8.5, 4 + (i / 2) * 8.5, 7.5, 7.5));
        }
      };
    case 40038: return [](QPainter& p) { Magnifier(p, 1); };
    case 40039: return [](QPainter& p) { Magnifier(p, -1); };
    case 40069: return [](QPainter& p) { Magnifier(p, 0); };
    case 40344:  // frame tips
      return [](QPainter& p) {
        p.setPen(Pen(kInk));
        p.setBrush(QColor(255, 249, 196));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(3, 4, 18, 12), 3, 3);
        bubble.moveTo(8, 16);
        bubble.lineTo(7, 21);
        bubble.lineTo(12, 16);
        p.drawPath(bubble.simplified());
        p.setPen(Pen(kInk, 1.4));
        p.drawLine(QPointF(7, 8.5), QPointF(17, 8.5));
        p.drawLine(QPointF(7, 11.5), QPointF(14, 11.5));
      };
    case 40023:  // help
      return [](QPainter& p) {
        p.setPen(Pen(kAccent));
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        QFont f = p.font();
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
      };
    default: return nullptr;
  }
}

// Standard freedesktop icon names; commands without one are always drawn.
const char* ThemeName(int id) {
  switch (id) {
    case 1002: return "document-open";
    case 40013: return "insert-image";
    case 1015: return "document-save";
    case 40021: return "document-new";
    case 40002: return "edit-cut";
    case 1012: return "edit-copy";
    case 40004: return "edit-paste";
    case 40012: return "edit-delete";
    case 40001: return "edit-undo";
    case 40120: return "edit-redo";
    case 40010: return "media-playback-start";
    case 40011: return "media-playback-stop";
    case 40038: return "zoom-in";
    case 40039: return "zoom-out";
    case 40069: return "zoom-original";
    case 40023: return "help-contents";
    default: return nullptr;
  }
}

}  // namespace

QIcon DrawnToolIcon(int commandId) {
  Drawing draw = DrawingFor(commandId);
  return draw ? QIcon(new DrawnIconEngine(std::move(draw))) : QIcon();
}

QIcon ToolIcon(int commandId) {
  if (const char* name = ThemeName(commandId); name && QIcon::hasThemeIcon(QString::fromLatin1(name)))
    return QIcon::fromTheme(QString::fromLatin1(name));
  return DrawnToolIcon(commandId);
}

}  // namespace fw
