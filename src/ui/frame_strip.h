#pragma once
// The frame strip: every frame of the document as a cell on strips of film. It owns the
// selection gestures and the drag gesture; the shell performs the moves it asks for.
#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>

#include "ui/strip_geometry.h"

namespace fw {

struct AnimHeader;
struct ImageBlock;

class FrameStrip : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit FrameStrip(QWidget* parent = nullptr);

  void setDocument(AnimHeader* document);
  AnimHeader* document() const { return document_; }
  // Frame count, screen size or order changed: relayout and forget cached renderings.
  void documentChanged();
  void frameChanged(int index);
  void setZoom(int zoomIndex);
  int zoom() const { return zoom_; }
  // 0 automatic, 4097 vertical, 4098 horizontal.
  void setOrientation(int code);
  int orientation() const { return orientation_; }
  // 0 window background, 1 the frame's own colour.
  void setTransparencyMode(int mode);
  int transparencyMode() const { return transparencyMode_; }

  void setCurrent(int index) { current_ = index; }
  const StripGeometry& geometry() const { return geometry_; }
  int hitTest(QPoint viewportPoint) const;
  QPoint cellCentre(int index) const;  // viewport coordinates
  void ensureVisible(int index);
  // Counts the cells painted since the last call (renders made, not cache hits).
  int takeRenderCount();

 signals:
  // The user selected: the shell sets its current frame to `current`.
  void selectionChanged(int current);
  // The selection was dragged to the slot `insertion`.
  void dropAt(int insertion);
  void contextMenuAt(QPoint globalPos, bool withSelection);
  void filesDropped(int index, QStringList paths);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void relayout();
  int acrossScroll() const;
  int alongScroll() const;
  void toContent(QPoint p, int& across, int& along) const;
  const QImage& cellImage(const ImageBlock& frame);
  void selectAndNotify(int index, int flags);

  AnimHeader* document_ = nullptr;
  StripGeometry geometry_;
  int zoom_ = 0;
  int orientation_ = 0;
  int transparencyMode_ = 0;
  QHash<const ImageBlock*, QImage> cache_;
  int renders_ = 0;
  // Drag gesture.
  bool armed_ = false, dragging_ = false, pressHandled_ = false;
  QPoint pressPoint_;
  int pressedIndex_ = -1;
  int marker_ = -1;
  int current_ = -1;
};

}  // namespace fw
