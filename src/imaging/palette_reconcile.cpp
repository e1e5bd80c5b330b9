#include "imaging/palette_reconcile.h"

#include "imaging/palette_merge.h"

namespace fw {

// Each incoming animation goes through the palette conversion with the stored merge word.
PaletteReconciler DocumentPaletteReconciler() {
  return [](AnimHeader& target, AnimHeader& incoming) {
    return ConvertPalettes(&target, &incoming, 0, nullptr) == kConvertDone;
  };
}

}  // namespace fw
