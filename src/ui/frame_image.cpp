#include "ui/frame_image.h"

#include "core/anim_document.h"

namespace fw {

QImage FrameToImage(const ImageBlock& frame, bool honourTransparency) {
  const IndexedImage* ix = frame.indexedImage.get();
  const int w = frame.width > 0 ? frame.width : 1, h = frame.height > 0 ? frame.height : 1;
  QImage out(w, h, QImage::Format_ARGB32);
  if (out.isNull()) return out;
  out.fill(Qt::transparent);
  const bool colour = frame.hasTrueColour() && frame.trueColour.size() >= Stride24(w) * static_cast<size_t>(h);
  const bool alpha = colour && frame.alpha.size() >= Stride8(w) * static_cast<size_t>(h);
  const bool transparent = honourTransparency && frame.transparent();
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    const uint8_t* idx = ix && ix->width >= w && ix->height > y ? ix->row(y) : nullptr;
    for (int x = 0; x < w; ++x) {
      const int i = idx ? idx[x] : 0;
      if (transparent && idx && i == frame.transparentIndex && !alpha) continue;
      if (colour) {
        const uint8_t* p = frame.trueColour.data() + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
        const int a = alpha && honourTransparency ? frame.alpha[static_cast<size_t>(y) * Stride8(w) + x] : 255;
        line[x] = qRgba(p[2], p[1], p[0], a);
      } else if (ix) {
        line[x] = 0xFF000000u | (ix->colourTable[static_cast<size_t>(i)] & 0xFFFFFFu);
      }
    }
  }
  return out;
}

}  // namespace fw
