#pragma once
// What every window test runs under: messages are recorded instead of shown, preferences
// start from their defaults, and the undo history is emptied after each test function.
#include <QObject>
#include <memory>

#include "core/undo_history.h"
#include "support/test_support.h"

namespace fw::test {

class AppTestCase : public QObject {
  Q_OBJECT
 protected:
  ScopedMessages& messages() { return *messages_; }

 protected slots:
  // Qt Test finds these by name; not being private slots, they are not run as tests.
  void init() { messages_ = std::make_unique<ScopedMessages>(); }
  void cleanup() {
    ClearUndo();
    messages_.reset();
  }

 private:
  std::unique_ptr<ScopedMessages> messages_;
};

}  // namespace fw::test
