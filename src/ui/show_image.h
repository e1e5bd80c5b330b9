#pragma once
// "MyShowImage": a frame's indexed pixels drawn through a colour table that the editors may
// change before the frame does, scaled to the view. A click picks the index under the pointer.
#include <QColor>
#include <QImage>
#include <QSet>
#include <QWidget>
#include <array>

#include "core/palette.h"

namespace fw {

struct IndexedImage;

class ShowImage : public QWidget {
  Q_OBJECT
 public:
  explicit ShowImage(QWidget* parent = nullptr);

  // The image is copied; nullptr shows nothing.
  void setImage(const IndexedImage* image);
  void setColours(const std::array<Rgb, 256>& colours);
  void setMarked(const QSet<int>& indices, QColor colour);
  // The index of the pixel under a point of the widget, or -1 outside the picture.
  int indexAt(QPoint p) const;

 signals:
  void picked(int index);
  void hovered(int index);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  QSize sizeHint() const override { return {240, 240}; }

 private:
  QRect pictureRect() const;
  void rebuildTable();

  QImage image_;
  std::array<Rgb, 256> colours_{};
  QSet<int> marked_;
  QColor markColour_;
};

}  // namespace fw
