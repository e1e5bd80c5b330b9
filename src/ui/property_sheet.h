#pragma once
// The "Properties" sheet: its pages side by side as tabs. OK checks every page in order and
// stays open on the first one that refuses.
#include <QDialog>
#include <QWidget>
#include <optional>
#include <vector>

class QLineEdit;
class QTabWidget;

namespace fw {

class PropertyPage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  // Shows the first problem's message and focuses its field; false keeps the sheet open.
  virtual bool validate() = 0;
};

class PropertySheet : public QDialog {
  Q_OBJECT
 public:
  explicit PropertySheet(QWidget* parent);

  void addPage(PropertyPage* page, const QString& title);
  void showPage(PropertyPage* page);
  PropertyPage* currentPage() const;
  void accept() override;

 private:
  QTabWidget* tabs_;
  std::vector<PropertyPage*> pages_;
};

// The number in a page's text field: nullopt when empty or not a number.
std::optional<long long> FieldNumber(const QLineEdit* field);

}  // namespace fw
