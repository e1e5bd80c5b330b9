#pragma once
// The "Properties" sheet: its pages side by side as tabs. A page is checked when the user
// leaves it, for another tab or with OK; a page that refuses stays in front.
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
  void leavePage(int now);

  QTabWidget* tabs_;
  PropertyPage* shown_ = nullptr;
};

// The number in a page's text field: nullopt when empty or not a number.
std::optional<long long> FieldNumber(const QLineEdit* field);

}  // namespace fw
