#pragma once
// Turning a frame's planes into a QImage for drawing.
#include <QImage>

namespace fw {

struct ImageBlock;

// The frame's own rectangle as ARGB: true colour (with its alpha) when the frame carries it,
// else the indexed rows through the frame's colour table. With `honourTransparency` the
// transparent index becomes fully transparent.
QImage FrameToImage(const ImageBlock& frame, bool honourTransparency);

}  // namespace fw
