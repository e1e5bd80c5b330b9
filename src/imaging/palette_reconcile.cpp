#include "imaging/palette_reconcile.h"

namespace fw {

// Until palette conversion arrives, incoming colours are kept exactly through local palettes.
PaletteReconciler DocumentPaletteReconciler() { return KeepPalettesAsLocal; }

}  // namespace fw
