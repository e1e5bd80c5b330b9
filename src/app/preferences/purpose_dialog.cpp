#include "app/preferences/purpose_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "app/preferences/purpose_choices.h"
#include "core/preferences.h"

namespace fw {
namespace {
constexpr uint32_t kPurposeShown = 1u << 6;  // word 15
}

PurposeDialog::PurposeDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PurposeDialog"));
  setWindowTitle(QString::fromUtf8("用途"));
  choices_ = new PurposeChoices(this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choices_);
  layout->addWidget(buttons);
}

void PurposeDialog::accept() {
  choices_->apply();
  QDialog::accept();
}

bool ShowPurposeDialogOnFirstRun(QWidget* parent) {
  if (Prefs().bit(pref::kMoreFlags, kPurposeShown)) return false;
  // Recorded first, so that a crash or a closed dialog does not bring the question back.
  Prefs().setBits(pref::kMoreFlags, kPurposeShown, true);
  PurposeDialog dialog(parent);
  dialog.exec();
  return true;
}

}  // namespace fw
