#include "ui/frame_strip.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "core/anim_document.h"
#include "ui/frame_image.h"

namespace fw {

FrameStrip::FrameStrip(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("MyClient"));
  setAcceptDrops(true);
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Button);
  setFocusPolicy(Qt::StrongFocus);
}

void FrameStrip::setDocument(AnimHeader* document) {
  document_ = document;
  cache_.clear();
  relayout();
}

void FrameStrip::documentChanged() {
  cache_.clear();
  relayout();
}

void FrameStrip::frameChanged(int index) {
  if (const ImageBlock* f = document_ ? ImageAt(document_, index) : nullptr) cache_.remove(f);
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
  orientation_ = code;
  relayout();
}

void FrameStrip::setTransparencyMode(int mode) {
  transparencyMode_ = mode;
  cache_.clear();
  viewport()->update();
}

int FrameStrip::takeRenderCount() {
  const int n = renders_;
  renders_ = 0;
  return n;
}

void FrameStrip::relayout() {
  const bool vertical = orientation_ == 4097 ? true
                        : orientation_ == 4098 ? false
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
  const QSize client = viewport()->size();
  const int alongExtent = vertical ? client.height() : client.width();
  const int acrossExtent = vertical ? client.width() : client.height();
  geometry_ = ComputeStripGeometry(document_->screenWidth, document_->screenHeight, zoom_, vertical,
                                   document_->frameCount, alongExtent);
  along->setRange(0, std::max(0, geometry_.length + 2 * kStripGap - alongExtent));
  along->setPageStep(alongExtent);
  across->setRange(0, std::max(0, geometry_.stripCount * geometry_.thickness - acrossExtent));
  across->setPageStep(acrossExtent);
  across->setSingleStep(std::max(1, acrossExtent / 16));
  viewport()->update();
}

int FrameStrip::acrossScroll() const {
  return geometry_.vertical ? horizontalScrollBar()->value() : verticalScrollBar()->value();
}
int FrameStrip::alongScroll() const {
  return geometry_.vertical ? verticalScrollBar()->value() : horizontalScrollBar()->value();
}

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
  QScrollBar* across = geometry_.vertical ? horizontalScrollBar() : verticalScrollBar();
  across->setValue(std::min(across->maximum(), geometry_.thickness * (index / geometry_.framesPerStrip)));
}

const QImage& FrameStrip::cellImage(const ImageBlock& frame) {
  auto it = cache_.find(&frame);
  if (it != cache_.end()) return *it;
  ++renders_;
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  QImage image = FrameToImage(frame, transparencyMode_ == 0);
  if (num != den && !image.isNull())
    image = image.scaled(std::max(1, num * image.width() / den), std::max(1, num * image.height() / den),
                         Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return *cache_.insert(&frame, image);
}

void FrameStrip::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  if (!document_) {
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(viewport()->rect(), Qt::AlignCenter, QString::fromUtf8("准备动画"));
    return;
  }
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
  for (int s = firstStrip; s <= lastStrip; ++s) {
    const int cells = std::min(g.framesPerStrip, g.frameCount - s * g.framesPerStrip);
    const int stripLength = cells * g.length + 2 * kStripGap;
    // The film: a dark band with perforations down its edge.
    p.fillRect(rect(s * g.thickness + 1, 1, g.thickness - 2, stripLength - 2), QColor(60, 60, 60));
    for (int along = kStripGap; along + 6 < stripLength; along += 12)
      p.fillRect(rect(s * g.thickness + 4, along, kPerforation - 4, 6), palette().color(QPalette::Button));
    for (int k = 0; k < cells; ++k) {
      const int index = s * g.framesPerStrip + k;
      const ImageBlock* f = ImageAt(document_, index);
      if (!f) break;
      int across = 0, along = 0;
      CellOrigin(g, index, across, along);
      const QRect box = rect(across + 1, along + 1, (g.vertical ? w : h) + 6, (g.vertical ? h : w) + 6);
      if (!box.intersects(dirty)) continue;
      p.setPen(QPen(f->selected ? QColor(255, 0, 0) : palette().color(QPalette::Button), 2));
      p.drawRect(box.adjusted(1, 1, -1, -1));
      p.setPen(Qt::black);
      const QRect inner = rect(across + 3, along + 3, (g.vertical ? w : h) + 2, (g.vertical ? h : w) + 2);
      p.drawRect(inner.adjusted(0, 0, -1, -1));
      const QRect image = inner.adjusted(1, 1, -1, -1);
      p.fillRect(image, palette().color(QPalette::Button));
      p.save();
      p.setClipRect(image);
      int num = 1, den = 1;
      ZoomFraction(zoom_, num, den);
      p.drawImage(image.topLeft() + QPoint(num * f->left / den, num * f->top / den), cellImage(*f));
      p.restore();
    }
  }
  if (dragging_ && marker_ >= 0) {
    const int strip = std::min(marker_ / g.framesPerStrip, std::max(0, g.stripCount - 1));
    const int slot = marker_ - strip * g.framesPerStrip;
    const QRect line = rect(strip * g.thickness + g.imageOffset + 4, slot * g.length + kStripGap - 1,
                            g.vertical ? w : h, 2);
    p.fillRect(line, QColor(0, 0, 255));
  }
}

