#pragma once
// What the frame, several-frames and global property pages edit, without the widgets: the
// values the frames share, and applying the fields the user changed as one undo step.
#include <optional>
#include <string>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// One value per field; an empty optional means the frames concerned differ there (when read)
// or the field was left alone (when applied).
struct FrameFields {
  std::optional<std::string> name;
  std::optional<int> delay;
  std::optional<int> disposal;
  std::optional<int> left, top;
  std::optional<bool> transparent;
  std::optional<bool> interlaced;
  std::optional<bool> userInput;
  std::optional<bool> localPalette;
  std::optional<bool> trueColour;
  std::optional<bool> blend;
  // Indices picked in the transparency chooser; applied instead of `transparent` when set.
  std::optional<std::vector<int>> chosenTransparency;
};

// The values every one of the frames shares.
FrameFields SharedFrameFields(const std::vector<ImageBlock*>& frames);

// The frames a page edits: the current one, the selected ones, or all.
std::vector<ImageBlock*> CurrentFrameOnly(AnimHeader& document, int current);
std::vector<ImageBlock*> SelectedFrames(AnimHeader& document);
std::vector<ImageBlock*> AllFrames(AnimHeader& document);

// Whether applying the edits would change any of the frames.
bool EditsChangeFrames(const std::vector<ImageBlock*>& frames, const FrameFields& edits);

// What the window must refresh after a confirmed page.
struct FrameEditResult {
  bool changed = false;
  bool pixels = false;  // pixels, palettes or planes: the cells are redrawn, the size measured anew
  bool offsets = false;
  bool delays = false;
  // A failed palette removal put back a copy of the whole document: same content, new blocks.
  bool restored = false;
};

enum class FrameScope { kCurrent, kSelected, kAll };

// Records the undo step (the frame-properties kind for the current frame, the all-frame kind
// for a selection, the global kind for every frame; whole copies only where a shell cannot
// restore the change) and applies the edits. A failed palette removal takes the step back and
// leaves the document as it was.
FrameEditResult ApplyFrameEdits(AnimHeader& document, FrameScope scope, int current, const FrameFields& edits);

// The animation page's fields; an empty optional is a field left as it was.
struct AnimationFields {
  std::optional<int> screenWidth, screenHeight;
  std::optional<int> loopCount;
  std::optional<int> backgroundIndex;
  std::optional<bool> hideFirstFrame;
};

struct AnimationEditResult {
  bool changed = false;
  bool screenSize = false;
};

// One undo step holding the whole document (the header is not part of the lighter shell).
AnimationEditResult ApplyAnimationEdits(AnimHeader& document, const AnimationFields& edits);

}  // namespace fw
