#pragma once
// The Save As dialog's panels for the types with settings of their own: AVI (its compression
// and sound, dialog 193) and cursors (the first frame's hotspot, dialog 220).
#include <QWidget>
#include <optional>

#include "formats/avi_file.h"

class QLabel;

namespace fw {

struct AnimHeader;

class SaveTypePanels : public QWidget {
  Q_OBJECT
 public:
  SaveTypePanels(AnimHeader& document, QWidget* parent = nullptr);
  void setType(int type);
  // The AVI settings chosen through the panel; nullptr when the stored ones apply.
  const AviExportSettings* aviSettings() const { return avi_ ? &*avi_ : nullptr; }
  // Opens the settings as the panel's buttons do.
  void editAviSettings();
  void editHotspot();

 private:
  void describe();

  AnimHeader& document_;
  std::optional<AviExportSettings> avi_;
  QWidget* aviPanel_;
  QLabel* aviText_;
  QWidget* hotspotPanel_;
  QLabel* hotspotText_;
};

}  // namespace fw
