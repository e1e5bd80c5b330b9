#pragma once
// "减少帧数": asks for the interval of the frames to delete and shows how many stay. OK with
// an interval outside 2 to the frame count says so and keeps the dialog open.
#include <QDialog>

class QLabel;
class QSpinBox;

namespace fw {

class ReduceFramesDialog : public QDialog {
  Q_OBJECT
 public:
  ReduceFramesDialog(int frameCount, QWidget* parent);

  int interval() const;
  void setInterval(int interval);
  // n - n / k for the interval shown, "?" when it is out of range.
  QString remainingText() const;

  void accept() override;

 private:
  void showRemaining();

  int frameCount_;
  QSpinBox* interval_;
  QLabel* remaining_;
};

}  // namespace fw
