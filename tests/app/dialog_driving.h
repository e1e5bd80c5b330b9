#pragma once
// Driving dialogs in window tests: controls by their numeric id, and modal dialogs answered
// from inside their own event loop.
#include <QApplication>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace fw::test {

template <typename W = QWidget>
W* Control(QWidget* scope, int id) {
  return scope->findChild<W*>(QStringLiteral("c%1").arg(id));
}
template <typename W = QWidget>
W* Control(QWidget& scope, int id) {
  return Control<W>(&scope, id);
}
inline void Type(QWidget& scope, int id, int value) { Control<QSpinBox>(scope, id)->setValue(value); }
inline int Shown(QWidget& scope, int id) { return Control<QSpinBox>(scope, id)->value(); }

// Runs `answer` on the modal dialog of type D once it is shown (whatever runs before it may
// process events, so the dialog is looked for until it appears).
template <typename D, typename F>
void AnswerNextDialog(F answer) {
  auto* poll = new QTimer;
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
    if (!dialog) return;
    poll->stop();
    poll->deleteLater();
    answer(*dialog);
  });
  poll->start();
}

// The same for tests that take the dialog by pointer.
template <typename D, typename F>
void WhenModal(F act) {
  AnswerNextDialog<D>([act](D& dialog) { act(&dialog); });
}

}  // namespace fw::test