void FrameStrip::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void FrameStrip::selectAndNotify(int index, int flags) {
  if (!document_) return;
  SelectFrames(*document_, index, flags);
  current_ = CurrentAfterSelect(*document_, index);
  viewport()->update();
  emit selectionChanged(current_);
}

static int ModifierFlags(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier) ? kSelectExtend : (m & Qt::ControlModifier) ? kSelectToggle : kSelectPlain;
}

void FrameStrip::mousePressEvent(QMouseEvent* e) {
  if (!document_) return;
  pressPoint_ = e->position().toPoint();
  pressedIndex_ = hitTest(pressPoint_);
  pressHandled_ = false;
  const ImageBlock* f = pressedIndex_ >= 0 ? ImageAt(document_, pressedIndex_) : nullptr;
  if ((!f || !f->selected) && !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
    selectAndNotify(pressedIndex_, kSelectPlain);
    pressHandled_ = true;
  }
  armed_ = e->button() == Qt::LeftButton && current_ >= 0;
}

void FrameStrip::mouseMoveEvent(QMouseEvent* e) {
  if (!document_ || !armed_ || !(e->buttons() & Qt::LeftButton)) return;
  const QPoint pos = e->position().toPoint();
  if (!dragging_) {
    if (std::abs(pos.x() - pressPoint_.x()) <= 2 && std::abs(pos.y() - pressPoint_.y()) <= 2) return;
    const ImageBlock* f = pressedIndex_ >= 0 ? ImageAt(document_, pressedIndex_) : nullptr;
    if (f && !f->selected && (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
      selectAndNotify(pressedIndex_, ModifierFlags(e->modifiers()));
    dragging_ = true;
    setCursor(Qt::SizeAllCursor);
  }
  int across = 0, along = 0;
  toContent(pos, across, along);
  const int m = StripInsertionIndex(geometry_, across, along);
  if (m != marker_) {
    marker_ = m;
    viewport()->update();
  }
}

void FrameStrip::mouseReleaseEvent(QMouseEvent* e) {
  if (!document_) return;
  if (e->button() == Qt::RightButton) {
    emit contextMenuAt(e->globalPosition().toPoint(), current_ >= 0);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  if (dragging_) {
    dragging_ = armed_ = false;
    unsetCursor();
    const int insertion = marker_;
    marker_ = -1;
    viewport()->update();
    if (insertion >= 0) emit dropAt(insertion);
    return;
  }
  armed_ = false;
  if (!pressHandled_) selectAndNotify(hitTest(e->position().toPoint()), ModifierFlags(e->modifiers()));
}

void FrameStrip::keyPressEvent(QKeyEvent* e) {
  if (!document_) return QAbstractScrollArea::keyPressEvent(e);
  if (e->key() == Qt::Key_Escape && dragging_) {
    dragging_ = armed_ = false;
    marker_ = -1;
    unsetCursor();
    viewport()->update();
    return;
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
