#include "app/preferences/palette_merge_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "app/preferences/palette_choices.h"
#include "app/preferences/palette_page.h"
#include "core/preferences.h"

namespace fw {

PaletteMergeDialog::PaletteMergeDialog(uint32_t word, bool singleImport, QWidget* parent)
    : QDialog(parent), stored_(word) {
  setObjectName(QStringLiteral("PaletteMergeDialog"));
  setWindowTitle(QString::fromUtf8("调色板合并"));
  choices_ = new PaletteChoices(word, singleImport, false, this);
  makeDefault_ = new QCheckBox(QString::fromUtf8("设为默认，不要再次显示"), this);
  makeDefault_->setObjectName(QStringLiteral("makeDefault"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PaletteMergeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choices_);
  layout->addWidget(makeDefault_);
  layout->addWidget(buttons);
}

uint32_t PaletteMergeDialog::chosenWord() const { return choices_->word(stored_); }

void PaletteMergeDialog::accept() {
  if (makeDefault_->isChecked()) {
    const uint32_t shown = Prefs().raw(pref::kPaletteMerge);
    CommitPaletteWord(shown, chosenWord() & ~PaletteChoices::kAskBit);
  }
  QDialog::accept();
}

bool AskPaletteMerge(uint32_t& word, bool singleImport, QWidget* parent) {
  PaletteMergeDialog dialog(word, singleImport, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  word = dialog.chosenWord();
  return true;
}

}  // namespace fw
