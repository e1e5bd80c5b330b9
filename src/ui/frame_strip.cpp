#include "ui/frame_strip.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include "core/anim_document.h"
#include "core/display_mask.h"
#include "core/preferences.h"
#include "ui/composed_cells.h"
#include "ui/frame_cost_overlay.h"
#include "ui/frame_tip_popup.h"
#include "ui/frame_tip_text.h"

namespace fw {
namespace {

constexpr int kAutoscrollMs = 100;
// How close to an across edge the pointer must come for a drag to scroll on its own.
constexpr int kAutoscrollMargin = 16;
constexpr int kWheelNotch = 120;
// Orientation codes and the option bits that keep a fixed orientation.
constexpr int kVerticalCode = 4097, kHorizontalCode = 4098;
constexpr uint32_t kFixedVertical = 1u << 4, kFixedHorizontal = 1u << 5;

std::optional<QColor> AskColour(QColor initial, QWidget* parent) {
  // The dialog keeps the custom colours chosen earlier in this run.
  const QColor c = QColorDialog::getColor(initial, parent);
  if (!c.isValid()) return std::nullopt;
  return c;
}

int ModifierFlags(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier) ? kSelectExtend : (m & Qt::ControlModifier) ? kSelectToggle : kSelectPlain;
}

}  // namespace

FrameStrip::FrameStrip(QWidget* parent) : QAbstractScrollArea(parent), chooseColour_(&AskColour) {
  setObjectName(QStringLiteral("MyClient"));
  setAcceptDrops(true);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Button);
  setFocusPolicy(Qt::StrongFocus);
  autoscroll_.setInterval(kAutoscrollMs);
  connect(&autoscroll_, &QTimer::timeout, this, &FrameStrip::autoscrollStep);
  tip_ = new FrameTipPopup(this);
  display_ = TransparencyDisplay::fromPreference(Prefs().read(pref::kStripTransparency));
  orientation_ = Prefs().bit(pref::kOptionFlags, kFixedHorizontal) ? kHorizontalCode
                 : Prefs().bit(pref::kOptionFlags, kFixedVertical) ? kVerticalCode
                                                                    : 0;
  applyFrameTipSetting();
  composed_ = ComposedCellsSetting();
  showCosts_ = FrameCostSetting();
}

void FrameStrip::setShowFrameCosts(bool on) {
  if (on == showCosts_) return;
  showCosts_ = on;
  StoreFrameCostSetting(on);
  viewport()->update();
  emit frameCostsWanted(on);
}

void FrameStrip::setFrameCosts(std::vector<int64_t> costs) {
  costs_ = std::move(costs);
  largestCost_ = costs_.empty() ? 0 : *std::max_element(costs_.begin(), costs_.end());
  if (showCosts_) viewport()->update();
}

int64_t FrameStrip::frameCost(int index) const {
  return index >= 0 && static_cast<size_t>(index) < costs_.size() ? costs_[static_cast<size_t>(index)] : -1;
}

void FrameStrip::setShowComposed(bool on) {
  if (on == composed_) return;
  composed_ = on;
  StoreComposedCellsSetting(on);
  forgetRenderings();
  tip_->clear();
  viewport()->update();
}

QImage FrameStrip::renderFrame(int index, int numerator, int denominator) {
  const ImageBlock* f = document_ ? ImageAt(document_, index) : nullptr;
  if (!f) return {};
  const QColor face = palette().color(QPalette::Button);
  if (!composed_) return RenderCell(*f, display_, face, numerator, denominator);
  QImage picture;
  tipWalk_.run(
      *document_, index, index, [](const ImageBlock&) { return true; },
      [&](const ImageBlock& canvas, const ImageBlock& frame) {
        return RenderComposedCell(canvas, frame, display_, face, numerator, denominator);
      },
      [&](const ImageBlock&, QImage cell) { picture = std::move(cell); });
  return picture;
}

void FrameStrip::prepareComposedCells(int first, int last) {
  if (!composed_ || !document_) return;
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  const QColor face = palette().color(QPalette::Button);
  cellWalk_.run(
      *document_, first, last, [this](const ImageBlock& f) { return !cache_.find(&f); },
      [&](const ImageBlock& canvas, const ImageBlock& frame) {
        ++renders_;
        return RenderComposedCell(canvas, frame, display_, face, num, den);
      },
      [this](const ImageBlock& frame, QImage cell) { cache_.insert(&frame, std::move(cell)); });
}

