#pragma once
// Choosing the reader for a file by its extension, and finishing what it read.
#include <string>

#include "core/load_result.h"

namespace fw {

class Progress;

struct LoadOptions {
  // A GIF's frames keep their data as the file held it, for an optimization about to follow
  // (GifReadOptions).
  bool keepGifDataAsRead = false;
};

// Loads any supported file into a new document: 1 complete, 2 partly read, 0 failure (its
// message already shown). Frames are named after the file and the load-time transparency
// preference is applied.
LoadResult LoadAnimationFile(const std::string& path, Progress* progress = nullptr, LoadOptions options = {});

// Frames without transparency or true colour whose palette holds the preferred transparent
// colour (word 18, 0x00BBGGRR) get that index as transparent.
void ApplyAutomaticTransparency(AnimHeader& document);

}  // namespace fw
