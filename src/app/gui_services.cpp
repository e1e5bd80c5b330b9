#include "app/gui_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "core/string_table.h"
#include "ui/progress_window.h"

namespace fw {

namespace {
bool OnInterfaceThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
}  // namespace

void MessageBoxSink::showError(int id, const std::string& text) {
  // A worker (the optimize trial) may report; its box is shown later on the interface thread,
  // without the worker waiting for it.
  if (!OnInterfaceThread()) {
    QObject* context = parent_ ? static_cast<QObject*>(parent_) : QCoreApplication::instance();
    QMetaObject::invokeMethod(context, [this, id, text] { showError(id, text); }, Qt::QueuedConnection);
    return;
  }
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8(MessageText(msg::kErrorCaption)), QString::fromStdString(text),
                  QMessageBox::Ok, parent_);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void MessageBoxSink::showNote(const std::string& text) {
  if (!OnInterfaceThread()) {
    QObject* context = parent_ ? static_cast<QObject*>(parent_) : QCoreApplication::instance();
    QMetaObject::invokeMethod(context, [this, text] { showNote(text); }, Qt::QueuedConnection);
    return;
  }
  QMessageBox box(QMessageBox::Information, QStringLiteral("Framewright"), QString::fromStdString(text),
                  QMessageBox::Ok, parent_);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

Answer MessageBoxSink::ask(int, const std::string& text, const std::string& caption, Buttons buttons,
                           Answer defaultAnswer) {
  // Nobody can answer a worker: it goes on as a sink without a user would.
  if (!OnInterfaceThread()) return defaultAnswer;
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; break;
    case Buttons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text), set, parent_);
  box.setWindowModality(Qt::ApplicationModal);
  const QMessageBox::StandardButton def = defaultAnswer == Answer::Yes      ? QMessageBox::Yes
                                          : defaultAnswer == Answer::No     ? QMessageBox::No
                                          : defaultAnswer == Answer::Cancel ? QMessageBox::Cancel
                                                                            : QMessageBox::Ok;
  if (set & def) box.setDefaultButton(def);
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: return Answer::Cancel;
  }
}

DialogProgressHook::~DialogProgressHook() { delete window_.data(); }

ProgressWindow* DialogProgressHook::window() const { return window_.data(); }

void DialogProgressHook::showWindow() {
  if (!window_) window_ = new ProgressWindow(parent_, [] { RequestProgressStop(); });
  window_->begin();
}

void DialogProgressHook::setRange(int maximum) {
  if (window_) window_->setRange(maximum);
}
void DialogProgressHook::setPosition(int position) {
  if (window_) window_->setPosition(position);
}
void DialogProgressHook::setText(const std::string& text) {
  if (window_) window_->setText(QString::fromStdString(text));
}
void DialogProgressHook::pumpEvents() {
  if (window_) window_->showWhenDue();
  QCoreApplication::processEvents();
}
void DialogProgressHook::closeWindow() {
  if (window_) window_->end();
}

void QueuedSizeDisplay::showCalculating() {
  QMetaObject::invokeMethod(this, [this] { deliver_(-2); }, Qt::QueuedConnection);
}

void QueuedSizeDisplay::showFrameCosts(std::vector<int64_t> costs) {
  QMetaObject::invokeMethod(
      this, [this, costs = std::move(costs)]() mutable { if (receiveCosts_) receiveCosts_(std::move(costs)); },
      Qt::QueuedConnection);
}

void QueuedSizeDisplay::showSize(int32_t bytes) {
  QMetaObject::invokeMethod(this, [this, bytes] { deliver_(bytes); }, Qt::QueuedConnection);
}

}  // namespace fw
