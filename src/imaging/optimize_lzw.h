#pragma once
// The optimizer's choice of LZW clear rule, frame by frame.
#include <vector>

#include "core/anim_document.h"
#include "gif/gif_writer.h"

namespace fw {

// Every frame of the document to be written with a rule that keeps full tables (or, when off,
// with the plain one) while images are optimized, so that the sizes they compare are near
// what the file will take.
void PreferKeptLzwTables(AnimHeader& document, bool on);
// Each frame's rule in order, to tell whether a run changed any.
std::vector<uint8_t> LzwClearRules(const AnimHeader& document);
// Each frame that may keep full tables gets the rule that writes the fewest bytes, the plain
// one on a tie. `known` holds the data bytes of frames already measured under the rule they
// hold. Returns the bytes each of those frames' data now takes.
MeasuredLzwBytes SettleLzwClearing(AnimHeader& document, const MeasuredLzwBytes& known = {});

}  // namespace fw
