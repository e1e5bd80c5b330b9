#include "ui/save_style_panel.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "formats/filmstrip.h"
#include "formats/frame_sequence.h"
#include "formats/save_document.h"

namespace fw {
namespace {

QString Text(int id) { return QString::fromUtf8(MessageText(id)); }

int StyleTextId(SaveStyle style) {
  switch (style) {
    case SaveStyle::Animation: return 40017;
    case SaveStyle::SingleImages: return 40018;
    case SaveStyle::Filmstrip: return 317;
  }
  return 40017;
}

}  // namespace

std::vector<SaveStyle> OfferedSaveStyles(int type, int frameCount) {
  const bool several = frameCount > 1;
  std::vector<SaveStyle> out;
  switch (type) {
    case kSaveGif:
    case kSavePng:
      if (several) out.push_back(SaveStyle::Animation);
      out.push_back(SaveStyle::SingleImages);
      if (several) out.push_back(SaveStyle::Filmstrip);
      break;
    case kSaveBmp:
    case kSaveJpg:
      out.push_back(SaveStyle::SingleImages);
      if (several) out.push_back(SaveStyle::Filmstrip);
      break;
    default: break;
  }
  return out;
}

SaveStyle RememberedSaveStyle(const std::vector<SaveStyle>& offered, uint32_t rememberedOptions) {
  if (offered.empty()) return SaveStyle::Animation;
  if ((rememberedOptions & save_option::kSequence) && offered.size() >= 2) return offered[offered.size() - 2];
  if (rememberedOptions & save_option::kFilmstrip) return offered.back();
  return offered.front();
}

int SquareStripCount(int frames, int width, int height) {
  if (frames < 1 || width < 1 || height < 1) return 1;
  const long long area = static_cast<long long>(width) * height * frames;
  const long long columns = std::max<long long>(1, (static_cast<long long>(std::sqrt(static_cast<double>(area))) + width / 2) / width);
  return static_cast<int>(std::clamp<long long>((frames + columns - 1) / columns, 1, frames));
}

QStringList SequenceSampleNames(const QString& path, int type, const AnimHeader& document, bool selectedOnly) {
  // The files are numbered by frame position with as many digits as the frame count needs,
  // whichever frames are written, so the samples are the first two files really written.
  std::vector<int> numbers;
  int position = 0;
  for (const ImageBlock* f = FirstImage(&document); f && numbers.size() < 2; f = NextImage(f)) {
    ++position;
    if (!selectedOnly || f->selected) numbers.push_back(position);
  }
  if (path.isEmpty() || numbers.empty()) return {QString(), QString()};
  const int files = selectedOnly ? document.selectedCount : document.frameCount;
  const SequencePattern pattern = BuildSequencePattern(path.toStdString(), SaveTypeExtension(type), files > 1,
                                                       SequenceDigits(document.frameCount));
  const auto fileName = [](const std::string& p) { return QFileInfo(QString::fromStdString(p)).fileName(); };
  return {fileName(pattern.name(numbers[0])), numbers.size() > 1 && files > 1 ? fileName(pattern.name(numbers[1])) : QString()};
}

SaveStylePanel::SaveStylePanel(const AnimHeader& document, uint32_t rememberedOptions, QWidget* parent)
    : QWidget(parent), document_(document), remembered_(rememberedOptions) {
  setObjectName(QStringLiteral("SaveStylePanel"));
  chooser_ = new QComboBox(this);
  chooser_->setObjectName(QStringLiteral("c1280"));
  pages_ = new QStackedWidget(this);
  pages_->addWidget(new QWidget(this));  // animation and plain single image: nothing to choose
  pages_->addWidget(buildNumberedPage());
  pages_->addWidget(buildFilmstripPage());
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(chooser_);
  layout->addWidget(pages_);
  connect(chooser_, &QComboBox::currentIndexChanged, this, [this] { showStylePage(); });
  setType(kSaveGif);
}

QWidget* SaveStylePanel::buildNumberedPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("NumberedFilesPanel"));
  auto* layout = new QFormLayout(page);
  numberedName_ = new QLineEdit(page);
  numberedName_->setObjectName(QStringLiteral("c1069"));
  numberedName_->setToolTip(QString::fromUtf8("使用'#'字符来表示在帧编号应插入.(默认是以下一些当前名称.)"));
  numberedName_->setPlaceholderText(numberedName_->toolTip());
  allFrames_ = new QRadioButton(QString::fromUtf8("所有帧"), page);
  allFrames_->setObjectName(QStringLiteral("c1074"));
  selectedOnly_ = new QRadioButton(QString::fromUtf8("仅只有选定的帧(s)"), page);
  selectedOnly_->setObjectName(QStringLiteral("c1073"));
  allFrames_->setChecked(true);
  sample1_ = new QLabel(page);
  sample1_->setObjectName(QStringLiteral("c1235"));
  sample2_ = new QLabel(page);
  sample2_->setObjectName(QStringLiteral("c1236"));
  layout->addRow(numberedName_);
  layout->addRow(allFrames_);
  layout->addRow(selectedOnly_);
  layout->addRow(sample1_);
  layout->addRow(sample2_);
  connect(numberedName_, &QLineEdit::textChanged, this, [this] { updateSamples(); });
  connect(selectedOnly_, &QRadioButton::toggled, this, [this] { updateSamples(); });
  return page;
}

