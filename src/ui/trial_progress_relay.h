#pragma once
// A progress hook for work running on a worker thread: every call becomes a queued signal, so
// the widgets that show the progress are only ever touched on the interface thread.
#include <QObject>
#include <QString>

#include "core/progress.h"

namespace fw {

class TrialProgressRelay : public QObject, public ProgressHook {
  Q_OBJECT
 public:
  explicit TrialProgressRelay(QObject* parent = nullptr) : QObject(parent) {}

  void showWindow() override {}
  void setRange(int maximum) override;
  void setPosition(int position) override;
  void setText(const std::string& text) override;
  // The worker must never run the interface's event loop.
  void pumpEvents() override {}
  void closeWindow() override {}

 signals:
  void rangeChanged(int maximum);
  void positionChanged(int position);
  void textChanged(const QString& text);
};

}  // namespace fw
