#pragma once
// The pixel editor's view of a frame: the indexed rows drawn at a whole-number zoom, sharing
// the editor's buffer so an edit shows by repainting only the rectangle it changed.
#include <QImage>
#include <QWidget>

namespace fw {

struct IndexedImage;
struct EditRect;

class PixelView : public QWidget {
  Q_OBJECT
 public:
  explicit PixelView(QWidget* parent = nullptr);

  // The view reads `image`'s rows in place; they must outlive it (or the next call).
  void setImage(IndexedImage* image);
  void setColourTable(const QList<QRgb>& table);
  void setZoom(int factor);
  int zoom() const { return zoom_; }
  // Repaints the pixels of `changed` only.
  void pixelsChanged(const EditRect& changed);
  // The pixel under a point of the widget, false outside the picture.
  bool pixelAt(QPoint p, int& x, int& y) const;
  // Where pixel (x, y) is drawn: for tests and the hotspot marker alike.
  QPoint pixelCentre(int x, int y) const;
  // A cross drawn over pixel (x, y) (the cursor hotspot); (-1, -1) for none.
  void setMarker(int x, int y);

 signals:
  // A press of the left button on a pixel, and each further pixel the pointer reaches while
  // the button stays down.
  void pixelPressed(int x, int y);
  void pixelDragged(int x, int y);
  // The pixel under the pointer as it moves, (-1, -1) when it leaves the picture.
  void pixelHovered(int x, int y);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  QSize sizeHint() const override;

 private:
  QImage image_;
  int zoom_ = 1;
  int lastX_ = -1, lastY_ = -1;
  QPoint marker_{-1, -1};
};

}  // namespace fw
