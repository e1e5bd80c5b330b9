#include "app/preferences/export_pages.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "core/preferences.h"
#include "gif/gif_writer.h"

namespace fw {
namespace {

// Word 15.
constexpr uint32_t kPsdLayerMask = 1u << 0;
constexpr uint32_t kUseFixedAviRate = 1u << 2;
constexpr uint32_t kNoLargeIconCompression = 1u << 7;
constexpr uint32_t kNoIconSorting = 1u << 8;
constexpr uint32_t kFilmstripLayoutInName = 1u << 9;
constexpr uint32_t kPngAlwaysTrueColour = 1u << 10;
// Word 16: the JPEG quality step, 0 meaning step 6.
constexpr uint32_t kJpegStepBits = 0xFF00;
constexpr int kDefaultJpegStep = 6;
constexpr int kMaxSignatureBytes = 255;

QCheckBox* Box(int id, const char* text, bool on, QWidget* parent) {
  auto* box = Named(new QCheckBox(QString::fromUtf8(text), parent), id);
  box->setChecked(on);
  return box;
}

uint32_t WithBit(uint32_t word, uint32_t bit, bool on) { return on ? (word | bit) : (word & ~bit); }

QString SwatchStyle(uint32_t colour) {
  return QStringLiteral("background-color: rgb(%1, %2, %3);")
      .arg(colour & 0xFF)
      .arg((colour >> 8) & 0xFF)
      .arg((colour >> 16) & 0xFF);
}

}  // namespace

ExportPage::ExportPage(QWidget* parent) : PreferencePage(276, QString::fromUtf8("导出"), parent) {
  const Preferences& p = Prefs();
  shownFlags6_ = p.raw(pref::kOptionFlags);
  shownFlags15_ = p.raw(pref::kMoreFlags);
  shownRate_ = p.raw(pref::kAviFrameRate);
  shownColour_ = p.raw(pref::kTransparentColour) & 0xFFFFFF;
  shownSaveAs_ = p.raw(pref::kSaveAsMemory);
  shownSignature_ = QString::fromStdString(SignatureText());
  colour_ = shownColour_;

  keepTrueColour_ = Box(1257, "保留帧的24位颜色和Alpha数据以用于24位导出", shownFlags6_ & pref::kKeepTrueColour, this);
  psdMask_ = Box(1083, "将透明度作为图层蒙版导出到PSD文件", shownFlags15_ & kPsdLayerMask, this);
  fixedRate_ = Box(1288, "使用固定的AVI帧速率 (帧/秒):", shownFlags15_ & kUseFixedAviRate, this);
  rate_ = Named(new QDoubleSpinBox(this), 1069);
  rate_->setDecimals(2);
  rate_->setRange(0.0, 1000.0);
  rate_->setValue(shownRate_ / 10000.0);
  shownRateShown_ = rate_->value();
  loadTransparent_ =
      Box(1092, "在8位图像中把此颜色载入为透明色:", shownFlags15_ & pref::kLoadTransparentColour, this);
  colourButton_ = Named(new QPushButton(this), 1298);
  colourButton_->setFixedWidth(48);
  colourButton_->setStyleSheet(SwatchStyle(colour_));
  connect(colourButton_, &QPushButton::clicked, this, &ExportPage::chooseColour);
  signature_ = Box(1084, "在保存的文件中加入签名注释:", !(shownFlags6_ & pref::kNoSignature), this);
  signatureText_ = Named(new QLineEdit(shownSignature_, this), 1070);
  jpegQuality_ = Named(new QSlider(Qt::Horizontal, this), 1271);
  jpegQuality_->setRange(1, 10);
  jpegQuality_->setTickPosition(QSlider::TicksBelow);
  const int step = static_cast<int>((shownSaveAs_ & kJpegStepBits) >> 8);
  jpegQuality_->setValue(step == 0 || step > 10 ? kDefaultJpegStep : step);
  shownJpegStep_ = jpegQuality_->value();

  connect(fixedRate_, &QCheckBox::toggled, rate_, &QWidget::setEnabled);
  connect(loadTransparent_, &QCheckBox::toggled, colourButton_, &QWidget::setEnabled);
  connect(signature_, &QCheckBox::toggled, signatureText_, &QWidget::setEnabled);
  rate_->setEnabled(fixedRate_->isChecked());
  colourButton_->setEnabled(loadTransparent_->isChecked());
  signatureText_->setEnabled(signature_->isChecked());

  auto* grid = new QGridLayout;
  grid->addWidget(fixedRate_, 0, 0);
  grid->addWidget(rate_, 0, 1);
  grid->addWidget(loadTransparent_, 1, 0);
  grid->addWidget(colourButton_, 1, 1);
  auto* quality = new QHBoxLayout;
  quality->addWidget(new QLabel(QString::fromUtf8("JPEG质量:"), this));
  quality->addWidget(jpegQuality_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(keepTrueColour_);
  layout->addWidget(psdMask_);
  layout->addLayout(grid);
  layout->addWidget(signature_);
  layout->addWidget(signatureText_);
  layout->addLayout(quality);
  layout->addStretch();
}

void ExportPage::setTransparentColour(uint32_t colour) {
  colour_ = colour & 0xFFFFFF;
  colourButton_->setStyleSheet(SwatchStyle(colour_));
}

void ExportPage::chooseColour() {
  const QColor initial(colour_ & 0xFF, (colour_ >> 8) & 0xFF, (colour_ >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(initial, this);
  if (chosen.isValid())
    setTransparentColour(uint32_t(chosen.red()) | uint32_t(chosen.green()) << 8 | uint32_t(chosen.blue()) << 16);
}

QWidget* ExportPage::invalidField() {
  // A comment sub-block holds 255 bytes; the stored text is UTF-8, so a longer text would be
  // cut inside a character when saved.
  if (signatureText_->text().toUtf8().size() > kMaxSignatureBytes) {
    ShowFieldMessage(40152, 40153);
    return signatureText_;
  }
  return nullptr;
}

void ExportPage::commit(PreferencesOutcome& outcome) {
  uint32_t flags6 = WithBit(shownFlags6_, pref::kKeepTrueColour, keepTrueColour_->isChecked());
  flags6 = WithBit(flags6, pref::kNoSignature, !signature_->isChecked());
  CommitFlags(pref::kOptionFlags, pref::kKeepTrueColour | pref::kNoSignature, shownFlags6_, flags6);

  uint32_t flags15 = WithBit(shownFlags15_, kPsdLayerMask, psdMask_->isChecked());
  flags15 = WithBit(flags15, kUseFixedAviRate, fixedRate_->isChecked());
  flags15 = WithBit(flags15, pref::kLoadTransparentColour, loadTransparent_->isChecked());
  CommitFlags(pref::kMoreFlags, kPsdLayerMask | kUseFixedAviRate | pref::kLoadTransparentColour, shownFlags15_, flags15);

  // The rate is shown rounded to two decimals: a stored rate the user did not touch stays exact.
  if (rate_->value() != shownRateShown_)
    CommitField(pref::kAviFrameRate, ~0u, shownRate_, static_cast<uint32_t>(std::lround(rate_->value() * 10000.0)));
  CommitField(pref::kTransparentColour, 0xFFFFFF, shownColour_, colour_);
  if (jpegQuality_->value() != shownJpegStep_)
    CommitField(pref::kSaveAsMemory, kJpegStepBits, shownSaveAs_, uint32_t(jpegQuality_->value()) << 8);

  const QString text = signatureText_->text();
  if (text != shownSignature_) StoreSignatureText(text.toStdString());
  outcome.signatureChanged = text != shownSignature_ || ((shownFlags6_ ^ flags6) & pref::kNoSignature);
}

ExportTwoPage::ExportTwoPage(QWidget* parent)
    : PreferencePage(327, QString::fromUtf8("导出 II"), parent), shownFlags15_(Prefs().raw(pref::kMoreFlags)) {
  sortIcons_ = Box(1304, "为旧系统排序图标分辨率", !(shownFlags15_ & kNoIconSorting), this);
  compressIcons_ = Box(1305, "PNG压缩大于127 x 127的图标图像", !(shownFlags15_ & kNoLargeIconCompression), this);
  filmstripLayout_ = Box(1306, "在幻灯片文件名后附加布局 (列x行)", shownFlags15_ & kFilmstripLayoutInName, this);
  pngTrueColour_ = Box(1092, "总是将PNG保存为24位或32位", shownFlags15_ & kPngAlwaysTrueColour, this);
  auto* layout = new QVBoxLayout(this);
  for (QCheckBox* b : {sortIcons_, compressIcons_, filmstripLayout_, pngTrueColour_}) layout->addWidget(b);
  layout->addStretch();
}

void ExportTwoPage::commit(PreferencesOutcome&) {
  uint32_t flags = WithBit(shownFlags15_, kNoIconSorting, !sortIcons_->isChecked());
  flags = WithBit(flags, kNoLargeIconCompression, !compressIcons_->isChecked());
  flags = WithBit(flags, kFilmstripLayoutInName, filmstripLayout_->isChecked());
  flags = WithBit(flags, kPngAlwaysTrueColour, pngTrueColour_->isChecked());
  CommitFlags(pref::kMoreFlags, kNoIconSorting | kNoLargeIconCompression | kFilmstripLayoutInName | kPngAlwaysTrueColour,
              shownFlags15_, flags);
}

}  // namespace fw
