#pragma once
// Save for size without a window: the command line's -s.
#include <cstdint>
#include <string>

#include "core/anim_document.h"

namespace fw {

// Replaces the document by the best-looking candidate that writes to at most `targetBytes`.
// False when none does (or none could be made), with the reason in `report`.
bool FitToSize(AnimHeader& document, int64_t targetBytes, std::string& report);

}  // namespace fw
