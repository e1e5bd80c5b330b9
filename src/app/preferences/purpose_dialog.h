#pragma once
// The purpose question of a first run: the same three choices as the purpose page.
#include <QDialog>

namespace fw {

class PurposeChoices;

class PurposeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PurposeDialog(QWidget* parent = nullptr);
  PurposeChoices* choices() const { return choices_; }
  void accept() override;

 private:
  PurposeChoices* choices_;
};

// Shows the dialog once per user: when the preferences do not yet record that it was shown.
// Remembers that it was shown whatever the answer. True when it was shown.
bool ShowPurposeDialogOnFirstRun(QWidget* parent);

}  // namespace fw
