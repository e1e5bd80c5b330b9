#include "ui/filmstrip_import_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/filmstrip.h"

namespace fw {
namespace {
constexpr int kPerRow = 1069, kPerColumn = 1070, kHorizontal = 1073, kVertical = 1074;
constexpr int kWidthNotDivisible = 40164, kHeightNotDivisible = 40165;
constexpr uint32_t kVerticalBit = 1u << 29;

QSpinBox* CountField(int id, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setObjectName(QStringLiteral("c%1").arg(id));
  field->setRange(1, 65535);
  field->setValue(std::max(value, 1));
  return field;
}
}  // namespace

FilmstripImportDialog::FilmstripImportDialog(const AnimHeader& document, int suggestedPerRow,
                                             int suggestedPerColumn, QWidget* parent)
    : QDialog(parent), document_(document) {
  setObjectName(QStringLiteral("FilmstripImportDialog"));
  setWindowTitle(QString::fromUtf8("导入幻灯片"));
  perRow_ = CountField(kPerRow, suggestedPerRow, this);
  perColumn_ = CountField(kPerColumn, suggestedPerColumn, this);
  horizontal_ = new QRadioButton(QString::fromUtf8("水平"), this);
  horizontal_->setObjectName(QStringLiteral("c%1").arg(kHorizontal));
  vertical_ = new QRadioButton(QString::fromUtf8("垂直"), this);
  vertical_->setObjectName(QStringLiteral("c%1").arg(kVertical));
  (Prefs().bit(pref::kOptionFlags, kVerticalBit) ? vertical_ : horizontal_)->setChecked(true);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8("每行帧数:"), perRow_);
  form->addRow(QString::fromUtf8("每列帧数:"), perColumn_);
  form->addRow(QString::fromUtf8("顺序:"), horizontal_);
  form->addRow(QString(), vertical_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &FilmstripImportDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

int FilmstripImportDialog::perRow() const { return perRow_->value(); }
int FilmstripImportDialog::perColumn() const { return perColumn_->value(); }
bool FilmstripImportDialog::horizontal() const { return horizontal_->isChecked(); }

void FilmstripImportDialog::accept() {
  const int problem = FilmstripImportProblem(document_, perRow(), perColumn());
  if (problem != 0) {
    ShowMessage(problem);
    if (problem == kWidthNotDivisible) perRow_->setFocus();
    else if (problem == kHeightNotDivisible) perColumn_->setFocus();
    return;
  }
  Prefs().setBits(pref::kOptionFlags, kVerticalBit, !horizontal());
  QDialog::accept();
}

}  // namespace fw
