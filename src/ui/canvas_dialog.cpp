#include "ui/canvas_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace fw {
namespace {

// The arrows stop at the smallest accepted length, while typing stays free so that OK can
// refuse a smaller one and say which field it was.
class FloorSpinBox : public QSpinBox {
 public:
  FloorSpinBox(int floor, QWidget* parent) : QSpinBox(parent), floor_(floor) {}
  void stepBy(int steps) override {
    const int stepped = value() + steps * singleStep();
    setValue(std::max(stepped, std::min(floor_, value())));
  }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled enabled = QSpinBox::stepEnabled();
    if (value() <= floor_) enabled &= ~StepDownEnabled;
    return enabled;
  }

 private:
  int floor_;
};

}  // namespace

CanvasDialog::CanvasDialog(const AnimHeader& document, QWidget* parent)
    : QDialog(parent), start_(StartCanvas(document)) {
  setObjectName(QStringLiteral("CanvasDialog"));
  setWindowTitle(QString::fromUtf8("增加画布大小"));
  auto* current = new QLabel(QString::fromStdString(CanvasSizeText(start_)), this);
  current->setObjectName(QStringLiteral("c%1").arg(canvas_dialog::kCurrentSize));
  auto* explanation = new QLabel(
      QStringLiteral("The pictures stay at the top left; the new area is added at the right and "
                     "bottom and shows nothing (the transparent colour, or the background colour "
                     "for frames without transparency)."),
      this);
  explanation->setWordWrap(true);

  auto spin = [this](int id, int32_t value) {
    auto* box = new FloorSpinBox(value, this);
    box->setObjectName(QStringLiteral("c%1").arg(id));
    box->setRange(1, kMaxCanvasLength);
    box->setValue(value);
    return box;
  };
  width_ = spin(canvas_field::kWidth, start_.minWidth);
  height_ = spin(canvas_field::kHeight, start_.minHeight);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8("宽度:"), width_);
  form->addRow(QString::fromUtf8("高度:"), height_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current);
  layout->addWidget(explanation);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CanvasDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int32_t CanvasDialog::newWidth() const { return width_->value(); }
int32_t CanvasDialog::newHeight() const { return height_->value(); }

void CanvasDialog::accept() {
  int32_t width = newWidth(), height = newHeight();
  const int refused = CheckCanvasSize(start_, width, height);
  if (refused != 0) {
    QSpinBox* field = refused == canvas_field::kWidth ? width_ : height_;
    field->setValue(refused == canvas_field::kWidth ? width : height);
    field->setFocus();
    field->selectAll();
    QApplication::beep();
    return;
  }
  QDialog::accept();
}

}  // namespace fw
