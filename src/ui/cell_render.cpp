#include "ui/cell_render.h"

#include <algorithm>

#include "core/anim_document.h"
#include "ui/frame_image.h"

namespace fw {

TransparencyDisplay TransparencyDisplay::fromPreference(uint32_t word) {
  TransparencyDisplay d;
  const int mode = static_cast<int>(word >> 24);
  d.mode = mode >= kWindowBackground && mode <= kCustomColour ? mode : kWindowBackground;
  d.colour = QColor(static_cast<int>(word & 0xFF), static_cast<int>((word >> 8) & 0xFF),
                    static_cast<int>((word >> 16) & 0xFF));
  return d;
}

uint32_t TransparencyDisplay::toPreference() const {
  const uint32_t bgr = static_cast<uint32_t>(colour.red()) | static_cast<uint32_t>(colour.green()) << 8 |
                       static_cast<uint32_t>(colour.blue()) << 16;
  return static_cast<uint32_t>(mode) << 24 | bgr;
}

namespace {

bool HasAlpha(const ImageBlock& f) {
  const int w = std::max(1, f.width), h = std::max(1, f.height);
  return f.hasTrueColour() && f.alpha.size() >= Stride8(w) * static_cast<size_t>(h);
}

// out = (image x alpha + (255 - alpha) x background) / 255 per channel; the result is opaque.
void OverSolid(QImage& image, QColor background) {
  const int br = background.red(), bg = background.green(), bb = background.blue();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = line[x];
      const int a = qAlpha(p);
      auto mix = [a](int c, int b) { return std::min(255, (c * a + (255 - a) * b) / 255); };
      line[x] = qRgb(mix(qRed(p), br), mix(qGreen(p), bg), mix(qBlue(p), bb));
    }
  }
}

}  // namespace

QImage RenderCell(const ImageBlock& frame, const TransparencyDisplay& display, QColor windowBackground, int numerator,
                  int denominator) {
  QImage image;
  if (HasAlpha(frame)) {
    image = FrameToImage(frame, true);
    OverSolid(image, display.mode == TransparencyDisplay::kWindowBackground ? windowBackground : display.colour);
  } else if (display.mode == TransparencyDisplay::kFrameColour) {
    image = FrameToImage(frame, false);
  } else {
    image = FrameToImage(frame, true);
    if (display.mode == TransparencyDisplay::kCustomColour && frame.transparent()) OverSolid(image, display.colour);
  }
  if (image.isNull()) return image;
  if (numerator != denominator && denominator > 0) {
    const int w = std::max(1, numerator * image.width() / denominator);
    const int h = std::max(1, numerator * image.height() / denominator);
    image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  // The painter draws premultiplied pixels without converting them on every paint.
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace fw
