#pragma once
// The blend dialog's picture: both animations' first frames on the combined screen, the
// second draggable to set its offset.
#include <QImage>
#include <QPoint>
#include <QWidget>

namespace fw {

struct AnimHeader;

class BlendPreview : public QWidget {
  Q_OBJECT
 public:
  BlendPreview(const AnimHeader& first, const AnimHeader& second, QWidget* parent);

  void setOffset(int x, int y);
  QPoint offset() const { return offset_; }

 signals:
  void offsetChanged(int x, int y);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  QSize sizeHint() const override { return {240, 180}; }

 private:
  // Widget pixels per screen pixel for the current offset's combined screen.
  double scale() const;

  const AnimHeader& first_;
  const AnimHeader& second_;
  QImage firstImage_, secondImage_;
  QPoint firstAt_, secondAt_;  // each first frame's place on its own screen
  QPoint offset_;
  QPoint pressedAt_, offsetAtPress_;
  double scaleAtPress_ = 1;
};

}  // namespace fw
