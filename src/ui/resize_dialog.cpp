#include "ui/resize_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

using namespace resize_dialog;

// A percentage may reach the largest length over a one-pixel old size, and rounds to 0 for a
// one-pixel new size over a large old one.
constexpr int kMaxPercent = kMaxResizeLength * 100;

QString Id(int id) { return QStringLiteral("c%1").arg(id); }

QLabel* NumberLabel(int id, int value, QWidget* parent) {
  auto* label = new QLabel(QString::number(value), parent);
  label->setObjectName(Id(id));
  return label;
}

}  // namespace

ResizeDialog::ResizeDialog(const AnimHeader& document, bool selectedOnly, int32_t oldWidth, int32_t oldHeight,
                           QWidget* parent)
    : QDialog(parent),
      document_(document),
      selectedOnly_(selectedOnly),
      fields_(StartResizeFields(oldWidth, oldHeight)) {
  setObjectName(QStringLiteral("ResizeDialog"));
  setWindowTitle(selectedOnly ? QString::fromUtf8(MessageText(resize_msg::kResizeFramesTitle))
                              : QString::fromUtf8("调整动画"));

  newWidth_ = spin(kNewWidth, 1, kMaxResizeLength);
  newHeight_ = spin(kNewHeight, 1, kMaxResizeLength);
  widthPercent_ = spin(kWidthPercent, 0, kMaxPercent);
  heightPercent_ = spin(kHeightPercent, 0, kMaxPercent);
  widthPercent_->setSuffix(QStringLiteral("%"));
  heightPercent_->setSuffix(QStringLiteral("%"));

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QString::fromUtf8("当前大小"), this), 0, 1);
  grid->addWidget(new QLabel(QString::fromUtf8("新大小"), this), 0, 2);
  grid->addWidget(new QLabel(QString::fromUtf8("百分比"), this), 0, 3);
  grid->addWidget(new QLabel(QString::fromUtf8("宽度:"), this), 1, 0);
  grid->addWidget(NumberLabel(kOldWidth, fields_.oldWidth, this), 1, 1);
  grid->addWidget(newWidth_, 1, 2);
  grid->addWidget(widthPercent_, 1, 3);
  grid->addWidget(new QLabel(QString::fromUtf8("高度:"), this), 2, 0);
  grid->addWidget(NumberLabel(kOldHeight, fields_.oldHeight, this), 2, 1);
  grid->addWidget(newHeight_, 2, 2);
  grid->addWidget(heightPercent_, 2, 3);

  keepAspect_ = new QCheckBox(QString::fromUtf8("保持高宽比"), this);
  keepAspect_->setObjectName(Id(kKeepAspect));
  nearest_ = new QRadioButton(QString::fromUtf8("邻近点插值算法(快速，保存调色板，品质好)"), this);
  nearest_->setObjectName(Id(kNearest));
  bicubic_ = new QRadioButton(QString::fromUtf8("立方插值算法(优良的品质，速度，增加/改变颜色)"), this);
  bicubic_->setObjectName(Id(kBicubic));
  // Frames that already hold true colour have no palette pixels to pick from.
  if (ScopeHasTrueColour(document, selectedOnly)) {
    fields_.bicubic = true;
    nearest_->setEnabled(false);
  }
  keepAspect_->setChecked(fields_.keepAspect);
  (fields_.bicubic ? bicubic_ : nearest_)->setChecked(true);
  auto* method = new QGroupBox(this);
  auto* methods = new QVBoxLayout(method);
  methods->addWidget(nearest_);
  methods->addWidget(bicubic_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(keepAspect_);
  layout->addWidget(method);
  layout->addWidget(buttons);

  showFields();
  connect(newWidth_, &QSpinBox::valueChanged, this, [this](int v) { edit(SetNewWidth, v); });
  connect(newHeight_, &QSpinBox::valueChanged, this, [this](int v) { edit(SetNewHeight, v); });
  connect(widthPercent_, &QSpinBox::valueChanged, this, [this](int v) { edit(SetWidthPercent, v); });
  connect(heightPercent_, &QSpinBox::valueChanged, this, [this](int v) { edit(SetHeightPercent, v); });
  connect(keepAspect_, &QCheckBox::toggled, this, [this](bool on) {
    SetKeepAspect(fields_, on);
    showFields();
  });
  connect(bicubic_, &QRadioButton::toggled, this, [this](bool on) { fields_.bicubic = on; });
  connect(buttons, &QDialogButtonBox::accepted, this, &ResizeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QSpinBox* ResizeDialog::spin(int id, int minimum, int maximum) {
  auto* box = new QSpinBox(this);
  box->setObjectName(Id(id));
  box->setRange(minimum, maximum);
  return box;
}

void ResizeDialog::edit(void (*apply)(ResizeFields&, int32_t), int value) {
  if (showing_) return;
  apply(fields_, value);
  showFields();
}

void ResizeDialog::showFields() {
  showing_ = true;
  // Rewriting the field being typed in, even with its own value, would move the cursor.
  auto show = [](QSpinBox* box, int value) {
    if (box->value() != value) box->setValue(value);
  };
  show(newWidth_, fields_.newWidth);
  show(newHeight_, fields_.newHeight);
  show(widthPercent_, fields_.widthPercent);
  show(heightPercent_, fields_.heightPercent);
  showing_ = false;
}

ScaleRecord ResizeDialog::scale() const {
  ScaleRecord s;
  s.oldWidth = fields_.oldWidth;
  s.oldHeight = fields_.oldHeight;
  s.newWidth = fields_.newWidth;
  s.newHeight = fields_.newHeight;
  s.selectedOnly = selectedOnly_;
  return s;
}

void ResizeDialog::accept() {
  if (fields_.bicubic && BicubicMayShowErrors(document_, selectedOnly_)) {
    const Answer answer = Messages().ask(
        kBicubicWarning,
        "Some of these frames are transparent or placed away from the top left corner and are not "
        "restored to the background. Bicubic scaling may show errors around their edges when the "
        "animation plays. Choose nearest neighbour scaling, or unoptimize the animation first.\n\n"
        "Scale with the bicubic filter anyway?",
        "双三次调整警告", Buttons::OkCancel, Answer::Ok);
    if (answer != Answer::Ok) return;
  }
  StoreResizeChoices(fields_);
  QDialog::accept();
}

}  // namespace fw
