#pragma once
// Operations that work on GIF data alone first drop every block's true-colour planes, so that
// what they produce is what the file will hold.
#include "core/anim_document.h"

namespace fw {

// Whether any image block keeps true-colour data beside its 8-bit image.
bool KeepsTrueColour(const AnimHeader& document);

// Releases the true-colour (and alpha and display) planes of every image block that has an
// 8-bit image; a block whose picture exists only as true colour keeps it, since dropping it
// would lose the picture. Returns the number of blocks released.
int ReleaseTrueColour(AnimHeader& document);

}  // namespace fw
