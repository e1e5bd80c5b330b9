#pragma once
#include "app/preferences/preference_page.h"

namespace fw {

class PurposeChoices;

// Page 314 "用途": the purpose presets.
class PurposePage : public PreferencePage {
  Q_OBJECT
 public:
  explicit PurposePage(QWidget* parent = nullptr);
  void commit(PreferencesOutcome& outcome) override;

 private:
  PurposeChoices* choices_;
};

}  // namespace fw
