#pragma once
// The optimizer's palette steps: folding local palettes into the global one, and dropping
// palette entries that no pixel uses.
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Progress;

// Runs the palette steps the options ask for (bits 8, 16, 1024 and 32). Sets `changed` when
// anything changed and adds to `approximated` the images whose shown colours a new or mapped
// palette changed; false when the progress was stopped.
bool OptimizePalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed,
                      int& approximated);

// Local palettes into the global one, as bits 8, 16 and 1024 say.
bool RemoveLocalPalettes(AnimHeader& document, uint32_t options, Progress* progress, bool& changed,
                         int& approximated);

// Whether folding the image's local palette into the running global palette keeps every
// colour of the image exactly. `running` and `usage` (256 counts of the global-palette
// pixels) stand for the global palette; when the fold would be exact they are advanced as the
// fold itself will advance them, so that a sequence of images can be checked ahead.
bool FoldsExactly(const ImageBlock& image, std::vector<Rgb>& running, int32_t* usage);

// Runs the checks of FoldsExactly image after image, as the folds would: true when every
// local palette of the document can fold into the global one without changing a colour.
bool LocalPalettesFoldExactly(const AnimHeader& document);

// Entries of the global palette, and of each local palette, that no pixel uses are dropped.
// For `narrowCodes` (frames coded from the narrowest code size) the global palette's entries
// are also ordered by how many images use them.
bool ShrinkPalettes(AnimHeader& document, Progress* progress, bool& changed, bool narrowCodes = false);

}  // namespace fw
