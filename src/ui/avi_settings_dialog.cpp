#include "ui/avi_settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QFormLayout>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/preferences.h"

namespace fw {
namespace {

constexpr uint32_t kUncompressedChoice = 1u << 19;  // word 6
constexpr int kNoAudioIn = 40327;

template <typename W>
W* Named(W* widget, int id) {
  widget->setObjectName(QStringLiteral("c%1").arg(id));
  return widget;
}

// The encoder of the list whose AVI code is the record's handler, or -1.
int EncoderIndexFor(const QComboBox& list, const AviCompressOptions& options) {
  for (int i = 0; i < list.count(); ++i) {
    AviCompressOptions candidate;
    if (CustomAviOptions(list.itemText(i).toStdString(), candidate) && candidate.handler() == options.handler()) return i;
  }
  return -1;
}

}  // namespace

QString ChooseAudioFile(QWidget* parent, const QString& start) {
  for (;;) {
    const QString path = QFileDialog::getOpenFileName(parent, QStringLiteral("Insert Audio"), start,
                                                      QStringLiteral("Supported Audio Formats (*.wav *.avi)"));
    if (path.isEmpty()) return {};
    if (HasAudioStream(path.toStdString())) return path;
    ShowMessage(kNoAudioIn, path.toLocal8Bit().constData());
  }
}

AviSettingsDialog::AviSettingsDialog(const AnimHeader& document, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("d193"));
  setWindowTitle(QString::fromUtf8("AVI 设置"));
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->hasTrueColour()) has24_ = true;

  auto* video = new QGroupBox(this);
  none_ = Named(new QRadioButton(QString::fromUtf8("无压缩"), video), 1071);
  video1_ = Named(new QRadioButton(QString::fromUtf8("视频1(补满)压缩"), video), 1072);
  rle8_ = Named(new QRadioButton(QString::fromUtf8("RLE8压缩(推荐)"), video), 1073);
  custom_ = Named(new QRadioButton(QString::fromUtf8("自定义参数(高级)"), video), 1074);
  encoder_ = new QComboBox(video);
  encoder_->setObjectName(QStringLiteral("encoder"));
  for (const std::string& name : AviCustomEncoders()) encoder_->addItem(QString::fromStdString(name));
  auto* group = new QButtonGroup(this);
  auto* videoLayout = new QVBoxLayout(video);
  for (QRadioButton* b : {none_, video1_, rle8_, custom_}) {
    group->addButton(b);
    videoLayout->addWidget(b);
  }
  keyFrames_ = new QSpinBox(video);
  keyFrames_->setObjectName(QStringLiteral("keyFrames"));
  keyFrames_->setRange(0, 9999);
  dataRate_ = new QSpinBox(video);
  dataRate_->setObjectName(QStringLiteral("dataRate"));
  dataRate_->setRange(0, 999999);
  auto* customFields = new QFormLayout;
  customFields->addRow(QString::fromUtf8("编码器:"), encoder_);
  customFields->addRow(QString::fromUtf8("关键帧间隔:"), keyFrames_);
  customFields->addRow(QString::fromUtf8("数据速率 (KB/秒):"), dataRate_);
  videoLayout->addLayout(customFields);
  for (QWidget* w : {static_cast<QWidget*>(encoder_), static_cast<QWidget*>(keyFrames_), static_cast<QWidget*>(dataRate_)})
    connect(custom_, &QRadioButton::toggled, w, &QWidget::setEnabled);
  trueColour_ = Named(new QCheckBox(QString::fromUtf8("节省24位彩色"), this), 1083);

  auto* audio = new QGroupBox(this);
  includeAudio_ = Named(new QCheckBox(QString::fromUtf8("包括音频流"), audio), 1257);
  audioPath_ = Named(new QLineEdit(audio), 1069);
  auto* browse = Named(new QPushButton(QString::fromUtf8("浏览..."), audio), 1268);
  auto* audioRow = new QHBoxLayout;
  audioRow->addWidget(audioPath_, 1);
  audioRow->addWidget(browse);
  auto* audioLayout = new QVBoxLayout(audio);
  audioLayout->addWidget(includeAudio_);
  audioLayout->addLayout(audioRow);
  connect(browse, &QPushButton::clicked, this, [this] { browseAudio(); });
  // The box goes with the field: ticked as a path arrives, greyed while there is none.
  connect(audioPath_, &QLineEdit::textChanged, this, [this](const QString& text) {
    const bool any = !text.trimmed().isEmpty();
    if (any && !includeAudio_->isEnabled()) includeAudio_->setChecked(true);
    if (!any) includeAudio_->setChecked(false);
    includeAudio_->setEnabled(any);
  });
  includeAudio_->setEnabled(false);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &AviSettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(video);
  layout->addWidget(trueColour_);
  layout->addWidget(audio);
  layout->addWidget(buttons);

  // The first choice: uncompressed when that was the last choice, else the stored compressor.
  const AviCompressOptions stored = StoredAviOptions();
  if (Prefs().bit(pref::kOptionFlags, kUncompressedChoice)) {
    none_->setChecked(true);
  } else {
    switch (AviPresetOf(stored)) {
      case AviPreset::kVideo1: video1_->setChecked(true); break;
      case AviPreset::kRle8: rle8_->setChecked(true); break;
      default: {
        const int index = EncoderIndexFor(*encoder_, stored);
        if (index >= 0) {
          encoder_->setCurrentIndex(index);
          custom_->setChecked(true);
          keyFrames_->setValue(static_cast<int>(std::min<uint32_t>(stored.keyFrameEvery(), 9999)));
          dataRate_->setValue(static_cast<int>(std::min<uint32_t>(stored.bytesPerSecond() / 1024, 999999)));
        } else {
          rle8_->setChecked(true);
        }
      }
    }
  }
  if (!custom_->isChecked()) keyFrames_->setValue(static_cast<int>(AviPresetOptions(AviPreset::kNone).keyFrameEvery()));
  for (QWidget* w : {static_cast<QWidget*>(encoder_), static_cast<QWidget*>(keyFrames_), static_cast<QWidget*>(dataRate_)})
    w->setEnabled(custom_->isChecked());
  custom_->setEnabled(encoder_->count() > 0);
  trueColour_->setEnabled(has24_);
  trueColour_->setChecked(has24_);
  connect(trueColour_, &QCheckBox::toggled, this, [this](bool on) { trueColourToggled(on); });
  trueColourToggled(has24_);
}

