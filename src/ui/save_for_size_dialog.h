#pragma once
// Save for size: the user names a size, the planner tries candidates on its worker with the
// progress shown, and the chosen settings, size and quality are shown before anything is
// applied. OK applies the candidate as one undo step; Cancel (or closing) stops a running plan.
#include <QDialog>
#include <memory>

#include "imaging/size_plan_trial.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace fw {

class SaveForSizeDialog : public QDialog {
  Q_OBJECT
 public:
  // The document is only read until OK; the owner keeps it unchanged meanwhile.
  SaveForSizeDialog(AnimHeader& document, QWidget* parent = nullptr);
  ~SaveForSizeDialog() override;

  // Starts a plan for the size typed; false (and a word in the result line) when it is no size.
  bool startPlan();
  bool planning() const { return trial_.running(); }
  // Whether OK applied a candidate to the document.
  bool applied() const { return applied_; }

 public slots:
  void accept() override;
  void reject() override;

 private:
  void candidateTried(const SizeCandidate& candidate, int count);
  void planFinished();

  AnimHeader& document_;
  SizePlanTrial trial_;
  bool applied_ = false;
  int count_ = 0;
  QLineEdit* target_;
  QPushButton* start_;
  QProgressBar* busy_;
  QLabel* progress_;
  QLabel* result_;
  QDialogButtonBox* buttons_;
};

}  // namespace fw
