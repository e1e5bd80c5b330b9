#pragma once
#include <QList>

#include "app/preferences/preference_page.h"

class QCheckBox;

namespace fw {

// Page 265 "帧提示": whether the strip shows frame tips and what they contain (word 13).
class FrameTipsPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit FrameTipsPage(QWidget* parent = nullptr);
  void commit(PreferencesOutcome& outcome) override;
  // The word the controls describe: the master bit and the ticked items' bits.
  uint32_t tipWord() const;

 private:
  uint32_t shown_;
  QCheckBox* master_;
  QList<QPair<QCheckBox*, uint32_t>> items_;
};

}  // namespace fw
