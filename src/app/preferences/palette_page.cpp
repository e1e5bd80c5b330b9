#include "app/preferences/palette_page.h"

#include <QVBoxLayout>

#include "app/preferences/palette_choices.h"
#include "core/preferences.h"

namespace fw {

void CommitPaletteWord(uint32_t shown, uint32_t proposed) {
  CommitField(pref::kPaletteMerge, PaletteChoices::kMethodBits, shown, proposed);
  CommitField(pref::kPaletteMerge, PaletteChoices::kAdaptiveCountBits, shown, proposed);
  CommitField(pref::kPaletteMerge, PaletteChoices::kTrueColourCountBits, shown, proposed);
  CommitFlags(pref::kPaletteMerge, PaletteChoices::kDitherBit | PaletteChoices::kAskBit, shown, proposed);
}

PalettePage::PalettePage(QWidget* parent)
    : PreferencePage(202, QString::fromUtf8("调色板"), parent), shown_(Prefs().raw(pref::kPaletteMerge)) {
  choices_ = new PaletteChoices(shown_, false, true, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choices_);
  layout->addStretch();
}

void PalettePage::commit(PreferencesOutcome&) { CommitPaletteWord(shown_, choices_->word(shown_)); }

}  // namespace fw