void FrameStrip::setDocument(AnimHeader* document) {
  if (dragging_) endDrag();
  document_ = document;
  costs_.clear();
  largestCost_ = 0;
  forgetRenderings();
  relayout();
}

void FrameStrip::documentChanged() {
  // Frames may have moved: no cost is shown against the wrong frame until the next measure.
  std::fill(costs_.begin(), costs_.end(), -1);
  forgetRenderings();
  relayout();
}

void FrameStrip::forgetRenderings() {
  cache_.clear();
  cellWalk_.reset();
  tipWalk_.reset();
  tip_->clear();
}

void FrameStrip::frameChanged(int index) {
  if (index >= 0 && static_cast<size_t>(index) < costs_.size()) costs_[static_cast<size_t>(index)] = -1;
  // A composed cell shows what the frames before it left: the later cells are stale as well.
  for (const ImageBlock* f = document_ ? ImageAt(document_, index) : nullptr; f; f = composed_ ? NextImage(f) : nullptr)
    cache_.remove(f);
  cellWalk_.reset();
  tipWalk_.reset();
  tip_->clear();
  viewport()->update();
}

void FrameStrip::setZoom(int zoomIndex) {
  zoomIndex = ClampZoom(zoomIndex);
  if (zoomIndex == zoom_) return;
  zoom_ = zoomIndex;
  cache_.clear();
  relayout();
}

void FrameStrip::setOrientation(int code) {
  if (code != kVerticalCode && code != kHorizontalCode) code = 0;
  Prefs().setBits(pref::kOptionFlags, kFixedVertical, code == kVerticalCode);
  Prefs().setBits(pref::kOptionFlags, kFixedHorizontal, code == kHorizontalCode);
  if (code == orientation_) return;
  // A cell's rendering does not depend on the direction the strips run, so it is kept.
  orientation_ = code;
  relayout();
}

void FrameStrip::setTransparencyDisplay(const TransparencyDisplay& display) {
  if (display == display_) return;
  display_ = display;
  Prefs().write(pref::kStripTransparency, display_.toPreference());
  // Frames keep the shown colour of their transparent index in their colour tables.
  if (document_) RebuildDisplayMasks(*document_);
  forgetRenderings();
  viewport()->update();
}

void FrameStrip::transparencyCommand(int id) {
  TransparencyDisplay d = display_;
  if (id == 40088) {
    d.mode = TransparencyDisplay::kWindowBackground;
  } else if (id == 40089) {
    d.mode = TransparencyDisplay::kFrameColour;
  } else if (id == 40090) {
    const std::optional<QColor> chosen = chooseColour_ ? chooseColour_(display_.colour, this) : std::nullopt;
    if (!chosen) return;
    d.mode = TransparencyDisplay::kCustomColour;
    d.colour = QColor(chosen->red(), chosen->green(), chosen->blue());
  } else {
    return;
  }
  setTransparencyDisplay(d);
}

void FrameStrip::applyFrameTipSetting() {
  tipsOn_ = Prefs().bit(pref::kFrameTips, tip_item::kOn);
  viewport()->setMouseTracking(tipsOn_);
  if (!tipsOn_) tip_->clear();
}

void FrameStrip::toggleFrameTips() {
  Prefs().setBits(pref::kFrameTips, tip_item::kOn, !tipsOn_);
  applyFrameTipSetting();
}

void FrameStrip::buildContextMenu(QMenu& menu) {
  BuildStripMenu(menu, document_ && document_->selectedCount > 0, commands_);
}

void FrameStrip::relayout() {
  const bool vertical = orientation_ == kVerticalCode     ? true
                        : orientation_ == kHorizontalCode ? false
                        : document_ && document_->screenHeight < document_->screenWidth;
  QScrollBar* across = vertical ? horizontalScrollBar() : verticalScrollBar();
  QScrollBar* along = vertical ? verticalScrollBar() : horizontalScrollBar();
  if (!document_) {
    geometry_ = StripGeometry{};
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    viewport()->update();
    return;
  }
  if (vertical != geometry_.vertical) {
    // The bars swap their meaning: an old position would land in the middle of nowhere.
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
  }
  const QSize client = viewport()->size();
  const int alongExtent = vertical ? client.height() : client.width();
  const int acrossExtent = vertical ? client.width() : client.height();
  geometry_ = ComputeStripGeometry(document_->screenWidth, document_->screenHeight, zoom_, vertical,
                                   document_->frameCount, alongExtent);
  along->setRange(0, std::max(0, geometry_.length + 2 * kStripGap - alongExtent));
  along->setPageStep(alongExtent);
  along->setSingleStep(ScrollDelta(ScrollStep::LineDown, alongExtent));
  across->setRange(0, std::max(0, geometry_.stripCount * geometry_.thickness - acrossExtent));
  across->setPageStep(acrossExtent);
  across->setSingleStep(ScrollDelta(ScrollStep::LineDown, acrossExtent));
  viewport()->update();
}