// RLE8 carries 8-bit pictures only.
void AviSettingsDialog::trueColourToggled(bool on) {
  if (on && rle8_->isChecked()) video1_->setChecked(true);
  rle8_->setEnabled(!on);
}

void AviSettingsDialog::browseAudio() {
  const QString chosen = ChooseAudioFile(this, QFileInfo(audioPath_->text()).path());
  if (!chosen.isEmpty()) audioPath_->setText(chosen);
}

AviPreset AviSettingsDialog::preset() const {
  if (none_->isChecked()) return AviPreset::kNone;
  if (video1_->isChecked()) return AviPreset::kVideo1;
  if (rle8_->isChecked()) return AviPreset::kRle8;
  return AviPreset::kCustom;
}

void AviSettingsDialog::accept() {
  AviExportSettings s;
  s.flags = has24_ ? kAviHas24Bit : 0;
  s.write24 = has24_;
  s.audioPath = audioPath_->text().trimmed().toStdString();
  s.includeAudio = includeAudio_->isChecked() && !s.audioPath.empty();
  if (s.includeAudio && !HasAudioStream(s.audioPath)) {
    ShowMessage(kNoAudioIn, s.audioPath.c_str());
    audioPath_->setFocus();
    audioPath_->selectAll();
    return;
  }
  const AviPreset chosen = preset();
  if (chosen == AviPreset::kNone) {
    s.compress = false;
    s.options = AviPresetOptions(AviPreset::kNone);
    Prefs().setBits(pref::kOptionFlags, kUncompressedChoice, true);
  } else {
    s.compress = true;
    Prefs().setBits(pref::kOptionFlags, kUncompressedChoice, false);
    if (chosen == AviPreset::kCustom) {
      if (!CustomAviOptions(encoder_->currentText().toStdString(), s.options)) return;
      s.options.words[2] = static_cast<uint32_t>(keyFrames_->value());
      s.options.words[4] = static_cast<uint32_t>(dataRate_->value()) * 1024u;
    } else {
      s.options = AviPresetOptions(chosen);
    }
    StoreAviOptions(s.options);
  }
  settings_ = s;
  QDialog::accept();
}

}  // namespace fw
