#include "ui/save_type_panels.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/anim_document.h"
#include "formats/save_document.h"
#include "ui/avi_settings_dialog.h"
#include "ui/hotspot_dialog.h"

namespace fw {
namespace {

QString PresetName(const AviExportSettings& s) {
  if (!s.compress) return QString::fromUtf8("无压缩");
  switch (AviPresetOf(s.options)) {
    case AviPreset::kVideo1: return QString::fromUtf8("视频1(补满)压缩");
    case AviPreset::kRle8: return QString::fromUtf8("RLE8压缩(推荐)");
    default: return QString::fromUtf8("自定义参数(高级)");
  }
}

}  // namespace

SaveTypePanels::SaveTypePanels(AnimHeader& document, QWidget* parent) : QWidget(parent), document_(document) {
  setObjectName(QStringLiteral("typePanels"));
  aviPanel_ = new QWidget(this);
  aviPanel_->setObjectName(QStringLiteral("d283"));
  aviText_ = new QLabel(aviPanel_);
  auto* aviButton = new QPushButton(QString::fromUtf8("AVI 设置..."), aviPanel_);
  aviButton->setObjectName(QStringLiteral("aviSettings"));
  connect(aviButton, &QPushButton::clicked, this, [this] { editAviSettings(); });
  auto* aviRow = new QHBoxLayout(aviPanel_);
  aviRow->setContentsMargins(0, 0, 0, 0);
  aviRow->addWidget(aviText_, 1);
  aviRow->addWidget(aviButton);

  hotspotPanel_ = new QWidget(this);
  hotspotPanel_->setObjectName(QStringLiteral("d284"));
  hotspotText_ = new QLabel(hotspotPanel_);
  auto* hotspotButton = new QPushButton(QString::fromUtf8("定义光标热点..."), hotspotPanel_);
  hotspotButton->setObjectName(QStringLiteral("hotspot"));
  connect(hotspotButton, &QPushButton::clicked, this, [this] { editHotspot(); });
  auto* hotspotRow = new QHBoxLayout(hotspotPanel_);
  hotspotRow->setContentsMargins(0, 0, 0, 0);
  hotspotRow->addWidget(hotspotText_, 1);
  hotspotRow->addWidget(hotspotButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(aviPanel_);
  layout->addWidget(hotspotPanel_);
  setType(kSaveGif);
}

void SaveTypePanels::setType(int type) {
  aviPanel_->setVisible(type == kSaveAvi);
  hotspotPanel_->setVisible(type == kSaveCur || type == kSaveAni);
  setVisible(aviPanel_->isVisibleTo(this) || hotspotPanel_->isVisibleTo(this));
  describe();
}

void SaveTypePanels::describe() {
  AviExportSettings shown;
  if (avi_) shown = *avi_;
  else FillAviDefaults(document_, shown);
  QString text = PresetName(shown);
  if (shown.includeAudio) text += QStringLiteral(" + ") + QFileInfo(QString::fromStdString(shown.audioPath)).fileName();
  aviText_->setText(text);
  const ImageBlock* first = FirstImage(&document_);
  if (first) {
    const int x = first->hotspotX >= 0 ? first->hotspotX : first->width / 2;
    const int y = first->hotspotY >= 0 ? first->hotspotY : first->height / 2;
    hotspotText_->setText(QStringLiteral("%1, %2").arg(x).arg(y));
  }
}

void SaveTypePanels::editAviSettings() {
  AviSettingsDialog dialog(document_, this);
  if (dialog.exec() == QDialog::Accepted) avi_ = dialog.settings();
  describe();
}

void SaveTypePanels::editHotspot() {
  DefineFirstFrameHotspot(document_, this);
  describe();
}

}  // namespace fw
