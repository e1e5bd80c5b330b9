#pragma once
// "MyShowColors": a 16 x 16 grid of palette entries. A click picks an entry; the editor marks
// the selected entry and the choosers paint their chosen entries in a display colour.
#include <QColor>
#include <QSet>
#include <QString>
#include <QWidget>
#include <array>

#include "core/palette.h"

class QTimer;

namespace fw {

class ShowColors : public QWidget {
  Q_OBJECT
 public:
  explicit ShowColors(QWidget* parent = nullptr);

  // `count` entries are real; the cells after them stay empty and cannot be picked.
  void setColours(const std::array<Rgb, 256>& colours, int count);
  void setSelected(int index);
  // Entries painted in `colour` instead of their own.
  void setMarked(const QSet<int>& indices, QColor colour);
  // Entries crossed out as not used by any pixel.
  void setUnused(const QSet<int>& indices);
  // Shows the entry in contrasting colours for a moment so that the user sees which one a
  // click hit.
  void flash(int index);

  int selected() const { return selected_; }
  int count() const { return count_; }
  // The entry under a point of the widget, or -1.
  int indexAt(QPoint p) const;
  QRect cellRect(int index) const;

 signals:
  void picked(int index);
  void hovered(int index);  // -1 when the pointer leaves the entries

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  QSize sizeHint() const override { return {16 * 14 + 1, 16 * 14 + 1}; }

 private:
  std::array<Rgb, 256> colours_{};
  int count_ = 0;
  int selected_ = -1;
  int flashing_ = -1;
  QSet<int> marked_;
  QSet<int> unused_;
  QColor markColour_;
  QTimer* flashTimer_;
};

// Each channel pushed to the far end: 255 below 128, else 0.
QColor FlashColour(Rgb c);
// The tip for an entry: "#%d: R=%d, G=%d, B=%d", or "#%d: 透明" for the transparent one
// (`transparentIndex` -1 when the frame has none).
QString ColourTipText(int index, Rgb colour, int transparentIndex);

}  // namespace fw
