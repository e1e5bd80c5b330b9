#include "ui/reduce_frames_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

constexpr int kBadInterval = 40251;
constexpr int kBadIntervalCaption = 40252;

// The field takes any number so that a mistyped interval can be reported; the arrows keep to
// the meaningful range.
class IntervalBox : public QSpinBox {
 public:
  IntervalBox(int frameCount, QWidget* parent) : QSpinBox(parent), frameCount_(frameCount) {
    setRange(0, 999999);
  }
  void stepBy(int steps) override {
    const int top = std::max(2, frameCount_);
    setValue(std::clamp(value() + steps, 2, top));
  }

 private:
  int frameCount_;
};

}  // namespace

ReduceFramesDialog::ReduceFramesDialog(int frameCount, QWidget* parent)
    : QDialog(parent), frameCount_(frameCount) {
  setObjectName(QStringLiteral("ReduceFramesDialog"));
  setWindowTitle(QString::fromUtf8("减少帧数"));
  auto* count = new QLabel(QString::number(frameCount), this);
  count->setObjectName(QStringLiteral("c1225"));
  interval_ = new IntervalBox(frameCount, this);
  interval_->setObjectName(QStringLiteral("c1069"));
  interval_->setValue(2);
  remaining_ = new QLabel(this);
  remaining_->setObjectName(QStringLiteral("c1226"));

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8("帧数:"), count);
  form->addRow(QString::fromUtf8("删除间隔:"), interval_);
  form->addRow(QString::fromUtf8("剩余帧数:"), remaining_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("c2"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &ReduceFramesDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ReduceFramesDialog::reject);
  connect(interval_, &QSpinBox::valueChanged, this, &ReduceFramesDialog::showRemaining);
  showRemaining();
}

int ReduceFramesDialog::interval() const { return interval_->value(); }

void ReduceFramesDialog::setInterval(int interval) { interval_->setValue(interval); }

QString ReduceFramesDialog::remainingText() const { return remaining_->text(); }

void ReduceFramesDialog::showRemaining() {
  const int k = interval();
  if (k < 2 || k > frameCount_) remaining_->setText(QStringLiteral("?"));
  else remaining_->setText(QString::number(frameCount_ - frameCount_ / k));
}

void ReduceFramesDialog::accept() {
  const int k = interval();
  if (k < 2 || k > frameCount_) {
    Messages().ask(kBadInterval, MessageText(kBadInterval), MessageText(kBadIntervalCaption), Buttons::Ok,
                   Answer::Ok);
    interval_->setFocus();
    interval_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace fw
