#pragma once
// The progress window of long operations on the interface thread: a modeless box with a bar
// (1117), a text (1118) and Cancel. While an operation runs, the owner window takes no input
// (as if it held the mouse), the wait cursor shows, and Escape or Cancel ask the operation to
// stop. The box itself appears only once the operation has run for a moment, so quick ones
// show nothing.
#include <QDialog>
#include <QElapsedTimer>
#include <functional>

class QLabel;
class QProgressBar;

namespace fw {

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  // `stop` is what Escape and Cancel call.
  ProgressWindow(QWidget* owner, std::function<void()> stop);
  ~ProgressWindow() override;

  // An operation starts: capture input and show the wait cursor; the box follows later.
  void begin();
  // Called between steps: shows the box once the delay has passed.
  void showWhenDue();
  // The operation ended: the box goes, input and cursor are given back.
  void end();
  bool running() const { return running_; }
  void setRange(int maximum);
  void setPosition(int position);
  void setText(const QString& text);
  // How long an operation runs before the box appears (tests shorten it).
  void setShowDelay(int milliseconds) { delay_ = milliseconds; }

  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool belongsToMe(QObject* object) const;

  QWidget* owner_;
  QWidget* host_ = nullptr;  // the modal dialog the operation runs from, if any
  std::function<void()> stop_;
  QProgressBar* bar_;
  QLabel* text_;
  QElapsedTimer clock_;
  int delay_ = 400;
  bool running_ = false;
};

}  // namespace fw
