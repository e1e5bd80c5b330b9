#pragma once
// Applying one undo record to the document, in either direction.
#include "core/undo_history.h"

namespace fw {

uint32_t ApplyUndoRecord(AnimHeader& document, UndoRecord& record, bool redo);

}  // namespace fw
