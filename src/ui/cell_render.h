#pragma once
// A frame drawn for the strip: its own rectangle at the strip's zoom, with its transparent
// pixels shown the way the transparency display asks.
#include <QColor>
#include <QImage>
#include <cstdint>

namespace fw {

struct ImageBlock;

// The stored setting: the mode in the top byte, a colour 0x00BBGGRR in the low 24 bits.
struct TransparencyDisplay {
  enum Mode { kWindowBackground = 0, kFrameColour = 1, kCustomColour = 2 };
  int mode = kWindowBackground;
  QColor colour{0, 0, 0};

  static TransparencyDisplay fromPreference(uint32_t word);
  uint32_t toPreference() const;
  bool operator==(const TransparencyDisplay&) const = default;
};

// The frame's rectangle scaled by numerator / denominator (nearest pixel). Frames with an alpha
// plane come back composited over a solid colour (`windowBackground` in mode 0, the stored
// colour otherwise); in mode 2 transparent pixels take the stored colour, in mode 1 the colour
// their index holds, and in mode 0 they stay transparent for the cell background to show.
QImage RenderCell(const ImageBlock& frame, const TransparencyDisplay& display, QColor windowBackground, int numerator,
                  int denominator);

}  // namespace fw
