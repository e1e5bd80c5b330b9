#pragma once
// "MyShowAnim": shows an animation frame by frame as a player composes it, zoomed and
// scrollable. The preview plays through it; the reduce-colours dialog shows two side by side,
// partnered so that they scroll together.
#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>

#include "core/playback_canvas.h"

namespace fw {

class ShowAnimView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit ShowAnimView(QWidget* parent = nullptr);
  ~ShowAnimView() override;

  // Takes the document (not owned) with nothing composed yet. False when the picture cannot
  // be made (the plane-size limit refuses the screen); the view then shows only background.
  bool setDocument(const AnimHeader* document, bool hideFirstFrame);
  // After the document's screen size or frame list changed; nothing is composed afterwards.
  bool rebuild();
  // Composes and shows frame `number` (1-based, document order); see PlaybackCanvas::compose.
  void showFrame(int number, bool seek);
  int composedFrame() const { return canvas_.composedFrame(); }
  // The composed screen at 1:1, sharing the canvas's memory: valid until the next change.
  QImage picture() const;

  // Changing the colour recomposes the frame on show from the start.
  void setBackground(const QColor& colour);
  QColor background() const { return background_; }

  // Zoom index: the shown size is screen x (z + 1) from 0 up, screen / (1 - z) below 0.
  void setZoom(int zoomIndex);
  int zoom() const { return zoom_; }
  QSize shownSize() const;

  // Scroll positions are mirrored both ways between partners; nullptr ends the partnership.
  void setPartner(ShowAnimView* partner);
  ShowAnimView* partner() const { return partner_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void updateScrollBars();
  QPoint pictureOrigin() const;

  PlaybackCanvas canvas_;
  QColor background_;
  int zoom_ = 0;
  ShowAnimView* partner_ = nullptr;
  bool mirroring_ = false;
};

}  // namespace fw
