#pragma once
// The three purposes as radio buttons (1073 animations, 1074 icons, 1254 custom), shared by
// the purpose page and the first-run dialog.
#include <QWidget>

#include "core/purpose_presets.h"

class QRadioButton;

namespace fw {

class PurposeChoices : public QWidget {
  Q_OBJECT
 public:
  // Starts on the purpose the stored options match.
  explicit PurposeChoices(QWidget* parent = nullptr);
  Purpose shown() const { return shown_; }
  Purpose chosen() const;
  // Loads the chosen preset when the choice changed.
  void apply() const { ApplyPurpose(shown_, chosen()); }

 private:
  Purpose shown_;
  QRadioButton* animations_;
  QRadioButton* icons_;
  QRadioButton* custom_;
};

}  // namespace fw
