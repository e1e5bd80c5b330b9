#pragma once
// How incoming frames are brought onto the palettes of the document they join.
#include "core/batch.h"

namespace fw {

// The reconciler the program uses when animations are merged.
PaletteReconciler DocumentPaletteReconciler();

}  // namespace fw
