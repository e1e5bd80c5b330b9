#pragma once
// The preview's timing panel: the frame on show with the delays before and after it, and one
// operation applied to every delay at once. It shows and reports; the preview writes.
#include <QWidget>

#include "core/delay_operations.h"

class QLineEdit;
class QToolButton;
class QActionGroup;

namespace fw {

class TimingPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TimingPanel(QWidget* parent = nullptr);

  // `before` is greyed when it is no other position's delay (a single position).
  void showDelays(int frameNumber, double before, double after, bool beforeEnabled);
  void setResetEnabled(bool on);
  void setOperation(DelayOperation operation);
  DelayOperation operation() const { return operation_; }

 signals:
  void delayBeforeEdited(double delay);
  void delayAfterEdited(double delay);
  void applyRequested(DelayOperation operation, double operand);
  void resetClicked();
  // Delays browsers would slow down are to be raised to the smallest one they honour.
  void webSafeRequested();
  void delayFieldFocused();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* delayField(int id, int tip);
  void delayTyped(QLineEdit* field, const QString& text, bool before);
  void apply();

  DelayOperation operation_ = DelayOperation::kSet;
  QLineEdit* frame_;
  QLineEdit* before_;
  QLineEdit* after_;
  QLineEdit* value_;
  QToolButton* operationButton_;
  QActionGroup* operations_;
  QToolButton* apply_;
  QToolButton* reset_;
  QToolButton* webSafe_;
};

}  // namespace fw