QScrollBar* FrameStrip::acrossBar() const {
  return geometry_.vertical ? horizontalScrollBar() : verticalScrollBar();
}
int FrameStrip::acrossScroll() const { return acrossBar()->value(); }
int FrameStrip::alongScroll() const {
  return geometry_.vertical ? verticalScrollBar()->value() : horizontalScrollBar()->value();
}
int FrameStrip::acrossExtent() const { return geometry_.vertical ? viewport()->width() : viewport()->height(); }

void FrameStrip::toContent(QPoint p, int& across, int& along) const {
  across = acrossScroll() + (geometry_.vertical ? p.x() : p.y());
  along = alongScroll() + (geometry_.vertical ? p.y() : p.x());
}

int FrameStrip::hitTest(QPoint p) const {
  if (!document_) return -1;
  int across = 0, along = 0;
  toContent(p, across, along);
  return StripHitTest(geometry_, across, along);
}

QPoint FrameStrip::cellCentre(int index) const {
  int across = 0, along = 0;
  CellOrigin(geometry_, index, across, along);
  across += 4 + (geometry_.vertical ? geometry_.zoomedWidth : geometry_.zoomedHeight) / 2 - acrossScroll();
  along += 4 + geometry_.length / 2 - 4 - alongScroll();
  return geometry_.vertical ? QPoint(across, along) : QPoint(along, across);
}

void FrameStrip::ensureVisible(int index) {
  if (!document_ || index < 0) return;
  acrossBar()->setValue(std::min(acrossBar()->maximum(), geometry_.thickness * (index / geometry_.framesPerStrip)));
}

const QImage& FrameStrip::cellImage(const ImageBlock& frame) {
  if (const QImage* hit = cache_.find(&frame)) return *hit;
  ++renders_;
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  return cache_.insert(&frame, RenderCell(frame, display_, palette().color(QPalette::Button), num, den));
}

