#include "app/preferences/preferences_sheet.h"

#include <QDialogButtonBox>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/preferences/animation_page.h"
#include "app/preferences/export_pages.h"
#include "app/preferences/frame_tips_page.h"
#include "app/preferences/general_page.h"
#include "app/preferences/palette_page.h"
#include "app/preferences/purpose_page.h"

namespace fw {

PreferencesSheet::PreferencesSheet(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PreferencesSheet"));
  setWindowTitle(QStringLiteral("Preferences"));
  tabs_ = new QTabWidget(this);
  // Every page's tab stays in sight, as on a property sheet.
  tabs_->setUsesScrollButtons(false);
  pages_ = {new PurposePage, new GeneralPage, new PalettePage, new AnimationPage,
            new ExportPage,  new ExportTwoPage, new FrameTipsPage};
  for (PreferencePage* p : pages_) tabs_->addTab(p, p->title());
  connect(tabs_, &QTabWidget::currentChanged, this, &PreferencesSheet::tabChanged);
  tabs_->tabBar()->installEventFilter(this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesSheet::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

PreferencePage* PreferencesSheet::page(int templateId) const {
  for (PreferencePage* p : pages_)
    if (p->templateId() == templateId) return p;
  return nullptr;
}

void PreferencesSheet::showPage(int templateId) {
  if (PreferencePage* p = page(templateId)) tabs_->setCurrentWidget(p);
}

bool PreferencesSheet::currentPageValid() {
  PreferencePage* current = pages_.value(shown_);
  QWidget* field = current ? current->invalidField() : nullptr;
  if (!field) return true;
  field->setFocus(Qt::OtherFocusReason);
  return false;
}

// A click on another tab is checked before the tab bar switches, so the page with the problem
// stays on screen under its message.
bool PreferencesSheet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabs_->tabBar() && event->type() == QEvent::MouseButtonPress) {
    const int target = tabs_->tabBar()->tabAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    if (target >= 0 && target != shown_ && !currentPageValid()) return true;
  }
  return QDialog::eventFilter(watched, event);
}

// Other ways of switching (keys, showPage) arrive after the switch; an invalid page is shown
// again.
void PreferencesSheet::tabChanged(int index) {
  if (returning_) return;
  const int left = shown_;
  PreferencePage* leaving = pages_.value(left);
  QWidget* field = leaving ? leaving->invalidField() : nullptr;
  if (!field) {
    shown_ = index;
    return;
  }
  returning_ = true;
  tabs_->setCurrentIndex(left);
  returning_ = false;
  field->setFocus(Qt::OtherFocusReason);
}

void PreferencesSheet::accept() {
  if (!currentPageValid()) return;
  outcome_ = {};
  outcome_.accepted = true;
  // In page order: the purpose presets first, then what the user changed on the other pages.
  for (PreferencePage* p : pages_) p->commit(outcome_);
  QDialog::accept();
}

PreferencesOutcome RunPreferences(QWidget* parent) {
  PreferencesSheet sheet(parent);
  sheet.exec();
  return sheet.outcome();
}

}  // namespace fw
