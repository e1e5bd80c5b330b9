#include "imaging/palette_reconcile.h"

#include "imaging/palette_merge.h"

namespace fw {

// The whole chain goes through the palette conversion at once, with the stored merge word,
// so an adaptive palette is built from every incoming frame together.
PaletteReconciler DocumentPaletteReconciler() {
  return [](AnimHeader* target, AnimHeader& chain) {
    return ConvertPalettes(target, &chain, 0, nullptr) == kConvertDone;
  };
}

}  // namespace fw
