#pragma once
// "减少颜色": the colour count, dithering and colour locks for Reduce palettes, with the
// animation as it is beside a trial reduction of a private copy, and the bytes that saves. OK
// makes the reduced copy the document (one undo step) and remembers the choice; Cancel leaves
// the document alone.
#include <QDialog>
#include <QTimer>

#include "imaging/reduce_colours_choice.h"
#include "imaging/reduce_trial.h"
#include "ui/trial_progress_relay.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace fw {

class ProgressHook;
class ShowAnimView;

class ReduceColoursDialog : public QDialog {
  Q_OBJECT
 public:
  // False, after message 40118, when no palette of the document has more than two colours.
  static bool Reducible(const AnimHeader& document);

  // `progress` (optional) shows OK's reduction when no up-to-date trial can be used; the
  // panes show frame `currentFrame` (0-based; the first frame when there is none).
  ReduceColoursDialog(AnimHeader& document, int currentFrame, ProgressHook* progress, QWidget* parent);
  ~ReduceColoursDialog() override;

  // The choice as the controls stand; a typed count is corrected (and written back).
  ReduceColoursChoice choice();
  const ColourLocks& locks() const { return locks_; }
  // What the lock chooser's OK does with its set.
  void setLockedIndices(const std::vector<int>& indices);
  // Opens the colour-lock chooser (modal).
  void chooseLocks();

  // Runs the first trial; runs once, when the dialog first shows.
  void begin();
  // Starts a trial on the worker unless the count and dithering are what the shown (or the
  // running) one was made with; its result arrives later.
  void runTrial();
  // Waits for a running trial and shows its result at once.
  void waitForTrial();
  bool trialRunning() const { return trial_.running(); }
  // OK's work without closing. True when the document changed.
  bool apply();
  bool changed() const { return changed_; }
  // The reduced copy the right pane shows (none before the first trial).
  const AnimHeader* trialCopy() const { return copy_.get(); }
  int64_t trialSize() const { return reducedSize_; }

  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void countTyped();
  void showReadouts();
  void trialFinished(unsigned generation);
  // Shows what the finished trial made (or gives up when it could not make a copy).
  void takeTrialResult();
  void stopTrial();

  AnimHeader& document_;
  ProgressHook* progress_;
  ColourLocks locks_;
  AnimPtr copy_;
  bool begun_ = false;
  bool changed_ = false;
  // The trial shown was made with these; a lock change forces the next one.
  ReduceColoursChoice shown_{};
  bool trialFresh_ = false;
  // The running trial was started with this choice; a lock change makes it stale.
  ReduceColoursChoice pending_{};
  bool pendingStale_ = false;
  bool resultPending_ = false;
  unsigned generation_ = 0;
  TrialProgressRelay relay_;
  ReduceTrial trial_;
  int largest_ = 0;
  int shownFrame_ = 1;
  int64_t fullSize_ = -1;
  int64_t reducedSize_ = -1;

  QComboBox* count_;
  QCheckBox* refined_ = nullptr;
  QCheckBox* dither_;
  QPushButton* lock_;
  ShowAnimView* full_;
  ShowAnimView* reduced_;
  QLabel* fullSizeText_;
  QLabel* fullColours_;
  QLabel* reducedSizeText_;
  QLabel* reducedColours_;
  QLabel* saved_;
  QLabel* status_;
  QProgressBar* bar_;
  QTimer typing_;
};

}  // namespace fw
