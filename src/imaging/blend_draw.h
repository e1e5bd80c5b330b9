#pragma once
// Drawing the two composed pictures into one blended frame.
#include <cstdint>

#include "core/anim_document.h"

namespace fw {

// A width x height frame at (0, 0) with `palette`, every pixel `fill`. With `trueColour`
// it carries true-colour and alpha planes that show the same: the fill's colour, and alpha
// 0 when the fill is the frame's transparent index, else 255. nullptr without memory.
ImagePtr NewBlendFrame(int width, int height, Palette* palette, uint8_t fill, bool trueColour, bool fillTransparent);

// Draws a composed canvas (its first screenWidth x screenHeight pixels) at (x, y), skipping
// the pixels at its transparent index. With true-colour planes in the frame, the canvas's
// true colour and coverage are composed over them (or its palette colours, opaque except at
// the transparent index, when the canvas has none).
void DrawComposed(ImageBlock& frame, const ImageBlock& canvas, int screenWidth, int screenHeight, int x, int y,
                  const Palette* fallbackPalette);

}  // namespace fw
