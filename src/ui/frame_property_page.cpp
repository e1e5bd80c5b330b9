#include "ui/frame_property_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdlib>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

constexpr int kDisposalTexts = 40219;

QString Id(int id) { return QStringLiteral("c%1").arg(id); }

void Refuse(int message, int caption) {
  Messages().ask(message, MessageText(message), MessageText(caption), Buttons::Ok, Answer::Ok);
}

bool Confirm(int message, int caption) {
  return Messages().ask(message, MessageText(message), MessageText(caption), Buttons::YesNo, Answer::Yes) ==
         Answer::Yes;
}

std::optional<bool> Ticked(const QCheckBox* box) {
  if (box->checkState() == Qt::PartiallyChecked) return std::nullopt;
  return box->isChecked();
}

// A field's number when the user changed it; the shared value it started from is left alone.
std::optional<int> EditedNumber(const QLineEdit* field, const std::optional<int>& initial) {
  const std::optional<long long> n = FieldNumber(field);
  if (!n || (initial && *n == *initial)) return std::nullopt;
  return static_cast<int>(*n);
}

std::optional<bool> EditedTick(const QCheckBox* box, const std::optional<bool>& initial) {
  const std::optional<bool> now = Ticked(box);
  return now != initial ? now : std::nullopt;
}

}  // namespace

FramePropertyPage::FramePropertyPage(FramePageContext context, QWidget* parent)
    : PropertyPage(parent), context_(std::move(context)) {
  setObjectName(QString::fromLatin1(context_.several ? "MultiFramePage" : "FramePage"));
  const FrameFields& s = context_.shared;
  auto* form = new QFormLayout(this);
  if (!context_.several) {
    name_ = new QLineEdit(QString::fromStdString(s.name.value_or("")), this);
    name_->setObjectName(Id(1002));
    form->addRow(QString::fromUtf8("文件名:"), name_);
  }
  delay_ = numberField(1000, s.delay);
  form->addRow(QString::fromUtf8("延迟 (1/100 秒):"), delay_);
  disposal_ = new QComboBox(this);
  disposal_->setObjectName(Id(1018));
  for (int i = 0; i < 4; ++i) disposal_->addItem(QString::fromUtf8(MessageText(kDisposalTexts + i)));
  disposal_->setCurrentIndex(s.disposal && *s.disposal < 4 ? *s.disposal : -1);
  form->addRow(QString::fromUtf8("排除方法:"), disposal_);
  left_ = numberField(1008, s.left);
  top_ = numberField(1009, s.top);
  auto* offsets = new QHBoxLayout;
  offsets->addWidget(left_);
  offsets->addWidget(top_);
  form->addRow(QString::fromUtf8("偏移 X, Y:"), offsets);
  auto* size = new QHBoxLayout;
  for (auto [id, value] : {std::pair{1014, context_.width}, std::pair{1015, context_.height}}) {
    auto* label = new QLabel(value >= 0 ? QString::number(value) : QString(), this);
    label->setObjectName(Id(id));
    size->addWidget(label);
  }
  form->addRow(QString::fromUtf8("宽度, 高度:"), size);

  transparent_ = checkField(1004, QString::fromUtf8("透明色"), s.transparent);
  auto* chooseButton = new QPushButton(QString::fromUtf8("编辑..."), this);
  chooseButton->setObjectName(Id(1065));
  auto* transparency = new QHBoxLayout;
  transparency->addWidget(transparent_);
  transparency->addWidget(chooseButton);
  form->addRow(transparency);
  connect(transparent_, &QCheckBox::clicked, this, &FramePropertyPage::transparencyClicked);
  connect(chooseButton, &QPushButton::clicked, this, [this] { runTransparencyChooser(false); });

  interlaced_ = checkField(1005, QString::fromUtf8("交错"), s.interlaced);
  userInput_ = checkField(1007, QString::fromUtf8("等待用户输入"), s.userInput);
  form->addRow(interlaced_);
  form->addRow(userInput_);
  localPalette_ = checkField(1006, QString::fromUtf8("本地调色板"), s.localPalette);
  auto* paletteButton = new QPushButton(QString::fromUtf8("编辑..."), this);
  paletteButton->setObjectName(Id(1064));
  paletteButton->setEnabled(!context_.several && context_.canEditLocalPalette);
  paletteButton->setVisible(!context_.several);
  connect(paletteButton, &QPushButton::clicked, this, [this] {
    if (context_.editLocalPalette) context_.editLocalPalette();
  });
  auto* palette = new QHBoxLayout;
  palette->addWidget(localPalette_);
  palette->addWidget(paletteButton);
  form->addRow(palette);
  trueColour_ = checkField(1295, QString::fromUtf8("保留24位色彩数据"), s.trueColour);
  blend_ = checkField(1257, QString::fromUtf8("混合帧 (仅APNG格式)"), s.blend);
  form->addRow(trueColour_);
  form->addRow(blend_);
}

