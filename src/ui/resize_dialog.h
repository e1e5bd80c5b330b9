#pragma once
// The resize dialog for the whole animation or the selected frames: new size in pixels or in
// percent of the old size, the keep-aspect switch and the scaling method.
#include <QDialog>

#include "imaging/resize.h"
#include "imaging/resize_fields.h"

class QCheckBox;
class QRadioButton;
class QSpinBox;

namespace fw {

namespace resize_dialog {
inline constexpr int kOldWidth = 1069, kOldHeight = 1085;
inline constexpr int kNewWidth = 1070, kNewHeight = 1086;
inline constexpr int kWidthPercent = 1087, kHeightPercent = 1088;
inline constexpr int kKeepAspect = 1083;
inline constexpr int kNearest = 1073, kBicubic = 1074;
// The question asked before bicubic scaling of frames it may spoil.
inline constexpr int kBicubicWarning = 198;
}  // namespace resize_dialog

class ResizeDialog : public QDialog {
  Q_OBJECT
 public:
  // `oldWidth` x `oldHeight` is the size the new one is measured against: the logical screen
  // for the whole animation, the current frame's size for selected frames.
  ResizeDialog(const AnimHeader& document, bool selectedOnly, int32_t oldWidth, int32_t oldHeight,
               QWidget* parent);

  const ResizeFields& fields() const { return fields_; }
  ScaleRecord scale() const;
  bool bicubic() const { return fields_.bicubic; }

  // Warns before bicubic scaling of frames it may spoil (declining keeps the dialog open),
  // then remembers the switches for next time.
  void accept() override;

 private:
  QSpinBox* spin(int id, int minimum, int maximum);
  // Every field edited by the user goes through here; showing the results must not feed back.
  void edit(void (*apply)(ResizeFields&, int32_t), int value);
  void showFields();

  const AnimHeader& document_;
  bool selectedOnly_;
  ResizeFields fields_;
  bool showing_ = false;
  QSpinBox* newWidth_;
  QSpinBox* newHeight_;
  QSpinBox* widthPercent_;
  QSpinBox* heightPercent_;
  QCheckBox* keepAspect_;
  QRadioButton* nearest_;
  QRadioButton* bicubic_;
};

}  // namespace fw
