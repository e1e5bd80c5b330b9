#include "app/preferences/purpose_page.h"

#include <QVBoxLayout>

#include "app/preferences/purpose_choices.h"

namespace fw {

PurposePage::PurposePage(QWidget* parent) : PreferencePage(314, QString::fromUtf8("用途"), parent) {
  choices_ = new PurposeChoices(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(choices_);
}

void PurposePage::commit(PreferencesOutcome&) { choices_->apply(); }

}  // namespace fw
