#pragma once
// Edits that reorder, copy, drop or insert frames keep what every frame shows. Frames that
// store only what changed would show other pictures after such an edit, so when the planned
// order changes a picture the animation is first unoptimized, inside the edit's undo step:
// one Undo brings back the original exactly. Animations whose frames stand alone take the
// edit unchanged.
#include <functional>
#include <vector>

#include "core/anim_document.h"

namespace fw {

class Progress;

struct KeptEdit {
  bool done = false;      // the edit ran and reported success
  bool expanded = false;  // the animation was unoptimized for it
  int approximated = 0;   // frames that showed more than 256 colours
};

// Runs `edit` (which records its own undo step and returns success) with the frames to be
// played in the order `after` afterwards. On failure the document is as before.
KeptEdit EditKeepingPictures(AnimHeader& document, const std::vector<const ImageBlock*>& after, Progress* progress,
                             const std::function<bool()>& edit);

// The orders the frame edits produce.
std::vector<const ImageBlock*> ReversedOrder(const AnimHeader& document);
std::vector<const ImageBlock*> BouncedOrder(const AnimHeader& document);
std::vector<const ImageBlock*> OrderWithoutEvery(const AnimHeader& document, int interval);
std::vector<const ImageBlock*> OrderWithoutSelected(const AnimHeader& document);
// The frames of the incoming documents (a chain) placed before the frame at `at` (at the end past the last).
std::vector<const ImageBlock*> OrderWithInserted(const AnimHeader& document, int at, const AnimHeader* incoming);
// The selected frames (at the indexes `formers`) gathered before the slot `insertion`.
std::vector<const ImageBlock*> OrderWithMoved(const AnimHeader& document, const std::vector<int>& formers,
                                              int insertion);

// The status-bar note after an edit that had to expand the animation.
const char* ExpandedNote();

}  // namespace fw
