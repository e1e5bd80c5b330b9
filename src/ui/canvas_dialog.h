#pragma once
// The increase-canvas dialog: the new width and height of the selected frames, never below
// the largest frame among them.
#include <QDialog>

#include "imaging/canvas.h"

class QSpinBox;

namespace fw {

namespace canvas_dialog {
inline constexpr int kCurrentSize = 1307;
}

class CanvasDialog : public QDialog {
  Q_OBJECT
 public:
  CanvasDialog(const AnimHeader& document, QWidget* parent);

  int32_t newWidth() const;
  int32_t newHeight() const;
  // A size below the minimum is put back to it, focused, and the dialog stays open.
  void accept() override;

 private:
  CanvasStart start_;
  QSpinBox* width_;
  QSpinBox* height_;
};

}  // namespace fw
