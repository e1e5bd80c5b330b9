#pragma once
// The optional planes of a frame beside its indexed image: 24-bit true colour (blue, green,
// red), 8-bit alpha (0 transparent, 255 opaque) and the display copy the views draw instead
// of the true-colour plane. All have the indexed image's size, rows top-down, 4-byte strides.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// The size every plane of the frame has: its indexed image's, or the frame's (0 counted as 1)
// when it has none yet.
int PlaneWidth(const ImageBlock& frame);
int PlaneHeight(const ImageBlock& frame);
size_t TrueColourBytes(const ImageBlock& frame);
size_t AlphaBytes(const ImageBlock& frame);

// Rows of the plane, or nullptr when the frame has none (or one too short for its size, which
// is treated as none so that nobody reads past it).
const uint8_t* TrueColourRows(const ImageBlock& frame);
const uint8_t* AlphaRows(const ImageBlock& frame);

// A zero-filled true-colour plane; `replace` releases an existing one (with its alpha plane
// and display copy) first, otherwise an existing one is kept. nullptr when memory runs out.
uint8_t* AddTrueColour(ImageBlock& frame, bool replace);
// Releases the true-colour plane and with it the alpha plane and the display copy.
void RemoveTrueColour(ImageBlock& frame);
// Installs `plane` (empty removes the plane, and the alpha plane with it) and returns the
// previous one. The display copy is dropped.
std::vector<uint8_t> SetTrueColourPlane(ImageBlock& frame, std::vector<uint8_t> plane);

// A zero-filled alpha plane; needs a true-colour plane. nullptr without one or without memory.
uint8_t* AddAlpha(ImageBlock& frame, bool replace);
void RemoveAlpha(ImageBlock& frame);
// As SetTrueColourPlane; a frame without a true-colour plane takes no alpha plane (the buffer
// is handed back).
std::vector<uint8_t> SetAlphaPlane(ImageBlock& frame, std::vector<uint8_t> plane);

uint8_t* AllocDisplayColour(ImageBlock& frame);
void FreeDisplayColour(ImageBlock& frame);

// Builds the true-colour plane from the palette in effect, and the alpha plane (0 at the
// transparent index, 255 elsewhere) when transparency is on. 1 when built; 0 when the frame
// already had one, has no pixels, or memory ran out (the frame then stays as it was).
int ExpandToTrueColour(ImageBlock& frame);
// True without an alpha plane or when every alpha value inside the width is 255.
bool AlphaIsOpaque(const ImageBlock& frame);
// Blue, green and red 0 in the true-colour plane wherever the index is the transparent one.
void BlackOutTransparent(ImageBlock& frame);

// 256 colour-table entries (0x00RRGGBB) of the palette in effect, 0 beyond its end.
void PaletteEntries(const ImageBlock& frame, uint32_t* entries);

}  // namespace fw
