#pragma once
// The blend options: where the other animation goes over this one, how the two are paired
// in time and whether the shorter one repeats.
#include <QDialog>

#include "imaging/blend.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace fw {

class BlendDialog : public QDialog {
  Q_OBJECT
 public:
  BlendDialog(const BlendOptions& start, QWidget* parent);
  BlendOptions options() const;

 private:
  QSpinBox* x_;
  QSpinBox* y_;
  QRadioButton* byTime_;
  QRadioButton* oneToOne_;
  QCheckBox* loop_;
};

}  // namespace fw
