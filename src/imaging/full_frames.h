#pragma once
// Unoptimizing animations whose frames use palettes of their own: the screen is composed in
// colour, since no single palette holds what it shows.
#include "core/anim_document.h"

namespace fw {

class Progress;

// As Unoptimize, for documents with local palettes (or any other).
int UnoptimizeInColour(AnimHeader& document, Progress* progress, int* approximated);

// The message naming how many frames showed more colours than a palette holds.
void ReportApproximatedFrames(int count);

}  // namespace fw