void FrameStrip::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  if (!document_) {
    // The start panel, when the window shows one, says more than this line.
    const bool panelShown = std::any_of(viewport()->children().begin(), viewport()->children().end(), [](QObject* c) {
      auto* w = qobject_cast<QWidget*>(c);
      return w && w->isVisible();
    });
    if (!panelShown) {
      p.setPen(palette().color(QPalette::ButtonText));
      p.drawText(viewport()->rect(), Qt::AlignCenter, QString::fromUtf8("准备动画"));
    }
    return;
  }
  cache_.beginPaint();
  const StripGeometry& g = geometry_;
  const QRect dirty = event->rect();
  const int acrossFrom = acrossScroll() + (g.vertical ? dirty.left() : dirty.top());
  const int acrossTo = acrossScroll() + (g.vertical ? dirty.right() : dirty.bottom());
  const int firstStrip = std::max(0, acrossFrom / std::max(1, g.thickness));
  const int lastStrip = std::min(g.stripCount - 1, acrossTo / std::max(1, g.thickness));
  auto rect = [&](int across, int along, int acrossSize, int alongSize) {
    across -= acrossScroll();
    along -= alongScroll();
    return g.vertical ? QRect(across, along, acrossSize, alongSize) : QRect(along, across, alongSize, acrossSize);
  };
  const int w = g.zoomedWidth, h = g.zoomedHeight;
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  const QColor buttonFace = palette().color(QPalette::Button);
  // One walk along the block list from the first visible frame, not a search per cell.
  if (firstStrip <= lastStrip)
    prepareComposedCells(firstStrip * g.framesPerStrip, std::min(g.frameCount, (lastStrip + 1) * g.framesPerStrip) - 1);
  const ImageBlock* f = firstStrip <= lastStrip ? ImageAt(document_, firstStrip * g.framesPerStrip) : nullptr;
  for (int s = firstStrip; s <= lastStrip && f; ++s) {
    const int cells = std::min(g.framesPerStrip, g.frameCount - s * g.framesPerStrip);
    const int stripLength = cells * g.length + 2 * kStripGap;
    // The film: a dark band with perforations down its edge.
    p.fillRect(rect(s * g.thickness + 1, 1, g.thickness - 2, stripLength - 2), QColor(60, 60, 60));
    for (int along = kStripGap; along + 6 < stripLength; along += 12)
      p.fillRect(rect(s * g.thickness + 4, along, kPerforation - 4, 6), buttonFace);
    for (int k = 0; k < cells && f; ++k, f = NextImage(f)) {
      const int index = s * g.framesPerStrip + k;
      int across = 0, along = 0;
      CellOrigin(g, index, across, along);
      const QRect box = rect(across + 1, along + 1, (g.vertical ? w : h) + 6, (g.vertical ? h : w) + 6);
      if (!box.intersects(dirty)) continue;
      p.setPen(QPen(f->selected ? QColor(255, 0, 0) : buttonFace, 2));
      p.drawRect(box.adjusted(1, 1, -1, -1));
      p.setPen(Qt::black);
      const QRect inner = rect(across + 3, along + 3, (g.vertical ? w : h) + 2, (g.vertical ? h : w) + 2);
      p.drawRect(inner.adjusted(0, 0, -1, -1));
      const QRect image = inner.adjusted(1, 1, -1, -1);
      p.fillRect(image, buttonFace);
      p.save();
      p.setClipRect(image);
      const QPoint offset = composed_ ? QPoint() : QPoint(num * f->left / den, num * f->top / den);
      p.drawImage(image.topLeft() + offset, cellImage(*f));
      p.restore();
      if (showCosts_) DrawFrameCost(p, image, frameCost(index), largestCost_);
    }
  }
  if (dragging_ && marker_.index >= 0) drawMarker(p);
}

// The insertion marker: a two-pixel line across the cell image at the slot boundary with an
// arrow at each end, drawn by inverting what lies below.
void FrameStrip::drawMarker(QPainter& p) {
  const StripGeometry& g = geometry_;
  const int slot = marker_.index - marker_.strip * g.framesPerStrip;
  const int acrossStart = marker_.strip * g.thickness + g.imageOffset + 4 - acrossScroll();
  const int acrossSize = g.vertical ? g.zoomedWidth : g.zoomedHeight;
  const int along = slot * g.length + kStripGap - 1 - alongScroll();
  auto at = [&](int across, int alongPos) { return g.vertical ? QPointF(across, alongPos) : QPointF(alongPos, across); };
  QPainterPath path;
  path.addRect(g.vertical ? QRectF(acrossStart, along, acrossSize, 2) : QRectF(along, acrossStart, 2, acrossSize));
  // Arrows point inwards from both ends of the line.
  for (int end = 0; end < 2; ++end) {
    const int base = end == 0 ? acrossStart - 8 : acrossStart + acrossSize + 8;
    const int tip = end == 0 ? acrossStart : acrossStart + acrossSize;
    QPolygonF arrow;
    arrow << at(base, along - 3) << at(tip, along + 1) << at(base, along + 5);
    path.addPolygon(arrow);
    path.closeSubpath();
  }
  p.save();
  p.setCompositionMode(QPainter::RasterOp_NotDestination);
  p.fillPath(path, Qt::black);
  p.restore();
}

void FrameStrip::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void FrameStrip::scrollContentsBy(int dx, int dy) {
  // Moving the pixels already drawn leaves only the uncovered band to paint; the marker is
  // drawn relative to the window, so a drag repaints everything.
  if (dragging_) viewport()->update();
  else viewport()->scroll(dx, dy);
}

bool FrameStrip::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::Leave) tip_->follow({}, false);
  return QAbstractScrollArea::viewportEvent(e);
}

void FrameStrip::changeEvent(QEvent* e) {
  // Window-background cells are rendered over the button face.
  if (e->type() == QEvent::PaletteChange) forgetRenderings();
  QAbstractScrollArea::changeEvent(e);
}

