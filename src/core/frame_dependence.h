#pragma once
// Whether a frame shows only its own stored pixels or also what earlier frames left on the
// screen. Operations that reorder, copy or drop frames stay faithful to the picture without
// any help as long as no frame of the second kind changes its predecessors.
#include <vector>

#include "core/anim_document.h"

namespace fw {

// True when the frame's stored pixels cover the whole W x H screen with opaque pixels.
bool CoversScreen(const ImageBlock& frame, int screenWidth, int screenHeight);

// For each frame of the sequence (played in that order on a W x H screen): whether nothing
// earlier is still on the screen when it is drawn. Tracked with rectangles only, so the answer
// errs on the side of "something is there".
std::vector<bool> BlankBefore(const std::vector<const ImageBlock*>& sequence, int screenWidth, int screenHeight);

// For each frame of the document in order: whether what it shows depends on the frames before
// it (it leaves part of the screen to them, and they left something there).
std::vector<bool> FramesDependingOnEarlier(const AnimHeader& document);

// Whether playing the document's frames in the order `after` changes what some frame shows.
// `after` may repeat frames and may hold frames of another document (inserted ones); those
// are not judged themselves, only what they leave to the frames after them.
bool OrderChangesPictures(const AnimHeader& document, const std::vector<const ImageBlock*>& after);

// The document's frames in order.
std::vector<const ImageBlock*> FrameSequence(const AnimHeader& document);

}  // namespace fw
