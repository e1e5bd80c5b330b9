#include "app/window_placement.h"

#include <QByteArray>
#include <QWidget>

#include "core/preference_store.h"

namespace fw {

bool RestoreWindowPlacement(QWidget& window, const PreferenceStore* store) {
  if (!store) return false;
  const auto bytes = store->binary("Placement");
  if (!bytes || bytes->empty()) return false;
  // Qt's geometry record also keeps the maximized state and moves the window back onto a
  // screen that still exists.
  return window.restoreGeometry(QByteArray(reinterpret_cast<const char*>(bytes->data()),
                                           static_cast<qsizetype>(bytes->size())));
}

void StoreWindowPlacement(const QWidget& window, PreferenceStore* store) {
  if (!store) return;
  const QByteArray geometry = window.saveGeometry();
  store->setBinary("Placement", std::vector<uint8_t>(geometry.begin(), geometry.end()));
}

}  // namespace fw
