#pragma once
// An APNG frame with "source" blending replaces what it covers, clear pixels included; our
// frames (as GIF frames) are always drawn over what is there. Where that difference shows,
// the animation read from the file is turned into frames that show the same pictures.
#include "core/anim_document.h"

namespace fw {

// `document` as read from an APNG (blend 0 = source, 1 = over; the hidden default image, when
// flagged, outside the animation). When some "source" frame would clear or replace pixels
// that something shows, every frame of the animation becomes the whole picture it shows (true
// colour with alpha, restored to background after showing, so each is drawn on a clear
// canvas). Otherwise nothing changes. False when memory ran out (the document is unchanged).
bool ReproduceSourceBlending(AnimHeader& document);

}  // namespace fw
