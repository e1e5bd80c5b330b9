#include "ui/psd_layers_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "formats/psd_file.h"

namespace fw {
namespace {

template <typename W>
W* Named(W* widget, int id) {
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  return widget;
}

}  // namespace

PsdLayersDialog::PsdLayersDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("d200"));
  setWindowTitle(QString::fromUtf8("处理带层的PSD"));
  flatten_ = Named(new QRadioButton(QString::fromUtf8("合成到一个帧"), this), 1073);
  layers_ = Named(new QRadioButton(QString::fromUtf8("层为多帧的动画"), this), 1074);
  blend_ = Named(new QRadioButton(QString::fromUtf8("混合层和混全每个层背景"), this), 1195);
  composite_ = Named(new QRadioButton(QString::fromUtf8("每个混合层复合图像"), this), 1196);
  separate_ = Named(new QRadioButton(QString::fromUtf8("无融合：每一层是一个帧"), this), 1197);
  keepBackground_ = Named(new QCheckBox(QString::fromUtf8("保持作为背景层帧"), this), 1083);
  keepTransparency_ = Named(new QCheckBox(QString::fromUtf8("保持背景透明"), this), 1264);
  canvasSize_ = Named(new QCheckBox(QString::fromUtf8("每帧大小匹配PSD的画布"), this), 1257);
  auto* kind = new QButtonGroup(this);
  kind->addButton(flatten_);
  kind->addButton(layers_);
  auto* style = new QButtonGroup(this);
  for (QRadioButton* b : {blend_, composite_, separate_}) style->addButton(b);

  uint32_t stored = PsdChoiceFromPreferences();
  if (stored == 0) stored = psd_choice::kDefaultLayers;
  (stored & psd_choice::kFlatten ? flatten_ : layers_)->setChecked(true);
  (stored & psd_choice::kBlendOverBackground ? blend_ : stored & psd_choice::kComposite ? composite_ : separate_)
      ->setChecked(true);
  keepBackground_->setChecked(stored & psd_choice::kKeepBackground);
  keepTransparency_->setChecked(stored & psd_choice::kKeepTransparency);
  canvasSize_->setChecked(stored & psd_choice::kCanvasSize);
  for (QRadioButton* b : {flatten_, layers_, blend_, composite_, separate_})
    connect(b, &QRadioButton::toggled, this, [this] { updateEnabled(); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PsdLayersDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(flatten_);
  layout->addWidget(layers_);
  auto* styles = new QVBoxLayout;
  styles->setContentsMargins(20, 0, 0, 0);
  styles->addWidget(blend_);
  styles->addWidget(keepBackground_);
  styles->addWidget(composite_);
  styles->addWidget(separate_);
  layout->addLayout(styles);
  layout->addWidget(keepTransparency_);
  layout->addWidget(canvasSize_);
  layout->addWidget(buttons);
  updateEnabled();
}

void PsdLayersDialog::updateEnabled() {
  const bool layers = layers_->isChecked();
  for (QRadioButton* b : {blend_, composite_, separate_}) b->setEnabled(layers);
  keepBackground_->setEnabled(layers && blend_->isChecked());
}

uint32_t PsdLayersDialog::choice() const {
  uint32_t c = 0;
  if (flatten_->isChecked()) {
    c = psd_choice::kFlatten;
  } else if (blend_->isChecked()) {
    c = psd_choice::kLayers | psd_choice::kBlendOverBackground;
    if (keepBackground_->isChecked()) c |= psd_choice::kKeepBackground;
  } else if (composite_->isChecked()) {
    c = psd_choice::kLayers | psd_choice::kComposite;
  } else {
    c = psd_choice::kLayers | psd_choice::kNoBlending;
  }
  if (keepTransparency_->isChecked()) c |= psd_choice::kKeepTransparency;
  if (canvasSize_->isChecked()) c |= psd_choice::kCanvasSize;
  return c;
}

void PsdLayersDialog::accept() {
  StorePsdChoice(choice());
  QDialog::accept();
}

uint32_t AskPsdLayerChoice(QWidget* parent) {
  PsdLayersDialog dialog(parent);
  return dialog.exec() == QDialog::Accepted ? dialog.choice() : 0;
}

}  // namespace fw
