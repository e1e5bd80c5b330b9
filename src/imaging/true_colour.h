#pragma once
// From a block's true-colour data to its 8-bit image. (The reverse, ExpandToTrueColour, is
// part of the frame planes in core.)
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Octree;
class NearestColourCache;

// A block whose picture exists only as true colour (no 8-bit image yet).
inline bool TrueColourOnly(const ImageBlock& block) { return block.hasTrueColour() && !block.indexedImage; }

// The block's mask at its plane size: its alpha plane, or for a transparent block that has no
// alpha but an 8-bit image, 0 where that image holds the transparent index. Empty when there
// is none.
std::vector<uint8_t> BlockMask(const ImageBlock& block);

// Replaces the block's 8-bit image by one made from its true-colour data through the inverse
// colour map, dithered or not, and makes `palette` its palette in effect. With a mask, the
// masked pixels take the palette's last entry, which becomes the transparent index; opaque
// pixels never land on that entry. The true-colour planes are released unless the
// keep-true-colour preference is set. False on failure (message shown). `exact` maps and
// dithers onto exact nearest entries instead (PrepareExactDithering).
bool MapTrueColourBlock(ImageBlock& block, Palette& palette, bool dither, bool exact = false);
// The same with octree lookups instead of the inverse map (never dithered).
bool MapTrueColourBlock(ImageBlock& block, Palette& palette, const Octree& octree);
// The same with each colour's exact nearest entry (never dithered).
bool MapTrueColourBlock(ImageBlock& block, Palette& palette, NearestColourCache& nearest);

}  // namespace fw
