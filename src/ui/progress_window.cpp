#include "ui/progress_window.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace fw {

ProgressWindow::ProgressWindow(QWidget* owner, std::function<void()> stop)
    : QDialog(owner), owner_(owner), stop_(std::move(stop)) {
  setObjectName(QStringLiteral("d166"));
  setWindowModality(Qt::NonModal);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("c1118"));
  text_->setMinimumWidth(320);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("c1117"));
  bar_->setTextVisible(false);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("c2"));
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { stop_(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(bar_);
  layout->addWidget(buttons);
}

ProgressWindow::~ProgressWindow() { end(); }

void ProgressWindow::begin() {
  if (running_) return;
  running_ = true;
  // An operation run from inside a modal dialog is owned by that dialog: the box must sit
  // above it (a modal dialog blocks every window that is not its own), and the dialog takes
  // no input while the operation runs.
  host_ = QApplication::activeModalWidget();
  QWidget* parent = host_ ? host_ : owner_;
  if (parentWidget() != parent) setParent(parent, windowFlags());
  text_->clear();
  bar_->setRange(0, 0);
  clock_.start();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  qApp->installEventFilter(this);
}

void ProgressWindow::showWhenDue() {
  if (running_ && !isVisible() && clock_.elapsed() >= delay_) {
    show();
    raise();
    activateWindow();
  }
}

void ProgressWindow::end() {
  if (!running_) return;
  running_ = false;
  qApp->removeEventFilter(this);
  QApplication::restoreOverrideCursor();
  hide();
}

void ProgressWindow::setRange(int maximum) { bar_->setRange(0, std::max(maximum, 0)); }
void ProgressWindow::setPosition(int position) { bar_->setValue(std::min(position, bar_->maximum())); }
void ProgressWindow::setText(const QString& text) { text_->setText(text); }

// Closing the box is giving up, not hiding it: the operation ends and takes the box along.
void ProgressWindow::reject() { stop_(); }

bool ProgressWindow::belongsToMe(QObject* object) const {
  for (QObject* o = object; o; o = o->parent())
    if (o == this) return true;
  return false;
}

bool ProgressWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && QApplication::activeModalWidget() == host_) {
        stop_();
        return true;
      }
      [[fallthrough]];
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Shortcut:
    case QEvent::Drop: {
      // A question the operation asks (a modal box) is answered normally; everything else
      // that would start another command while this one runs is held back. Input reaches a
      // window before its widgets; it is judged at the widget.
      if (watched->isWindowType() || belongsToMe(watched)) return false;
      if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != host_) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == modal || modal->isAncestorOf(widget))) return false;
      }
      return true;
    }
    default: return false;
  }
}

}  // namespace fw
