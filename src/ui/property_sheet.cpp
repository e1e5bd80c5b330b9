#include "ui/property_sheet.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fw {

PropertySheet::PropertySheet(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PropertySheet"));
  setWindowTitle(QStringLiteral("Properties"));
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("tabs"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::leavePage);
}

void PropertySheet::leavePage(int now) {
  PropertyPage* left = shown_;
  shown_ = qobject_cast<PropertyPage*>(tabs_->widget(now));
  if (!left || left == shown_ || left->validate()) return;
  // The page that refused stays in front with its field focused.
  const QSignalBlocker quiet(tabs_);
  tabs_->setCurrentWidget(left);
  shown_ = left;
}

void PropertySheet::addPage(PropertyPage* page, const QString& title) {
  const QSignalBlocker quiet(tabs_);
  tabs_->addTab(page, title);
  shown_ = currentPage();
}

void PropertySheet::showPage(PropertyPage* page) {
  const QSignalBlocker quiet(tabs_);
  tabs_->setCurrentWidget(page);
  shown_ = page;
}

PropertyPage* PropertySheet::currentPage() const { return qobject_cast<PropertyPage*>(tabs_->currentWidget()); }

void PropertySheet::accept() {
  // The other pages were checked when the user left them, and untouched ones hold the
  // document's own values.
  if (PropertyPage* page = currentPage(); page && !page->validate()) return;
  QDialog::accept();
}

std::optional<long long> FieldNumber(const QLineEdit* field) {
  bool ok = false;
  const long long value = field->text().trimmed().toLongLong(&ok);
  return ok ? std::optional<long long>(value) : std::nullopt;
}

}  // namespace fw
