// The main window's side of the preferences: running the sheet and following its changes.
#include "app/main_window.h"
#include "app/preferences/preferences_sheet.h"
#include "core/preferences.h"
#include "core/workers.h"
#include "app/gui_services.h"
#include "ui/frame_strip.h"
#include "ui/property_bar.h"

namespace fw {
namespace {
constexpr uint8_t kInterlacedFlag = 0x40;  // image descriptor flags
}

void MainWindow::runPreferences() {
  const PreferencesOutcome outcome = RunPreferences(this);
  if (!outcome.accepted) return;
  if (outcome.interlaceChanged) interlaceSettingChanged();
  // The frame-tip setting may have changed: the strip follows it and 40344 shows it.
  strip_->applyFrameTipSetting();
  strip_->viewport()->update();
  updateCommandStates();
  // The signature comment is part of what Save writes, so the file on disk is out of date.
  if (outcome.signatureChanged && document()) {
    setModified(true);
    RefreshSize(document(), true, sizeDisplay_.get());
  }
}

void MainWindow::interlaceSettingChanged() {
  AnimHeader* doc = document();
  if (doc && doc->frameCount >= 2 && !Prefs().bit(pref::kOptionFlags, pref::kInterlaceAllowed)) {
    // The size worker reads the frames' flags.
    CancelAndWait(worker::kDocument);
    bool changed = false;
    for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) {
      if (!f->interlaced()) continue;
      f->descriptorFlags &= static_cast<uint8_t>(~kInterlacedFlag);
      changed = true;
    }
    if (changed) {
      setModified(true);
      RefreshSize(doc, true, sizeDisplay_.get());
      RefreshColourUsage(doc);
    }
  }
  propertyBar_->refresh(doc, current_, false);
}

}  // namespace fw
