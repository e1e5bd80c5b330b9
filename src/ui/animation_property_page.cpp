#include "ui/animation_property_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

QString Id(int id) { return QStringLiteral("c%1").arg(id); }

QLineEdit* NumberField(QWidget* parent, int id, int value) {
  auto* field = new QLineEdit(QString::number(value), parent);
  field->setObjectName(Id(id));
  field->setMaxLength(8);
  return field;
}

}  // namespace

AnimationPropertyPage::AnimationPropertyPage(const AnimHeader& document, AnimationPageContext context,
                                             QWidget* parent)
    : PropertyPage(parent), document_(document), context_(std::move(context)), background_(document.backgroundIndex) {
  setObjectName(QStringLiteral("AnimationPage"));
  auto* form = new QFormLayout(this);
  auto* name = new QLabel(context_.documentName, this);
  name->setObjectName(Id(1020));
  form->addRow(QString::fromUtf8("名称:"), name);
  width_ = NumberField(this, 1021, document.screenWidth);
  height_ = NumberField(this, 1022, document.screenHeight);
  auto* fit = new QPushButton(QString::fromUtf8("自动调整大小"), this);
  fit->setObjectName(Id(1063));
  connect(fit, &QPushButton::clicked, this, &AnimationPropertyPage::fitScreenToFrames);
  auto* size = new QHBoxLayout;
  size->addWidget(width_);
  size->addWidget(height_);
  size->addWidget(fit);
  form->addRow(QString::fromUtf8("屏幕宽度, 高度:"), size);
  auto* frames = new QLabel(QString::number(document.frameCount), this);
  frames->setObjectName(Id(1023));
  form->addRow(QString::fromUtf8("总帧数:"), frames);
  loops_ = NumberField(this, 1025, document.playCount);
  form->addRow(QString::fromUtf8("循环次数 (0 = 永远):"), loops_);

  auto* global = new QCheckBox(QString::fromUtf8("全局调色板"), this);
  global->setObjectName(Id(1066));
  global->setChecked(document.globalPalette != nullptr);
  global->setEnabled(false);
  auto* editGlobal = new QPushButton(QString::fromUtf8("编辑..."), this);
  editGlobal->setObjectName(Id(1065));
  editGlobal->setEnabled(document.globalPalette != nullptr);
  connect(editGlobal, &QPushButton::clicked, this, [this] {
    if (context_.editGlobalPalette) context_.editGlobalPalette();
    showBackground();
  });
  auto* palette = new QHBoxLayout;
  palette->addWidget(global);
  palette->addWidget(editGlobal);
  form->addRow(palette);

  swatch_ = new QPushButton(this);
  swatch_->setObjectName(Id(1227));
  swatch_->setFixedSize(40, 20);
  swatch_->setEnabled(document.globalPalette != nullptr);
  connect(swatch_, &QPushButton::clicked, this, [this] {
    if (!context_.chooseBackground) return;
    if (std::optional<int> chosen = context_.chooseBackground(background_)) {
      background_ = *chosen;
      showBackground();
    }
  });
  form->addRow(QString::fromUtf8("GIF背景色:"), swatch_);
  showBackground();

  hideFirst_ = new QCheckBox(QString::fromUtf8("隐藏第一帧 (仅APNG格式)"), this);
  hideFirst_->setObjectName(Id(1092));
  hideFirst_->setChecked(document.hideFirstFrame != 0);
  form->addRow(hideFirst_);
}

void AnimationPropertyPage::showBackground() {
  const Palette* palette = document_.globalPalette.get();
  if (!palette || background_ >= palette->count()) {
    swatch_->setStyleSheet(QString());
    return;
  }
  const Rgb c = (*palette)[background_];
  swatch_->setStyleSheet(QStringLiteral("background-color: rgb(%1, %2, %3)").arg(c.r).arg(c.g).arg(c.b));
}

void AnimationPropertyPage::fitScreenToFrames() {
  const Extent e = ImageExtent(document_);
  width_->setText(QString::number(e.right));
  height_->setText(QString::number(e.bottom));
}

bool AnimationPropertyPage::validateSide(QLineEdit* field, int original, int needed, int rangeMessage,
                                         int rangeCaption, int clipMessage) {
  const std::optional<long long> n = FieldNumber(field);
  if (n && *n == original) return true;
  if (!n || *n < 0 || *n > 65535) {
    Messages().ask(rangeMessage, MessageText(rangeMessage), MessageText(rangeCaption), Buttons::Ok, Answer::Ok);
    field->setFocus();
    return false;
  }
  if (*n < needed && Messages().ask(clipMessage, MessageText(clipMessage), MessageText(40202), Buttons::YesNo,
                                    Answer::Yes) != Answer::Yes) {
    field->setFocus();
    return false;
  }
  return true;
}

bool AnimationPropertyPage::validate() {
  const Extent needed = ImageExtent(document_);
  if (!validateSide(width_, document_.screenWidth, needed.right, 40199, 40200, 40201) ||
      !validateSide(height_, document_.screenHeight, needed.bottom, 40203, 40204, 40205))
    return false;
  const std::optional<long long> loops = FieldNumber(loops_);
  if (loops && *loops >= 0 && *loops <= 65536) return true;
  Messages().ask(40206, MessageText(40206), MessageText(40207), Buttons::Ok, Answer::Ok);
  loops_->setFocus();
  return false;
}

AnimationFields AnimationPropertyPage::edits() const {
  AnimationFields e;
  auto edited = [](const QLineEdit* field, int original) -> std::optional<int> {
    const std::optional<long long> n = FieldNumber(field);
    return n && *n != original ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
  };
  e.screenWidth = edited(width_, document_.screenWidth);
  e.screenHeight = edited(height_, document_.screenHeight);
  e.loopCount = edited(loops_, document_.playCount);
  if (background_ != document_.backgroundIndex) e.backgroundIndex = background_;
  if (hideFirst_->isChecked() != (document_.hideFirstFrame != 0)) e.hideFirstFrame = hideFirst_->isChecked();
  return e;
}

}  // namespace fw
