#pragma once
// Frames on the clipboard: our own frame record when another window of ours put it there,
// otherwise any picture another program copied.
#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

class QMimeData;

namespace fw {

// A packed bottom-up DIB of the picture: 32-bit when it has transparency, else 24-bit.
std::vector<uint8_t> ImageToDib(const QImage& image);
// True when the clipboard holds frames or a picture we can paste.
bool ClipboardHasFrames(const QMimeData* data);
// The frames to paste, from the frame record when present and from the picture otherwise;
// nullptr when neither can be read.
AnimPtr ClipboardFrames(const QMimeData* data);
// The clipboard contents for copied frames: the record plus a picture of the current frame.
QMimeData* MakeFramesMimeData(const std::vector<uint8_t>& record, const QImage& currentFrame);

}  // namespace fw
