#pragma once
#include "app/preferences/preference_page.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace fw {

// Page 203 "动画": defaults for new frames and animations, and what happens to inserted
// frames larger than the animation.
class AnimationPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit AnimationPage(QWidget* parent = nullptr);
  QWidget* invalidField() override;
  void commit(PreferencesOutcome& outcome) override;

 private:
  uint32_t sizePolicy() const;

  uint32_t shownDelay_, shownLoops_, shownPolicy_;
  QSpinBox* delay_;
  QSpinBox* loops_;
  QRadioButton* clip_;
  QRadioButton* enlarge_;
  QCheckBox* ask_;
};

}  // namespace fw
