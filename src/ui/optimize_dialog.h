#pragma once
// "优化动画": the optimizer's options, with a trial on a private copy of the animation that
// shows the size they give before the user commits. OK stores the options and makes the
// optimized copy the document (one undo step); Cancel leaves the document alone.
#include <QDialog>
#include <cstdint>

#include "imaging/optimize_trial.h"
#include "ui/trial_progress_relay.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace fw {

class OptimizeDialog : public QDialog {
  Q_OBJECT
 public:
  // `direct` (optional) shows the progress when OK has to optimize the document itself.
  OptimizeDialog(AnimHeader& document, ProgressHook* direct, QWidget* parent);
  ~OptimizeDialog() override;

  // The options word the controls stand for, and the reverse (enabling rules applied).
  uint32_t options() const;
  void setOptions(uint32_t word);

  // Measures the document and starts the first trial; runs once, when the dialog first shows.
  void begin();
  // OK's work without closing: waits for the trial, stores the options, changes the document.
  void apply();
  bool changed() const { return changed_; }
  bool trialRunning() const { return trial_.running(); }
  // The last trial's measured size, -1 while none is known.
  int32_t trialSize() const { return shownAfter_; }

  void accept() override;
  void reject() override;

 signals:
  // A trial's measured size arrived on the interface thread (-1: no result).
  void trialShown(int32_t size);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void updateEnabling();
  bool manual() const;
  void optionChanged(QAbstractButton* source);
  void frameRemovalToggled(bool on);
  void startTrial();
  void blankReadouts();
  void showReadouts(int32_t after);
  void trialFinished(unsigned generation, int32_t size);

  AnimHeader& document_;
  ProgressHook* direct_;
  // Declared before the trial: the trial's worker reports through it until the trial is gone.
  TrialProgressRelay relay_;
  OptimizeTrial trial_;
  bool hasLocalPalettes_ = false;
  bool begun_ = false;
  bool changed_ = false;
  bool settingOptions_ = false;
  // Bits of the options word no control shows (the LZW clearing rule): kept as they came.
  uint32_t unshownBits_ = 0;
  unsigned generation_ = 0;
  int32_t before_ = -1;
  int32_t shownAfter_ = -1;
  // The read-outs (or the running trial) belong to the options as they stand.
  bool fresh_ = false;

  QCheckBox* crop_;
  QCheckBox* transparency_;
  QCheckBox* removeLocal_;
  QRadioButton* cleanMerge_;
  QRadioButton* mapGlobal_;
  QRadioButton* adaptive_;
  QCheckBox* shrink_;
  QCheckBox* removeFrames_;
  QCheckBox* manual_;
  QPushButton* start_;
  QLabel* beforeText_;
  QLabel* after_;
  QLabel* saved_;
  QLabel* percent_;
  QLabel* approximated_;
  QLabel* status_;
  QProgressBar* bar_;
};

}  // namespace fw
