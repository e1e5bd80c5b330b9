#pragma once
// What every window test runs under: messages are recorded instead of shown, preferences
// start from their defaults, and the undo history is emptied after each test function.
#include <QObject>
#include <memory>

#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "support/test_support.h"

namespace fw::test {

class AppTestCase : public QObject {
  Q_OBJECT
 protected:
  ScopedMessages& messages() { return *messages_; }
  // For tests of what the window remembers: preferences kept in memory for this test.
  MemoryPreferenceStore& useStoredPreferences() {
    store_ = std::make_unique<MemoryPreferenceStore>();
    Prefs().load(store_.get());
    return *store_;
  }

 protected slots:
  // Qt Test finds these by name; not being private slots, they are not run as tests.
  void init() { messages_ = std::make_unique<ScopedMessages>(); }
  void cleanup() {
    ClearUndo();
    messages_.reset();
    store_.reset();
  }

 private:
  std::unique_ptr<ScopedMessages> messages_;
  std::unique_ptr<MemoryPreferenceStore> store_;
};

}  // namespace fw::test