void FrameStrip::selectAndNotify(int index, int flags) {
  if (!document_) return;
  SelectFrames(*document_, index, flags);
  current_ = CurrentAfterSelect(*document_, index);
  viewport()->update();
  emit selectionChanged(current_);
}

void FrameStrip::pressAt(QMouseEvent* e) {
  tip_->follow({}, false);
  pressPoint_ = e->position().toPoint();
  pressedIndex_ = hitTest(pressPoint_);
  pressHandled_ = false;
  const ImageBlock* f = pressedIndex_ >= 0 ? ImageAt(document_, pressedIndex_) : nullptr;
  if ((!f || !f->selected) && !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
    selectAndNotify(pressedIndex_, kSelectPlain);
    pressHandled_ = true;
  }
}

void FrameStrip::mousePressEvent(QMouseEvent* e) {
  if (!document_) return;
  pressAt(e);
  armed_ = e->button() == Qt::LeftButton && current_ >= 0;
}

void FrameStrip::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!document_) return;
  pressAt(e);
  armed_ = false;
  if (e->button() == Qt::LeftButton) triggerCommand(document_->selectedCount > 0 ? 40009 : 40008);
}

void FrameStrip::triggerCommand(int id) {
  if (commands_.refresh) commands_.refresh();
  if (QAction* a = commands_.action ? commands_.action(id) : nullptr) a->trigger();
}

void FrameStrip::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (!(e->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton))) {
    showTipAt(pos);
    return;
  }
  if (!document_ || !armed_ || !(e->buttons() & Qt::LeftButton)) return;
  if (!dragging_) {
    if (std::abs(pos.x() - pressPoint_.x()) <= 2 && std::abs(pos.y() - pressPoint_.y()) <= 2) return;
    const ImageBlock* f = pressedIndex_ >= 0 ? ImageAt(document_, pressedIndex_) : nullptr;
    if (f && !f->selected && (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
      selectAndNotify(pressedIndex_, ModifierFlags(e->modifiers()));
    dragging_ = true;
    dragFrameCount_ = document_->frameCount;
    setCursor(Qt::SizeAllCursor);
  }
  trackDrag(pos);
}

void FrameStrip::trackDrag(QPoint pos) {
  dragPoint_ = pos;
  int across = 0, along = 0;
  toContent(pos, across, along);
  const AcrossScroll scroll{acrossScroll(), acrossBar()->maximum(), acrossExtent()};
  const int pointer = geometry_.vertical ? pos.x() : pos.y();
  const DragTarget t = DragInsertion(geometry_, scroll, pointer, along, dragFrameCount_, kAutoscrollMargin);
  if (t.index != marker_.index || t.strip != marker_.strip) {
    marker_ = t;
    viewport()->update();
  }
  autoscrollDirection_ = t.autoscroll;
  if (t.autoscroll == 0) autoscroll_.stop();
  else if (!autoscroll_.isActive()) autoscroll_.start();
}

void FrameStrip::autoscrollStep() {
  if (!dragging_ || autoscrollDirection_ == 0) {
    autoscroll_.stop();
    return;
  }
  QScrollBar* bar = acrossBar();
  const int extent = acrossExtent();
  bar->setValue(bar->value() +
                ScrollDelta(autoscrollDirection_ < 0 ? ScrollStep::LineUp : ScrollStep::LineDown, extent));
  trackDrag(dragPoint_);
}

void FrameStrip::endDrag() {
  dragging_ = armed_ = false;
  autoscroll_.stop();
  autoscrollDirection_ = 0;
  marker_ = DragTarget{};
  unsetCursor();
  viewport()->update();
}

void FrameStrip::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    showContextMenu(e->globalPosition().toPoint());
    return;
  }
  if (!document_ || e->button() != Qt::LeftButton) return;
  if (dragging_) {
    const int insertion = marker_.index;
    endDrag();
    if (insertion >= 0) emit dropAt(insertion);
    return;
  }
  armed_ = false;
  if (!pressHandled_) selectAndNotify(hitTest(e->position().toPoint()), ModifierFlags(e->modifiers()));
  showTipAt(e->position().toPoint());
}

void FrameStrip::showContextMenu(QPoint globalPos) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("StripMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  buildContextMenu(*menu);
  menu->popup(globalPos);
}

void FrameStrip::contextMenuEvent(QContextMenuEvent* e) {
  // The mouse's menu opens on the right button's release; the menu key opens it here.
  if (e->reason() == QContextMenuEvent::Keyboard) showContextMenu(e->globalPos());
  e->accept();
}

