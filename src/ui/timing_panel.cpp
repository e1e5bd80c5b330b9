#include "ui/timing_panel.h"

#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include "core/string_table.h"

namespace fw {
namespace {

QString Text(int id) { return QString::fromUtf8(MessageText(id)); }
QString Id(int id) { return QStringLiteral("c%1").arg(id); }

struct OperationRow {
  DelayOperation operation;
  const char* symbol;
  const char* objectName;
};
const OperationRow kOperations[] = {
    {DelayOperation::kSet, "=", "delaySet"},           {DelayOperation::kAdd, "+", "delayAdd"},
    {DelayOperation::kSubtract, "−", "delaySubtract"}, {DelayOperation::kMultiply, "×", "delayMultiply"},
    {DelayOperation::kDivide, "÷", "delayDivide"}};

QString DelayText(double delay) { return QString::number(StoredDelay(delay)); }

}  // namespace

TimingPanel::TimingPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("timingPanel"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addStretch(1);

  frame_ = new QLineEdit(this);
  frame_->setObjectName(Id(1240));
  frame_->setToolTip(Text(40295));
  frame_->setReadOnly(true);
  frame_->setFixedWidth(56);
  // Each field carries its tool tip's words as a visible label too.
  auto labelled = [this, row](QWidget* field, const QString& text = QString()) {
    auto* label = new QLabel(text.isEmpty() ? field->toolTip() : text, this);
    label->setBuddy(field);
    row->addWidget(label);
    row->addWidget(field);
  };
  labelled(frame_);
  before_ = delayField(1070, 40290);
  labelled(before_);
  after_ = delayField(1071, 40291);
  labelled(after_);
  row->addSpacing(12);

  value_ = new QLineEdit(this);
  value_->setObjectName(Id(1072));
  value_->setToolTip(Text(40306));
  value_->setMaxLength(12);
  value_->setFixedWidth(70);
  labelled(value_, QString::fromUtf8("所有帧"));

  operationButton_ = new QToolButton(this);
  operationButton_->setObjectName(QStringLiteral("delayOperation"));
  operationButton_->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(operationButton_);
  operations_ = new QActionGroup(this);
  for (const OperationRow& r : kOperations) {
    QAction* a = menu->addAction(QString::fromUtf8(r.symbol));
    a->setObjectName(QString::fromLatin1(r.objectName));
    a->setCheckable(true);
    operations_->addAction(a);
    connect(a, &QAction::triggered, this, [this, op = r.operation] { setOperation(op); });
  }
  operationButton_->setMenu(menu);
  row->addWidget(operationButton_);

  apply_ = new QToolButton(this);
  apply_->setObjectName(QStringLiteral("delayApply"));
  apply_->setText(QStringLiteral("✓"));
  apply_->setToolTip(Text(40307));
  apply_->setEnabled(false);
  row->addWidget(apply_);
  row->addSpacing(12);

  reset_ = new QToolButton(this);
  reset_->setObjectName(Id(1241));
  reset_->setText(QStringLiteral("↺"));
  reset_->setToolTip(Text(40297));
  reset_->setEnabled(false);
  row->addWidget(reset_);

  webSafe_ = new QToolButton(this);
  webSafe_->setObjectName(QStringLiteral("makeWebSafe"));
  webSafe_->setText(QString::fromUtf8("网页安全"));
  webSafe_->setToolTip(Text(msg::kMakeWebSafeTip));
  row->addWidget(webSafe_);
  row->addStretch(1);

  setOperation(DelayOperation::kSet);
  connect(value_, &QLineEdit::textChanged, this, [this](const QString& t) { apply_->setEnabled(!t.isEmpty()); });
  connect(value_, &QLineEdit::returnPressed, this, [this] { apply(); });
  connect(apply_, &QToolButton::clicked, this, [this] { apply(); });
  connect(reset_, &QToolButton::clicked, this, [this] { emit resetClicked(); });
  connect(webSafe_, &QToolButton::clicked, this, [this] { emit webSafeRequested(); });
}

QLineEdit* TimingPanel::delayField(int id, int tip) {
  auto* field = new QLineEdit(this);
  field->setObjectName(Id(id));
  field->setToolTip(Text(tip));
  field->setMaxLength(9);
  field->setFixedWidth(70);
  field->installEventFilter(this);
  // Only the user's typing is reported, never the panel's own filling of the fields.
  connect(field, &QLineEdit::textEdited, this,
          [this, field, before = id == 1070](const QString& t) { delayTyped(field, t, before); });
  return field;
}

void TimingPanel::delayTyped(QLineEdit* field, const QString& text, bool before) {
  const std::optional<double> delay = ParseDelay(text.toStdString());
  if (!delay) return;
  // A value a GIF cannot hold is shown as the one written.
  const QString written = DelayText(*delay);
  if (written != text.trimmed()) field->setText(written);
  if (before) emit delayBeforeEdited(*delay);
  else emit delayAfterEdited(*delay);
}

void TimingPanel::apply() {
  const std::optional<double> operand = ParseDelayOperand(value_->text().toStdString(), operation_);
  if (!operand) {
    QApplication::beep();
    return;
  }
  emit applyRequested(operation_, *operand);
}

void TimingPanel::showDelays(int frameNumber, double before, double after, bool beforeEnabled) {
  frame_->setText(QString::number(frameNumber));
  before_->setText(DelayText(before));
  before_->setEnabled(beforeEnabled);
  after_->setText(DelayText(after));
}

void TimingPanel::setResetEnabled(bool on) { reset_->setEnabled(on); }

void TimingPanel::setOperation(DelayOperation operation) {
  operation_ = operation;
  for (const OperationRow& r : kOperations) {
    if (r.operation != operation) continue;
    operationButton_->setText(QString::fromUtf8(r.symbol));
    for (QAction* a : operations_->actions())
      if (a->objectName() == QLatin1String(r.objectName)) a->setChecked(true);
  }
}

bool TimingPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && (watched == before_ || watched == after_)) emit delayFieldFocused();
  return QWidget::eventFilter(watched, event);
}

}  // namespace fw
