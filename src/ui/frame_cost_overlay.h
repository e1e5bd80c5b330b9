#pragma once
// The strip's byte-cost overlay: each frame's encoded bytes under its picture, with a bar
// scaled to the costliest frame, so the frames that make a file large stand out.
#include <QRect>
#include <QString>
#include <cstdint>

class QPainter;

namespace fw {

// Whether the strip shows the costs: stored under this name, off unless turned on.
bool FrameCostSetting();
void StoreFrameCostSetting(bool on);

// "12,345 B", or "…" while the cost is being measured (negative).
QString FrameCostLabel(int64_t bytes);

// The overlay along the bottom of a cell's picture `image`.
void DrawFrameCost(QPainter& painter, const QRect& image, int64_t bytes, int64_t largest);

}  // namespace fw
