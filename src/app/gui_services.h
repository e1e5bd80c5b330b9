#pragma once
// The window's implementations of the core's interface hooks: message boxes, the progress
// window, and the status-bar end of the size worker.
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>

#include "core/message_sink.h"
#include "core/progress.h"
#include "core/workers.h"

class QWidget;

namespace fw {

// Task-modal boxes under the main window; errors captioned with message 40325.
class MessageBoxSink : public MessageSink {
 public:
  explicit MessageBoxSink(QWidget* parent) : parent_(parent) {}
  void showError(int id, const std::string& text) override;
  Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
             Answer defaultAnswer) override;
  void showNote(const std::string& text) override;

 private:
  QWidget* parent_;
};

class ProgressWindow;

// The progress window kept alive by processing events; Cancel or Escape ask the running
// operation to stop through the process-wide continue flag.
class DialogProgressHook : public ProgressHook {
 public:
  explicit DialogProgressHook(QWidget* parent) : parent_(parent) {}
  ~DialogProgressHook() override;
  // The window, made on first use (nullptr before).
  ProgressWindow* window() const;
  void showWindow() override;
  void setRange(int maximum) override;
  void setPosition(int position) override;
  void setText(const std::string& text) override;
  void pumpEvents() override;
  void closeWindow() override;

 private:
  QWidget* parent_;
  // The window follows a modal dialog it runs under and may go with it when that dialog is
  // destroyed: a guarded pointer notices.
  QPointer<ProgressWindow> window_;
};

// Receives the size worker's results on the worker thread and hands them to the interface
// thread, where `deliver` runs (-2 meaning "calculating").
class QueuedSizeDisplay : public QObject, public SizeDisplay {
  Q_OBJECT
 public:
  explicit QueuedSizeDisplay(std::function<void(int32_t)> deliver) : deliver_(std::move(deliver)) {}
  void showCalculating() override;
  void showSize(int32_t bytes) override;
  // Per-frame costs are measured only while someone shows them.
  void setFrameCostReceiver(std::function<void(std::vector<int64_t>)> receive) { receiveCosts_ = std::move(receive); }
  void setWantsFrameCosts(bool on) { wantsCosts_ = on; }
  bool wantsFrameCosts() const override { return wantsCosts_; }
  void showFrameCosts(std::vector<int64_t> costs) override;

 private:
  std::function<void(int32_t)> deliver_;
  std::function<void(std::vector<int64_t>)> receiveCosts_;
  std::atomic<bool> wantsCosts_{false};
};

}  // namespace fw
