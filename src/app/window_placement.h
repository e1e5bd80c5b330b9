#pragma once
// The main window's place and size between runs (value "Placement").
class QWidget;

namespace fw {

class PreferenceStore;

// Applies the stored placement; false when none is stored or it cannot be applied.
bool RestoreWindowPlacement(QWidget& window, const PreferenceStore* store);
void StoreWindowPlacement(const QWidget& window, PreferenceStore* store);

}  // namespace fw
