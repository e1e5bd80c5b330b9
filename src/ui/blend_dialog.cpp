#include "ui/blend_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/string_table.h"
#include "ui/blend_preview.h"

namespace fw {
namespace {
constexpr int kOffsetX = 1069, kOffsetY = 1070, kByTime = 1073, kOneToOne = 1074, kLoop = 1249;

QSpinBox* OffsetField(int id, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setObjectName(QStringLiteral("c%1").arg(id));
  field->setRange(-kMaxBlendOffset, kMaxBlendOffset);
  field->setValue(value);
  return field;
}
}  // namespace

BlendDialog::BlendDialog(const BlendOptions& start, QWidget* parent, const AnimHeader* first,
                         const AnimHeader* second)
    : QDialog(parent) {
  setObjectName(QStringLiteral("BlendDialog"));
  setWindowTitle(QString::fromUtf8(MessageText(blend_msg::kUndoName)));
  x_ = OffsetField(kOffsetX, start.x, this);
  y_ = OffsetField(kOffsetY, start.y, this);
  byTime_ = new QRadioButton(QString::fromUtf8("同步时间"), this);
  byTime_->setObjectName(QStringLiteral("c%1").arg(kByTime));
  oneToOne_ = new QRadioButton(QString::fromUtf8("对应帧为1对1"), this);
  oneToOne_->setObjectName(QStringLiteral("c%1").arg(kOneToOne));
  (start.byTime ? byTime_ : oneToOne_)->setChecked(true);
  loop_ = new QCheckBox(QString::fromUtf8("循环较短动画"), this);
  loop_->setObjectName(QStringLiteral("c%1").arg(kLoop));
  loop_->setChecked(start.loop);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("X:"), x_);
  form->addRow(QStringLiteral("Y:"), y_);
  form->addRow(QString(), byTime_);
  form->addRow(QString(), oneToOne_);
  form->addRow(QString(), loop_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  if (first && second) {
    preview_ = new BlendPreview(*first, *second, this);
    preview_->setOffset(start.x, start.y);
    layout->addWidget(preview_, 1);
    connect(preview_, &BlendPreview::offsetChanged, this, [this](int x, int y) {
      const QSignalBlocker quietX(x_), quietY(y_);
      x_->setValue(x);
      y_->setValue(y);
    });
    const auto typed = [this] { preview_->setOffset(x_->value(), y_->value()); };
    connect(x_, &QSpinBox::valueChanged, this, typed);
    connect(y_, &QSpinBox::valueChanged, this, typed);
  }
  layout->addLayout(form);
  layout->addWidget(buttons);
}

BlendOptions BlendDialog::options() const {
  BlendOptions o;
  o.x = x_->value();
  o.y = y_->value();
  o.byTime = byTime_->isChecked();
  o.loop = loop_->isChecked();
  return o;
}

}  // namespace fw
