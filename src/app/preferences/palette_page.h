#pragma once
#include "app/preferences/preference_page.h"

namespace fw {

class PaletteChoices;

// Page 202 "调色板": how palettes are reconciled when frames are combined (word 10).
class PalettePage : public PreferencePage {
  Q_OBJECT
 public:
  explicit PalettePage(QWidget* parent = nullptr);
  void commit(PreferencesOutcome& outcome) override;
  PaletteChoices* choices() const { return choices_; }

 private:
  uint32_t shown_;
  PaletteChoices* choices_;
};

// Writes the fields of a palette word that differ from `shown`.
void CommitPaletteWord(uint32_t shown, uint32_t proposed);

}  // namespace fw
