#pragma once
// The animation preview: plays the document with its own timing and loop count, composing
// each frame only when it is shown. In timing mode it is also the delay editor: it shows the
// delays before and after the frame on show, applies one operation to all of them, and writes
// every change straight into the document, the first one of a window as one undo step.
#include <QDialog>
#include <memory>
#include <vector>

#include "core/delay_operations.h"
#include "ui/playback_clock.h"

class QHBoxLayout;
class QLabel;
class QSlider;
class QToolButton;

namespace fw {

struct AnimHeader;
struct ImageBlock;
class ShowAnimView;
class TimingPanel;

class PreviewDialog : public QDialog {
  Q_OBJECT
 public:
  struct Options {
    bool selectionOnly = false;
    bool timing = false;
    // The 0-based index of the frame to show first, stopped; -1 plays from the start.
    int startFrame = -1;
  };
  // The document is not owned; the shell closes the preview before anything changes its
  // frames. Without a clock the steady clock is used.
  PreviewDialog(AnimHeader& document, Options options, QWidget* parent,
                std::unique_ptr<PlaybackClock> clock = nullptr);
  ~PreviewDialog() override;

  // Shows the window and starts. When the view could not make its picture the user is told
  // (message 40353) and the preview closes instead.
  void begin();

  // --- playback ---
  void play();
  void stop();
  bool playing() const { return playing_; }
  int position() const { return position_; }  // 1..N; 0 before anything was shown
  int positionCount() const { return static_cast<int>(frames_.size()); }
  int frameNumberAt(int k) const;  // absolute, from 1
  // Ignored for k outside 1..N or equal to the position on show.
  void showPosition(int k, bool seek);
  int currentInterval() const;  // milliseconds the position on show stays up
  // Plays delays as browsers do (0 and 1 hundredth as 10); the choice is stored.
  void setBrowserTiming(bool on);
  bool browserTiming() const { return browserTiming_; }
  bool fullScreen() const { return fullScreen_; }
  ShowAnimView* view() const { return view_; }

  // --- timing mode ---
  void setTimingMode(bool on);
  bool timingMode() const { return timing_; }
  double delayAt(int k) const;
  // The all-frames operation, applied to every previewed position.
  void applyToAllDelays(DelayOperation operation, double operand);
  // Raises every previewed delay browsers would slow down to the smallest one they honour.
  void makeDelaysWebSafe();

  // --- from the shell ---
  // The logical screen size changed: the picture is made again.
  void screenSizeChanged();
  // Frames were added, removed or reordered: positions and delays are collected again.
  void frameListChanged();
  // Frame `index` (0-based in the document) got `delay`; -1 reloads every delay from the
  // document, after which the next write records a fresh undo step.
  void setFrameDelay(int index, int delay);
  void reloadDelays() { setFrameDelay(-1, 0); }
  void setBackgroundColour(const QColor& colour);

 signals:
  void delaysWritten();
  void timingPanelToggled(bool shown);
  // The reset button: the shell undoes the timing step and calls reloadDelays().
  void undoRequested();
  void closing();

 protected:
  void closeEvent(QCloseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void reject() override;

 private:
  void buildControls();
  QToolButton* addButton(QHBoxLayout* row, int id, const QString& text);
  void collectFrames();
  void loadDelays();
  void tick();
  void scheduleNextTick();
  void navigate(int k, bool seek);
  void updateZoomButtons();
  void refreshTimingFields();
  void writeDelay(int k, double delay);
  bool recordUndoOnce();
  void chooseBackground();
  void fitToWorkArea();
  void failAndClose();

  AnimHeader& document_;
  Options options_;
  std::unique_ptr<PlaybackClock> clock_;
  bool hideFirst_ = false;
  bool fullScreen_ = false;
  bool timing_ = false;
  bool browserTiming_ = false;
  bool failed_ = false;
  bool closed_ = false;

  // Per position: the frame's absolute number and its block (valid until the frame list
  // changes, which the shell reports), and the delay in use, which may carry a fraction
  // after a multiplication.
  std::vector<int> frames_;
  std::vector<ImageBlock*> blocks_;
  std::vector<double> delays_;
  int position_ = 0;
  bool playing_ = false;
  int loopsLeft_ = 0;
  qint64 due_ = 0;
  bool undoRecorded_ = false;
  bool settingSlider_ = false;

  ShowAnimView* view_;
  QWidget* controls_;
  QToolButton* playButton_;
  QToolButton* stopButton_;
  QToolButton* zoomIn_;
  QToolButton* zoomOut_;
  QToolButton* actualSize_;
  QToolButton* timingButton_;
  QToolButton* browserButton_;
  QToolButton* colourButton_;
  QSlider* slider_;
  QLabel* number_;
  TimingPanel* timingPanel_;
};

}  // namespace fw
