#pragma once
// The preferences property sheet: seven pages, OK and Cancel (no Apply). A page that fails
// its check keeps the focus when the user tries to leave it.
#include <QDialog>
#include <QList>

#include "app/preferences/preference_page.h"

class QTabWidget;

namespace fw {

class PreferencesSheet : public QDialog {
  Q_OBJECT
 public:
  explicit PreferencesSheet(QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  // The page built from template `templateId`, or nullptr.
  PreferencePage* page(int templateId) const;
  // Switches to the page as clicking its tab does (refused when the current page is invalid).
  void showPage(int templateId);
  const PreferencesOutcome& outcome() const { return outcome_; }

  // Checks the current page, then writes every page's changes.
  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void tabChanged(int index);
  bool currentPageValid();

  QTabWidget* tabs_;
  QList<PreferencePage*> pages_;
  int shown_ = 0;
  bool returning_ = false;
  PreferencesOutcome outcome_;
};

// Runs the sheet modally; what the window must do afterwards is in the outcome.
PreferencesOutcome RunPreferences(QWidget* parent);

}  // namespace fw
