#include "ui/strip_geometry.h"

#include <algorithm>

#include "core/anim_document.h"
#include "core/undo_history.h"

namespace fw {

int ClampZoom(int z) { return std::clamp(z, -4, 3); }

void ZoomFraction(int zoomIndex, int& numerator, int& denominator) {
  const int z = ClampZoom(zoomIndex);
  numerator = z < 0 ? 1 : z + 1;
  denominator = z < 0 ? 1 - z : 1;
}

StripGeometry ComputeStripGeometry(int screenWidth, int screenHeight, int zoomIndex, bool vertical, int frameCount,
                                   int alongExtent) {
  StripGeometry g;
  int num = 1, den = 1;
  ZoomFraction(zoomIndex, num, den);
  g.vertical = vertical;
  g.zoomedWidth = num * screenWidth / den;
  g.zoomedHeight = num * screenHeight / den;
  const int sw = g.zoomedWidth + 8, sh = g.zoomedHeight + 8;
  g.thickness = kPerforation + (vertical ? sw : sh) + 8;
  g.length = vertical ? sh : sw;
  g.imageOffset = kPerforation + 4;
  g.frameCount = frameCount;
  g.framesPerStrip = std::max(1, (alongExtent - 2 * kStripGap) / std::max(1, g.length));
  g.stripCount = (frameCount + g.framesPerStrip - 1) / g.framesPerStrip;
  return g;
}

int StripHitTest(const StripGeometry& g, int across, int along) {
  if (g.frameCount <= 0 || across < 0 || g.thickness <= 0) return -1;
  const int s = across / g.thickness;
  if (s >= g.stripCount || across % g.thickness <= g.imageOffset) return -1;
  if (along <= kStripGap) return -1;
  const int k = (along - kStripGap) / g.length;
  if (k >= g.framesPerStrip) return -1;
  const int index = s * g.framesPerStrip + k;
  return index < g.frameCount ? index : -1;
}

void CellOrigin(const StripGeometry& g, int index, int& across, int& along) {
  across = (index / g.framesPerStrip) * g.thickness + g.imageOffset;
  along = kStripGap + (index % g.framesPerStrip) * g.length;
}

int StripInsertionIndex(const StripGeometry& g, int across, int along) {
  if (g.thickness <= 0) return -1;
  const int a = std::max(0, across) / g.thickness;
  if (a >= std::max(1, g.stripCount)) return -1;
  const int slot = std::clamp((along + g.length / 2) / g.length, 0, g.framesPerStrip);
  return std::min(g.frameCount, a * g.framesPerStrip + slot);
}

DragTarget DragInsertion(const StripGeometry& g, const AcrossScroll& scroll, int pointer, int along, int frameLimit,
                         int edgeMargin) {
  DragTarget t;
  if (g.thickness <= 0 || g.stripCount <= 0) return t;
  const bool canGoBack = scroll.position > 0, canGoOn = scroll.position < scroll.maximum;
  int across = 0;
  if (pointer < 0) {
    if (canGoBack) {
      t.autoscroll = -1;
      return t;
    }
    across = 0;
  } else if (pointer >= scroll.extent) {
    if (canGoOn) {
      t.autoscroll = 1;
      return t;
    }
    across = (g.stripCount - 1) * g.thickness;
  } else {
    across = scroll.position + pointer;
    if (pointer < edgeMargin && canGoBack) t.autoscroll = -1;
    else if (pointer >= scroll.extent - edgeMargin && canGoOn) t.autoscroll = 1;
  }
  const int index = StripInsertionIndex(g, across, along);
  if (index < 0) return t;
  t.strip = across / g.thickness;
  t.index = std::min(index, std::max(0, frameLimit));
  return t;
}

int ScrollDelta(ScrollStep step, int extent) {
  switch (step) {
    case ScrollStep::LineUp: return -std::max(1, extent / 16 - 1);
    case ScrollStep::LineDown: return std::max(1, extent / 16 + 1);
    case ScrollStep::PageUp: return -std::max(1, extent / 2 - 1);
    case ScrollStep::PageDown: return std::max(1, extent / 2 + 1);
  }
  return 0;
}

void SelectFrames(AnimHeader& doc, int index, int flags) {
  if (flags & kSelectExtend) {
    if (index < 0) return;
    if (doc.selectionAnchor < 0) doc.selectionAnchor = 0;
    const int lo = std::min(doc.selectionAnchor, index), hi = std::max(doc.selectionAnchor, index);
    int i = 0, count = 0;
    for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++i) {
      f->selected = i >= lo && i <= hi;
      count += f->selected ? 1 : 0;
    }
    doc.selectedCount = count;
    return;
  }
  if (flags & kSelectToggle) {
    ImageBlock* f = index < 0 ? nullptr : ImageAt(&doc, index);
    if (!f) return;
    f->selected = !f->selected;
    doc.selectedCount += f->selected ? 1 : -1;
    doc.selectionAnchor = index;
    return;
  }
  ClearSelection(doc);
  ImageBlock* f = index < 0 ? nullptr : ImageAt(&doc, index);
  if (!f) return;
  f->selected = 1;
  doc.selectionAnchor = index;
  doc.selectedCount = 1;
}

int CurrentAfterSelect(const AnimHeader& doc, int clicked) {
  const ImageBlock* c = clicked < 0 ? nullptr : ImageAt(&doc, clicked);
  if (c && c->selected) return clicked;
  int i = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++i)
    if (f->selected) return i;
  return -1;
}

DragMove PlanDragMove(const AnimHeader& doc, int current, int insertion) {
  DragMove m;
  if (insertion < 0 || current < 0) return m;
  std::vector<int> selected;
  int i = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++i)
    if (f->selected) selected.push_back(i);
  if (selected.size() < 2) {
    const int landed = insertion > current ? insertion - 1 : insertion;
    if (landed == current) return m;
    m.moves = true;
    m.kind = undo_kind::kMoveFrame;
    m.value = (current & 0xFFFF) | insertion << 16;
    m.newCurrent = landed;
    return m;
  }
  auto isSelected = [&](int k) { return std::binary_search(selected.begin(), selected.end(), k); };
  if (isSelected(insertion) || (insertion > 0 && isSelected(insertion - 1))) return m;
  const int before = static_cast<int>(std::count_if(selected.begin(), selected.end(), [&](int k) { return k < insertion; }));
  const int start = insertion - before;
  const int rank = static_cast<int>(std::lower_bound(selected.begin(), selected.end(), current) - selected.begin());
  m.moves = true;
  m.kind = undo_kind::kMoveFrames;
  m.value = (insertion & 0xFFFF) | static_cast<int>(selected.size()) << 16;
  m.formers = selected;
  m.newCurrent = start + rank;
  return m;
}

}  // namespace fw
