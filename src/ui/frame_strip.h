#pragma once
// The frame strip: every frame of the document as a cell on strips of film. It owns the
// selection gestures, the drag gesture, scrolling, the transparency display and the frame
// tips; the shell performs the moves it asks for and lends it the commands of its menu.
#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "ui/cell_cache.h"
#include "ui/cell_render.h"
#include "ui/composed_cells.h"
#include "ui/strip_geometry.h"
#include "ui/strip_menu.h"

class QMenu;

namespace fw {

struct AnimHeader;
struct ImageBlock;
class FrameTipPopup;

class FrameStrip : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit FrameStrip(QWidget* parent = nullptr);

  void setDocument(AnimHeader* document);
  AnimHeader* document() const { return document_; }
  // Frame count, screen size or order changed: relayout and forget cached renderings.
  void documentChanged();
  // One frame's pixels or properties changed: only its rendering is made again.
  void frameChanged(int index);
  void setZoom(int zoomIndex);
  int zoom() const { return zoom_; }
  // 0 automatic, 4097 vertical, 4098 horizontal; stored, and taken up again by the next strip.
  void setOrientation(int code);
  int orientation() const { return orientation_; }

  // Transparency display: applied from the stored word at creation, stored when it changes;
  // the commands 40088 (window background), 40089 (frame colour) and 40090 (custom colour,
  // chosen in a colour dialog) change it.
  void setTransparencyDisplay(const TransparencyDisplay& display);
  const TransparencyDisplay& transparencyDisplay() const { return display_; }
  int transparencyMode() const { return display_.mode; }
  void transparencyCommand(int id);
  // The colour dialog of command 40090: the initial colour in, the chosen one or nothing out.
  using ColourChooser = std::function<std::optional<QColor>(QColor initial, QWidget* parent)>;
  void setColourChooser(ColourChooser chooser) { chooseColour_ = std::move(chooser); }

  // Frame tips (command 40344): on or off as stored; the toggle stores the new state.
  void applyFrameTipSetting();
  void toggleFrameTips();
  bool frameTipsOn() const { return tipsOn_; }
  FrameTipPopup* tipPopup() const { return tip_; }

  // View > "显示实际画面": cells (and the frame tip's picture) show each frame as the viewer
  // sees it at that point, the stored rectangle outlined; off, the stored frames alone.
  // Stored, on unless turned off.
  void setShowComposed(bool on);
  bool showComposed() const { return composed_; }
  // View > "显示帧字节": each cell shows its frame's encoded bytes with a bar scaled to the
  // largest frame. Stored, off unless turned on; `frameCostsWanted` asks the shell to measure.
  void setShowFrameCosts(bool on);
  bool showFrameCosts() const { return showCosts_; }
  // The size worker's costs in document order; a frame edited since shows "…" until the next.
  void setFrameCosts(std::vector<int64_t> costs);
  int64_t frameCost(int index) const;  // -1 when unknown
  // The cell picture at numerator / denominator as the present setting draws it.
  QImage renderFrame(int index, int numerator, int denominator);

  // The commands of the context menu come from the window.
  void setCommandProvider(CommandProvider commands) { commands_ = std::move(commands); }
  // The context menu for the present selection, as a right click shows it.
  void buildContextMenu(QMenu& menu);

  void setCurrent(int index) { current_ = index; }
  const StripGeometry& geometry() const { return geometry_; }
  int hitTest(QPoint viewportPoint) const;
  QPoint cellCentre(int index) const;  // viewport coordinates
  void ensureVisible(int index);
  // Renderings made since the strip was created (cache hits are not renderings).
  int renderCount() const { return renders_; }
  void setCacheBudget(qsizetype bytes) { cache_.setBudget(bytes); }

  // The drag gesture's autoscroll: one timer tick, and whether the timer runs.
  void autoscrollStep();
  bool autoscrolling() const { return autoscroll_.isActive(); }
  // The slot a drop would land in now, or -1.
  int insertionMarker() const { return marker_.index; }

 signals:
  // The user selected: the shell sets its current frame to `current`.
  void selectionChanged(int current);
  // The selection was dragged to the slot `insertion`.
  void dropAt(int insertion);
  void filesDropped(int index, QStringList paths);
  // Ctrl+wheel: +1 to zoom in one step, -1 to zoom out.
  void zoomStepRequested(int direction);
  void frameCostsWanted(bool on);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent*) override;
  void changeEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void relayout();
  QScrollBar* acrossBar() const;
  int acrossScroll() const;
  int alongScroll() const;
  int acrossExtent() const;
  void toContent(QPoint p, int& across, int& along) const;
  const QImage& cellImage(const ImageBlock& frame);
  // Composed mode: makes the missing cells of frames first..last in one compositor walk.
  void prepareComposedCells(int first, int last);
  void forgetRenderings();
  void selectAndNotify(int index, int flags);
  void pressAt(QMouseEvent* e);
  void trackDrag(QPoint viewportPoint);
  void endDrag();
  void drawMarker(QPainter& p);
  void showTipAt(QPoint viewportPoint);
  void showContextMenu(QPoint globalPos);
  void triggerCommand(int id);

  AnimHeader* document_ = nullptr;
  StripGeometry geometry_;
  int zoom_ = 0;
  int orientation_ = 0;
  TransparencyDisplay display_;
  ColourChooser chooseColour_;
  CellCache cache_;
  int renders_ = 0;
  CommandProvider commands_;
  FrameTipPopup* tip_ = nullptr;
  bool tipsOn_ = false;
  bool composed_ = true;
  bool showCosts_ = false;
  std::vector<int64_t> costs_;
  int64_t largestCost_ = 0;
  ComposedWalk cellWalk_, tipWalk_;
  int wheelRemainder_ = 0;
  // Drag gesture.
  bool armed_ = false, dragging_ = false, pressHandled_ = false;
  QPoint pressPoint_, dragPoint_;
  int pressedIndex_ = -1;
  int dragFrameCount_ = 0;
  DragTarget marker_;
  QTimer autoscroll_;
  int autoscrollDirection_ = 0;
  int current_ = -1;
};

}  // namespace fw
