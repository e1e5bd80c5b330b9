#include "ui/composed_cells.h"

#include <QPainter>

#include "core/compositor.h"
#include "core/preference_store.h"
#include "core/preferences.h"

namespace fw {
namespace {
constexpr const char* kSettingName = "StripShowsComposed";
}

bool ComposedCellsSetting() {
  PreferenceStore* store = Prefs().store();
  const std::optional<uint32_t> stored = store ? store->number(kSettingName) : std::nullopt;
  return !stored || *stored != 0;
}

void StoreComposedCellsSetting(bool on) {
  if (PreferenceStore* store = Prefs().store()) store->setNumber(kSettingName, on ? 1 : 0);
}

QColor StoredRectangleColour() { return QColor(255, 0, 255); }

QImage RenderComposedCell(const ImageBlock& canvas, const ImageBlock& frame, const TransparencyDisplay& display,
                          QColor windowBackground, int numerator, int denominator) {
  QImage cell = RenderCell(canvas, display, windowBackground, numerator, denominator);
  if (cell.isNull()) return cell;
  cell = cell.convertToFormat(QImage::Format_ARGB32);
  const int x0 = numerator * frame.left / denominator, y0 = numerator * frame.top / denominator;
  const int x1 = numerator * (frame.left + frame.width) / denominator - 1;
  const int y1 = numerator * (frame.top + frame.height) / denominator - 1;
  // Only a rectangle smaller than the screen says anything.
  if (x0 <= 0 && y0 <= 0 && x1 >= cell.width() - 1 && y1 >= cell.height() - 1) return cell;
  QPainter p(&cell);
  p.setPen(QPen(StoredRectangleColour(), 1, Qt::DotLine));
  // A one-pixel pen draws the right and bottom edges at x + w and y + h.
  p.drawRect(x0, y0, x1 - x0, y1 - y0);
  return cell;
}

ComposedWalk::ComposedWalk() = default;
ComposedWalk::~ComposedWalk() = default;

void ComposedWalk::reset() {
  compositor_.reset();
  document_ = nullptr;
  canvas_ = nullptr;
  index_ = -1;
}

void ComposedWalk::run(const AnimHeader& document, int first, int last,
                       const std::function<bool(const ImageBlock&)>& wanted,
                       const std::function<QImage(const ImageBlock& canvas, const ImageBlock& frame)>& render,
                       const std::function<void(const ImageBlock& frame, QImage cell)>& made) {
  bool any = false;
  const ImageBlock* f = ImageAt(&document, first);
  for (int i = first; f && i <= last && !any; ++i, f = NextImage(f)) any = wanted(*f);
  if (!any) return;
  // The frame the walk stands on must still be where it was: otherwise start over.
  const bool valid = compositor_ && canvas_ && document_ == &document && index_ <= first &&
                     ImageAt(&document, index_) == compositor_->currentFrame();
  if (!valid) {
    reset();
    compositor_ = std::make_unique<Compositor>(document);
    document_ = &document;
    canvas_ = compositor_->first();
    index_ = 0;
  }
  while (canvas_) {
    const ImageBlock* frame = compositor_->currentFrame();
    if (index_ >= first && frame && wanted(*frame)) made(*frame, render(*canvas_, *frame));
    if (index_ >= last) return;
    canvas_ = compositor_->next();
    ++index_;
  }
  reset();  // past the last frame
}

}  // namespace fw
