#pragma once
// The strip's "as displayed" cells: each frame as the viewer sees it at that point of the
// animation (the compositor's canvas), with the frame's stored rectangle outlined.
#include <QColor>
#include <QImage>
#include <functional>

#include "ui/cell_render.h"

namespace fw {

struct AnimHeader;
struct ImageBlock;

// Whether the strip shows composed pictures: stored under this name, on unless set off.
bool ComposedCellsSetting();
void StoreComposedCellsSetting(bool on);

// The colour of the outline around the stored rectangle.
QColor StoredRectangleColour();

// The canvas drawn as a cell at numerator / denominator, the frame's rectangle outlined.
QImage RenderComposedCell(const ImageBlock& canvas, const ImageBlock& frame, const TransparencyDisplay& display,
                          QColor windowBackground, int numerator, int denominator);

// Walks the compositor once from the first frame through `last`, handing each frame from
// `first` on whose cell `wanted` asks for to `made` with its cell. One walk serves every
// visible cell, so a paint costs the frames up to the last visible one, not one walk per cell.
void RenderComposedCells(const AnimHeader& document, int first, int last,
                         const std::function<bool(const ImageBlock&)>& wanted,
                         const std::function<QImage(const ImageBlock& canvas, const ImageBlock& frame)>& render,
                         const std::function<void(const ImageBlock& frame, QImage cell)>& made);

}  // namespace fw