void FrameStrip::showTipAt(QPoint pos) {
  if (!tipsOn_) return;
  const int index = hitTest(pos);
  const ImageBlock* f = index >= 0 ? ImageAt(document_, index) : nullptr;
  if (!f) {
    tip_->clear();
    return;
  }
  const QString text = QString::fromStdString(
      FrameTipText(*f, index, Prefs().read(pref::kFrameTips), Prefs().timeBase(), frameCost(index)));
  tip_->setTip(text, f, [&] {
    QImage picture = renderFrame(index, 1, 1);
    const TipPictureSize size = TipPicture(picture.width(), picture.height());
    if (size.width != picture.width())
      picture = picture.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return picture;
  });
  tip_->follow(viewport()->mapToGlobal(pos), viewport()->rect().contains(pos));
}

void FrameStrip::wheelEvent(QWheelEvent* e) {
  // Fine-grained wheels send fractions of a notch; each whole notch is one line (or one zoom
  // step). Horizontal wheels and trackpads report on the other axis.
  const QPoint angle = e->angleDelta();
  wheelRemainder_ += angle.y() != 0 ? angle.y() : angle.x();
  int notches = 0;
  for (; wheelRemainder_ >= kWheelNotch; wheelRemainder_ -= kWheelNotch) --notches;
  for (; wheelRemainder_ <= -kWheelNotch; wheelRemainder_ += kWheelNotch) ++notches;
  e->accept();
  if (notches == 0) return;
  if (e->modifiers() & Qt::ControlModifier) {
    for (int n = 0; n < std::abs(notches); ++n) emit zoomStepRequested(notches < 0 ? 1 : -1);
    return;
  }
  // Along the strip, the way its frames run; where that way has nothing to scroll (the
  // frames wrap into several strips), across them. Shift takes the other way.
  QScrollBar* along = geometry_.vertical ? verticalScrollBar() : horizontalScrollBar();
  QScrollBar* bar = along->maximum() > along->minimum() ? along : acrossBar();
  if (e->modifiers() & Qt::ShiftModifier) bar = bar == along ? acrossBar() : along;
  const int extent = bar->orientation() == Qt::Vertical ? viewport()->height() : viewport()->width();
  const ScrollStep step = notches < 0 ? ScrollStep::LineUp : ScrollStep::LineDown;
  for (int n = 0; n < std::abs(notches); ++n) bar->setValue(bar->value() + ScrollDelta(step, extent));
}

void FrameStrip::keyPressEvent(QKeyEvent* e) {
  if (!document_) return QAbstractScrollArea::keyPressEvent(e);
  if (e->key() == Qt::Key_Escape && dragging_) {
    endDrag();
    return;
  }
  QScrollBar* across = acrossBar();
  switch (e->key()) {
    case Qt::Key_PageUp: across->setValue(across->value() + ScrollDelta(ScrollStep::PageUp, acrossExtent())); return;
    case Qt::Key_PageDown:
      across->setValue(across->value() + ScrollDelta(ScrollStep::PageDown, acrossExtent()));
      return;
    case Qt::Key_Home: across->setValue(across->minimum()); return;
    case Qt::Key_End: across->setValue(across->maximum()); return;
    default: break;
  }
  int step = 0;
  const int perStrip = geometry_.framesPerStrip;
  const bool v = geometry_.vertical;
  switch (e->key()) {
    case Qt::Key_Left: step = v ? -perStrip : -1; break;
    case Qt::Key_Right: step = v ? perStrip : 1; break;
    case Qt::Key_Up: step = v ? -1 : -perStrip; break;
    case Qt::Key_Down: step = v ? 1 : perStrip; break;
    default: return QAbstractScrollArea::keyPressEvent(e);
  }
  int target = current_ < 0 ? -1 : current_ + step;
  if (current_ >= 0 && (target < 0 || target >= document_->frameCount)) target = current_;
  selectAndNotify(target, ModifierFlags(e->modifiers()));
  ensureVisible(document_->selectionAnchor);
}

void FrameStrip::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void FrameStrip::dropEvent(QDropEvent* e) {
  QStringList paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (paths.isEmpty()) return;
  e->acceptProposedAction();
  emit filesDropped(hitTest(e->position().toPoint()), paths);
}

}  // namespace fw
