#pragma once
// The animation preview: plays the document with its own timing and loop count.
#include <QDialog>
#include <QImage>
#include <QTimer>
#include <vector>

class QLabel;
class QSlider;
class QToolButton;

namespace fw {

struct AnimHeader;

// Milliseconds a frame of `delay` document ticks stays up (time base ticks per second).
int PreviewInterval(int delay, int timeBase);
// After the last position was shown: decides whether playback goes on. `loopsLeft` counts the
// passes still to play (0 = forever) and is decreased here.
bool PreviewContinuesAfterLastFrame(int& loopsLeft, bool loopForever);

class PreviewDialog : public QDialog {
  Q_OBJECT
 public:
  PreviewDialog(AnimHeader& document, bool selectionOnly, QWidget* parent);

  void play();
  void stop();
  bool playing() const { return playing_; }
  int position() const { return position_; }  // 1..N
  int positionCount() const { return static_cast<int>(frames_.size()); }
  // Shows position k (1..N).
  void showPosition(int k);
  // Advances as the timer does; public so tests can step without waiting.
  void tick();
  int currentInterval() const;

 signals:
  void closing();

 protected:
  void closeEvent(QCloseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  struct Shown {
    QImage picture;
    int frameNumber;  // absolute, from 1
    int delay;
  };
  void compose(bool selectionOnly);

  AnimHeader& document_;
  std::vector<Shown> frames_;
  int position_ = 0;
  int loopsLeft_ = 0;
  bool playing_ = false;
  QTimer timer_;
  QLabel* view_;
  QLabel* number_;
  QSlider* slider_;
  QToolButton* playButton_;
};

}  // namespace fw
