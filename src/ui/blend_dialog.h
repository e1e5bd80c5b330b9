#pragma once
// The blend options: where the other animation goes over this one, how the two are paired
// in time and whether the shorter one repeats.
#include <QDialog>

#include "imaging/blend.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace fw {

class BlendPreview;

class BlendDialog : public QDialog {
  Q_OBJECT
 public:
  // With both animations the dialog shows their first frames, the second draggable.
  BlendDialog(const BlendOptions& start, QWidget* parent, const AnimHeader* first = nullptr,
              const AnimHeader* second = nullptr);
  BlendOptions options() const;

 private:
  QSpinBox* x_;
  QSpinBox* y_;
  QRadioButton* byTime_;
  QRadioButton* oneToOne_;
  QCheckBox* loop_;
  BlendPreview* preview_ = nullptr;
};

}  // namespace fw
