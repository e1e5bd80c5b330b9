#pragma once
// Timing files: the delays of an animation's frames as plain text ("%d " per frame, in
// hundredths of a second), to be edited elsewhere and applied again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/anim_document.h"

namespace fw {

// The document's path with everything from its last "." replaced by "_timing.txt"; empty
// without a path or without a ".".
std::string SuggestedTimingName(const std::string& documentPath);

// Writes every frame's delay. 1, or 0 after message 40241.
int WriteTimingFile(const std::string& path, const AnimHeader& document);

// Applies the numbers of a timing file to the frames in order as one undo step (recorded even
// when the file holds no number). A file that cannot be opened changes nothing and shows
// nothing: returns false.
bool LoadTimingFile(const std::string& path, AnimHeader& document);
// The walk over the text itself: every run of digits is the delay of the next frame.
// Returns how many frames were set.
int ApplyTimingText(const uint8_t* text, size_t size, AnimHeader& document);

}  // namespace fw