QWidget* SaveStylePanel::buildFilmstripPage() {
  auto* page = new QWidget(this);
  page->setObjectName(QStringLiteral("FilmstripPanel"));
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout;
  strips_ = new QSpinBox(page);
  strips_->setObjectName(QStringLiteral("c1069"));
  strips_->setRange(1, std::max(1, document_.frameCount));
  // A typed value above the frame count comes back as the frame count.
  strips_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  const int remembered = save_option::StripCount(remembered_);
  strips_->setValue(remembered >= 1 ? std::min(remembered, document_.frameCount) : 1);
  rows_ = new QRadioButton(QStringLiteral("Rows"), page);
  rows_->setObjectName(QStringLiteral("c1073"));
  columns_ = new QRadioButton(QStringLiteral("Columns"), page);
  columns_->setObjectName(QStringLiteral("c1074"));
  ((remembered_ & save_option::kColumns) ? columns_ : rows_)->setChecked(true);
  auto* square = new QPushButton(QStringLiteral("Square"), page);
  square->setObjectName(QStringLiteral("c40367"));
  top->addWidget(strips_);
  top->addWidget(rows_);
  top->addWidget(columns_);
  top->addWidget(square);
  stripText_ = new QLabel(page);
  stripText_->setObjectName(QStringLiteral("c1070"));
  layout->addLayout(top);
  layout->addWidget(stripText_);
  connect(strips_, &QSpinBox::valueChanged, this, [this] { updateFilmstripText(); });
  connect(rows_, &QRadioButton::toggled, this, [this] { updateFilmstripText(); });
  connect(square, &QPushButton::clicked, this, [this] {
    strips_->setValue(SquareStripCount(document_.frameCount, document_.screenWidth, document_.screenHeight));
  });
  updateFilmstripText();
  return page;
}

void SaveStylePanel::setType(int type) {
  type_ = type;
  offered_ = OfferedSaveStyles(type, document_.frameCount);
  const QSignalBlocker block(chooser_);
  chooser_->clear();
  for (SaveStyle s : offered_) chooser_->addItem(Text(StyleTextId(s)));
  if (!offered_.empty()) {
    const SaveStyle preferred = RememberedSaveStyle(offered_, remembered_);
    chooser_->setCurrentIndex(static_cast<int>(std::find(offered_.begin(), offered_.end(), preferred) - offered_.begin()));
  }
  // With a single entry there is nothing to choose.
  chooser_->setVisible(offered_.size() >= 2);
  showStylePage();
}

void SaveStylePanel::setTargetPath(const QString& path) {
  target_ = path;
  updateSamples();
}

SaveStyle SaveStylePanel::style() const {
  const int i = chooser_->currentIndex();
  if (offered_.size() < 2 || i < 0) return offered_.empty() ? SaveStyle::Animation : offered_.front();
  return offered_[static_cast<size_t>(i)];
}

void SaveStylePanel::showStylePage() {
  const bool choosing = offered_.size() >= 2;
  const SaveStyle s = style();
  pages_->setCurrentIndex(!choosing || s == SaveStyle::Animation ? 0 : s == SaveStyle::SingleImages ? 1 : 2);
  pages_->setVisible(pages_->currentIndex() != 0);
  updateSamples();
}

int SaveStylePanel::selectedFrames() const { return document_.selectedCount; }

uint32_t SaveStylePanel::options() const {
  if (offered_.size() < 2) return save_option::kNoStyle;
  switch (style()) {
    case SaveStyle::Animation: return save_option::kAnimation;
    case SaveStyle::SingleImages:
      return save_option::kSequence | (selectedOnly_->isChecked() ? save_option::kSelectedOnly : 0u);
    case SaveStyle::Filmstrip:
      return save_option::WithStrips(save_option::kFilmstrip | (columns_->isChecked() ? save_option::kColumns : 0u),
                                     strips_->value());
  }
  return save_option::kNoStyle;
}

QString SaveStylePanel::numberedTarget(const QString& chosenPath) const {
  const QString typed = numberedName_->text().trimmed();
  if (typed.isEmpty()) return chosenPath;
  if (QFileInfo(typed).isAbsolute()) return typed;
  return QFileInfo(chosenPath).dir().filePath(typed);
}

void SaveStylePanel::updateFilmstripText() {
  const int n = document_.frameCount;
  const int strips = strips_->value();
  const int perStrip = FramesPerStrip(n, strips);
  const bool columns = columns_->isChecked();
  const int width = document_.screenWidth * (columns ? strips : perStrip);
  const int height = document_.screenHeight * (columns ? perStrip : strips);
  stripText_->setText(QString::fromStdString(FormatText(MessageText(40162), perStrip, width, height)));
}

void SaveStylePanel::updateSamples() {
  if (!sample1_) return;
  selectedOnly_->setEnabled(selectedFrames() > 0);
  if (!selectedOnly_->isEnabled()) allFrames_->setChecked(true);
  const QStringList names = SequenceSampleNames(numberedTarget(target_), type_, document_, selectedOnly_->isChecked());
  sample1_->setText(names.value(0));
  sample2_->setText(names.value(1));
}

}  // namespace fw
