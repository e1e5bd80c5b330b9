#include "ui/property_sheet.h"

#include <QDialogButtonBox>
#include <QLineEdit>
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
}

void PropertySheet::addPage(PropertyPage* page, const QString& title) {
  pages_.push_back(page);
  tabs_->addTab(page, title);
}

void PropertySheet::showPage(PropertyPage* page) { tabs_->setCurrentWidget(page); }

PropertyPage* PropertySheet::currentPage() const { return qobject_cast<PropertyPage*>(tabs_->currentWidget()); }

void PropertySheet::accept() {
  for (PropertyPage* page : pages_) {
    if (!page->validate()) {
      tabs_->setCurrentWidget(page);
      return;
    }
  }
  QDialog::accept();
}

std::optional<long long> FieldNumber(const QLineEdit* field) {
  bool ok = false;
  const long long value = field->text().trimmed().toLongLong(&ok);
  return ok ? std::optional<long long>(value) : std::nullopt;
}

}  // namespace fw