QLineEdit* FramePropertyPage::numberField(int id, const std::optional<int>& value) {
  auto* field = new QLineEdit(value ? QString::number(*value) : QString(), this);
  field->setObjectName(Id(id));
  field->setMaxLength(8);
  return field;
}

QCheckBox* FramePropertyPage::checkField(int id, const QString& text, const std::optional<bool>& value) {
  auto* box = new QCheckBox(text, this);
  box->setObjectName(Id(id));
  if (value) {
    box->setChecked(*value);
  } else {
    box->setTristate(true);
    box->setCheckState(Qt::PartiallyChecked);
    // Once the user has decided, the box no longer offers "differs" again.
    connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
  }
  return box;
}

void FramePropertyPage::transparencyClicked() {
  if (transparent_->checkState() == Qt::Checked) {
    runTransparencyChooser(true);
  } else {
    chosen_.reset();
  }
}

void FramePropertyPage::runTransparencyChooser(bool fromTick) {
  std::optional<std::vector<int>> chosen =
      context_.chooseTransparency ? context_.chooseTransparency() : std::optional<std::vector<int>>{};
  if (!chosen) {
    if (fromTick) transparent_->setCheckState(Qt::Unchecked);
    return;
  }
  transparent_->setTristate(false);
  transparent_->setChecked(!chosen->empty());
  chosen_ = std::move(chosen);
}

bool FramePropertyPage::validateOffset(QLineEdit* field, int screenExtent) {
  const std::optional<long long> n = FieldNumber(field);
  if (!n) {
    // An emptied field of frames that differ leaves them as they are.
    if (context_.several && field->text().trimmed().isEmpty()) return true;
  } else if (std::llabs(*n) <= 65535) {
    const std::optional<int>& initial = field == left_ ? context_.shared.left : context_.shared.top;
    const bool edited = !initial || *initial != *n;
    if (!edited || std::llabs(*n) <= screenExtent || Confirm(40225, 40226)) return true;
    field->setFocus();
    return false;
  }
  Refuse(40223, 40224);
  field->setFocus();
  return false;
}

bool FramePropertyPage::validate() {
  if (!validateOffset(left_, context_.screenWidth) || !validateOffset(top_, context_.screenHeight)) return false;
  const std::optional<long long> delay = FieldNumber(delay_);
  if ((context_.several && !delay && delay_->text().trimmed().isEmpty()) || (delay && *delay >= 0 && *delay <= 65535))
    return true;
  Refuse(40227, 40228);
  delay_->setFocus();
  return false;
}

FrameFields FramePropertyPage::edits() const {
  const FrameFields& s = context_.shared;
  FrameFields e;
  if (name_ && name_->text().toStdString() != s.name.value_or("")) e.name = name_->text().toStdString();
  e.delay = EditedNumber(delay_, s.delay);
  if (disposal_->currentIndex() >= 0 && std::optional<int>(disposal_->currentIndex()) != s.disposal)
    e.disposal = disposal_->currentIndex();
  e.left = EditedNumber(left_, s.left);
  e.top = EditedNumber(top_, s.top);
  if (chosen_) e.chosenTransparency = chosen_;
  else e.transparent = EditedTick(transparent_, s.transparent);
  e.interlaced = EditedTick(interlaced_, s.interlaced);
  e.userInput = EditedTick(userInput_, s.userInput);
  e.localPalette = EditedTick(localPalette_, s.localPalette);
  e.trueColour = EditedTick(trueColour_, s.trueColour);
  e.blend = EditedTick(blend_, s.blend);
  return e;
}

}  // namespace fw
