#include "ui/optimize_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/progress.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "ui/optimize_readouts.h"

namespace fw {
namespace {

constexpr int kCheckingRemovable = 40145;
constexpr int kCheckingDeleted = 40146;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

template <typename Control>
Control* Named(Control* control, int id) {
  control->setObjectName(QStringLiteral("c%1").arg(id));
  return control;
}

bool AnyLocalPalette(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) return true;
  return false;
}

void ShowBusy(bool on) {
  if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

}  // namespace

OptimizeDialog::OptimizeDialog(AnimHeader& document, ProgressHook* direct, QWidget* parent)
    : QDialog(parent), document_(document), direct_(direct), trial_(document, &relay_) {
  setObjectName(QStringLiteral("OptimizeDialog"));
  setWindowTitle(Utf8("优化动画"));
  hasLocalPalettes_ = AnyLocalPalette(document);

  crop_ = Named(new QCheckBox(Utf8("收缩帧所需的最小矩形"), this), 1121);
  transparency_ = Named(new QCheckBox(Utf8("替换重复的像素为透明"), this), 1122);
  removeLocal_ = Named(new QCheckBox(Utf8("删除本地调色板"), this), 1124);
  cleanMerge_ = Named(new QRadioButton(Utf8("合并全局调色板时清除干净"), this), 1073);
  mapGlobal_ = Named(new QRadioButton(Utf8("映射全局调色板"), this), 1074);
  adaptive_ = Named(new QRadioButton(Utf8("创建合适的全局调色板(推荐)"), this), 1075);
  shrink_ = Named(new QCheckBox(Utf8("收缩调色板(全局和本地)"), this), 1083);
  removeFrames_ = Named(new QCheckBox(Utf8("删除不需要的帧"), this), 1125);
  manual_ = Named(new QCheckBox(Utf8("手动操作 "), this), 1257);
  start_ = Named(new QPushButton(Utf8("开始"), this), 1268);
  beforeText_ = Named(new QLabel(this), 1153);
  after_ = Named(new QLabel(this), 1154);
  saved_ = Named(new QLabel(this), 1155);
  percent_ = Named(new QLabel(this), 1158);
  approximated_ = new QLabel(this);
  approximated_->setObjectName(QStringLiteral("approximatedFrames"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("trialStatus"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("trialProgress"));
  bar_->setTextVisible(false);

  auto* frames = new QGroupBox(this);
  auto* framesLayout = new QVBoxLayout(frames);
  framesLayout->addWidget(crop_);
  framesLayout->addWidget(transparency_);
  framesLayout->addWidget(removeFrames_);
  auto* palettes = new QGroupBox(this);
  auto* palettesLayout = new QVBoxLayout(palettes);
  palettesLayout->addWidget(removeLocal_);
  for (QRadioButton* r : {cleanMerge_, mapGlobal_, adaptive_}) {
    auto* indented = new QHBoxLayout;
    indented->addSpacing(20);
    indented->addWidget(r);
    palettesLayout->addLayout(indented);
  }
  palettesLayout->addWidget(shrink_);

  auto* sizes = new QGridLayout;
  sizes->addWidget(new QLabel(Utf8("优化前:"), this), 0, 0);
  sizes->addWidget(new QLabel(Utf8("优化后:"), this), 1, 0);
  sizes->addWidget(new QLabel(Utf8("节省:"), this), 2, 0);
  sizes->addWidget(beforeText_, 0, 1);
  sizes->addWidget(after_, 1, 1);
  sizes->addWidget(saved_, 2, 1);
  sizes->addWidget(approximated_, 1, 2);
  sizes->addWidget(percent_, 2, 2);
  auto* trialRow = new QHBoxLayout;
  trialRow->addWidget(manual_);
  trialRow->addWidget(start_);
  trialRow->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("c2"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frames);
  layout->addWidget(palettes);
  layout->addLayout(sizes);
  layout->addLayout(trialRow);
  layout->addWidget(status_);
  layout->addWidget(bar_);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptimizeDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OptimizeDialog::reject);

  // The relay is called on the worker's thread; the labels are updated on this one.
  connect(&relay_, &TrialProgressRelay::textChanged, status_, &QLabel::setText, Qt::QueuedConnection);
  connect(&relay_, &TrialProgressRelay::rangeChanged, bar_, [this](int maximum) { bar_->setRange(0, maximum); },
          Qt::QueuedConnection);
  connect(&relay_, &TrialProgressRelay::positionChanged, bar_, &QProgressBar::setValue, Qt::QueuedConnection);

  setOptions(Prefs().read(pref::kOptimizeOptions));
  for (QCheckBox* box : {crop_, transparency_, removeLocal_, shrink_, removeFrames_, manual_})
    connect(box, &QCheckBox::toggled, this, [this, box] { optionChanged(box); });
  for (QRadioButton* radio : {cleanMerge_, mapGlobal_, adaptive_})
    connect(radio, &QRadioButton::toggled, this, [this, radio](bool on) {
      if (on) optionChanged(radio);
    });
  connect(start_, &QPushButton::clicked, this, &OptimizeDialog::startTrial);
}

OptimizeDialog::~OptimizeDialog() {
  // Before the members go: no report of a trial may arrive half way through.
  trial_.cancel();
}

uint32_t OptimizeDialog::options() const {
  uint32_t word = 0;
  if (crop_->isChecked()) word |= optimize_bit::kCrop;
  if (transparency_->isChecked()) word |= optimize_bit::kTransparency;
  if (removeLocal_->isChecked()) word |= optimize_bit::kRemoveLocalPalettes;
  if (mapGlobal_->isChecked()) word |= optimize_bit::kMapIntoGlobal;
  if (adaptive_->isChecked()) word |= optimize_bit::kAdaptiveGlobal;
  if (shrink_->isChecked()) word |= optimize_bit::kShrinkPalettes;
  if (removeFrames_->isChecked()) word |= optimize_bit::kRemoveFrames;
  if (manual_->isChecked()) word |= optimize_bit::kManualTrial;
  return word | unshownBits_;
}

void OptimizeDialog::setOptions(uint32_t word) {
  settingOptions_ = true;
  unshownBits_ = word & optimize_bit::kKeepFullLzwTables;
  crop_->setChecked(word & optimize_bit::kCrop);
  transparency_->setChecked(word & optimize_bit::kTransparency);
  removeLocal_->setChecked(word & optimize_bit::kRemoveLocalPalettes);
  // The adaptive palette wins when both are set, as it does in the optimizer.
  if (word & optimize_bit::kAdaptiveGlobal) adaptive_->setChecked(true);
  else if (word & optimize_bit::kMapIntoGlobal) mapGlobal_->setChecked(true);
  else cleanMerge_->setChecked(true);
  shrink_->setChecked(word & optimize_bit::kShrinkPalettes);
  removeFrames_->setChecked(word & optimize_bit::kRemoveFrames);
  manual_->setChecked(word & optimize_bit::kManualTrial);
  updateEnabling();
  settingOptions_ = false;
}

bool OptimizeDialog::manual() const { return manual_->isChecked(); }

void OptimizeDialog::updateEnabling() {
  transparency_->setEnabled(crop_->isChecked());
  removeFrames_->setEnabled(crop_->isChecked());
  removeLocal_->setEnabled(hasLocalPalettes_);
  const bool choosing = hasLocalPalettes_ && removeLocal_->isChecked();
  const bool merging = choosing && document_.globalPalette;
  // Without a global palette there is nothing to merge into: a new one must be built.
  if (choosing && !document_.globalPalette && !adaptive_->isChecked()) {
    const bool wasSetting = settingOptions_;
    settingOptions_ = true;
    adaptive_->setChecked(true);
    settingOptions_ = wasSetting;
  }
  cleanMerge_->setEnabled(merging);
  mapGlobal_->setEnabled(merging);
  adaptive_->setEnabled(choosing);
  start_->setEnabled(manual() && !fresh_);
}

void OptimizeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  begin();
}

void OptimizeDialog::begin() {
  if (begun_) return;
  begun_ = true;
  before_ = EncodedSize(&document_, false, nullptr);
  beforeText_->setText(SizeText(before_));
  if (!manual()) startTrial();
  updateEnabling();
}

void OptimizeDialog::optionChanged(QAbstractButton* source) {
  if (settingOptions_) return;
  updateEnabling();
  if (!begun_) return;
  if (source == manual_) {
    if (manual()) {
      if (trial_.running()) {
        trial_.cancel();
        fresh_ = false;
        blankReadouts();
      }
    } else if (!fresh_) {
      startTrial();
    }
  } else if (manual()) {
    // A result for other options must not be what OK applies.
    trial_.cancel();
    fresh_ = false;
    blankReadouts();
  } else if (source == removeFrames_) {
    frameRemovalToggled(removeFrames_->isChecked());
  } else {
    startTrial();
  }
  updateEnabling();
}

void OptimizeDialog::frameRemovalToggled(bool on) {
  status_->setText(QString::fromUtf8(MessageText(on ? kCheckingRemovable : kCheckingDeleted)));
  // A finished trial shows whether removal could matter: only a frame that changed nothing
  // (left as one pixel) can be removed, and only a removed one can come back.
  const bool result = !trial_.running() && trial_.copy();
  const bool same = result && (on ? !trial_.copyHasSinglePixelImage() : trial_.copyFrameCount() == document_.frameCount);
  if (same) status_->clear();
  else startTrial();
}

void OptimizeDialog::startTrial() {
  if (!begun_) return;
  const unsigned generation = ++generation_;
  fresh_ = true;
  blankReadouts();
  bar_->reset();
  trial_.start(options(), [this, generation](int32_t size) {
    QMetaObject::invokeMethod(this, [this, generation, size] { trialFinished(generation, size); },
                              Qt::QueuedConnection);
  });
  updateEnabling();
}

void OptimizeDialog::blankReadouts() {
  shownAfter_ = -1;
  after_->clear();
  saved_->clear();
  percent_->clear();
  approximated_->clear();
}

void OptimizeDialog::showReadouts(int32_t after) {
  shownAfter_ = after;
  const SizeReadouts r = TrialReadouts(before_, after);
  after_->setText(r.after);
  saved_->setText(r.saved);
  percent_->setText(r.percent);
  // A result that is not kept (no smaller than the document) changes no colour either.
  const bool kept = after >= 0 && before_ >= 0 && after < before_;
  approximated_->setText(kept ? ApproximatedText(trial_.approximatedFrames()) : QString());
}

void OptimizeDialog::trialFinished(unsigned generation, int32_t size) {
  // A report of a trial that has since been replaced says nothing about the current options.
  if (generation != generation_) return;
  // The worker reports just before it clears its running bit.
  trial_.wait();
  status_->clear();
  bar_->reset();
  if (size < 0 && trial_.outOfMemory()) ShowMessage(optimize_msg::kNoTrialMemory);
  showReadouts(size);
  emit trialShown(size);
}

void OptimizeDialog::apply() {
  if (!begun_) begin();
  const uint32_t word = options();
  if (manual() && !fresh_) {
    if (Prefs().read(pref::kUndoLevels) > 0) startTrial();
    else trial_.cancel();
  }
  if (trial_.running()) trial_.wait(&ShowBusy);
  ++generation_;
  StoreOptimizeOptions(word);
  if (trial_.copy()) {
    changed_ = trial_.accept();
  } else {
    std::unique_ptr<Progress> progress = direct_ ? CreateProgress(direct_, progress_flag::kOwnWindow) : nullptr;
    changed_ = OptimizeWithUndo(document_, word, progress.get());
    CloseProgress(progress.get());
  }
}

void OptimizeDialog::accept() {
  apply();
  QDialog::accept();
}

void OptimizeDialog::reject() {
  ++generation_;
  trial_.cancel();
  changed_ = false;
  QDialog::reject();
}

}  // namespace fw
