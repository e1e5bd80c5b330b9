#include "ui/reduce_colours_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/number_text.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "gif/gif_writer.h"
#include "ui/index_chooser.h"
#include "ui/show_anim_view.h"

namespace fw {
namespace {

constexpr int kCannotReduce = 40118;
constexpr int kCannotReduceCaption = 40119;
constexpr int kFileSize = 40115;
constexpr int kSaving = 40116;
constexpr int kNoSaving = 40117;
constexpr int kColourCount = 40253;
constexpr int kTypingPause = 500;

QString Utf8(const char* text) { return QString::fromUtf8(text); }

template <typename Control>
Control* Named(Control* control, int id) {
  control->setObjectName(QStringLiteral("c%1").arg(id));
  return control;
}

std::string Grouped(int64_t bytes) {
  const QString sep = QLocale().groupSeparator();
  const char separator = sep.size() == 1 && sep[0].unicode() < 128 ? static_cast<char>(sep[0].unicode()) : ',';
  return GroupThousands(bytes, separator);
}

QString SizeText(int64_t bytes) {
  if (bytes < 0) return {};
  return QString::fromStdString(FormatText(MessageText(kFileSize), Grouped(bytes).c_str()));
}

QString ColourText(int colours) { return QString::fromStdString(FormatText(MessageText(kColourCount), colours)); }

// The image the lock chooser shows for picking by pixel: the first one drawn with the global
// palette.
const IndexedImage* GlobalPaletteImage(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (!f->localPalette && f->indexedImage) return f->indexedImage.get();
  return nullptr;
}

void ShowBusy(bool on) {
  if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
  else QApplication::restoreOverrideCursor();
}

}  // namespace

bool ReduceColoursDialog::Reducible(const AnimHeader& document) {
  if (LargestPaletteCount(document) > 2) return true;
  Messages().ask(kCannotReduce, MessageText(kCannotReduce), MessageText(kCannotReduceCaption), Buttons::Ok,
                 Answer::Ok);
  return false;
}

ReduceColoursDialog::ReduceColoursDialog(AnimHeader& document, int currentFrame, ProgressHook* progress,
                                         QWidget* parent)
    : QDialog(parent), document_(document), progress_(progress), trial_(document, &relay_) {
  setObjectName(QStringLiteral("ReduceColoursDialog"));
  setWindowTitle(Utf8("减少颜色"));
  largest_ = LargestPaletteCount(document);
  if (currentFrame >= 0 && currentFrame < document.frameCount) shownFrame_ = currentFrame + 1;

  count_ = Named(new QComboBox(this), 1076);
  count_->setEditable(true);
  for (int n = kMaxColourTarget; n >= 8; n /= 2) count_->addItem(QString::number(n));
  count_->setEditText(QString::number(InitialColourTarget(largest_)));
  dither_ = Named(new QCheckBox(Utf8("抖动的调色板"), this), 1077);
  dither_->setChecked(ReduceColoursChoiceFromWord(Prefs().read(pref::kReduceColours)).dither);
  // Closer colours than the median cut for a little more time; ignored while colours are locked.
  refined_ = new QCheckBox(Utf8("精细调色板"), this);
  refined_->setObjectName(QStringLiteral("refinedPalette"));
  refined_->setToolTip(Utf8("用误差最小的分割和K均值细化生成调色板: 颜色更接近原图, 稍慢."));
  refined_->setChecked(ReduceColoursChoiceFromWord(Prefs().read(pref::kReduceColours)).refined);
  lock_ = Named(new QPushButton(Utf8("锁色(高级)"), this), 1270);
  // Locks name global palette entries; without a global palette there is nothing to lock.
  lock_->setEnabled(document.globalPalette != nullptr);

  full_ = new ShowAnimView(this);
  full_->setObjectName(QStringLiteral("fullPane"));
  reduced_ = new ShowAnimView(this);
  reduced_->setObjectName(QStringLiteral("reducedPane"));
  full_->setPartner(reduced_);
  reduced_->setPartner(full_);
  fullSizeText_ = new QLabel(this);
  fullSizeText_->setObjectName(QStringLiteral("fullSize"));
  fullColours_ = new QLabel(this);
  fullColours_->setObjectName(QStringLiteral("fullColours"));
  reducedSizeText_ = new QLabel(this);
  reducedSizeText_->setObjectName(QStringLiteral("reducedSize"));
  reducedColours_ = new QLabel(this);
  reducedColours_->setObjectName(QStringLiteral("reducedColours"));
  saved_ = Named(new QLabel(this), 1149);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("trialStatus"));
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("trialProgress"));
  bar_->setTextVisible(false);
  // The relay is called on the worker's thread; the widgets change on this one.
  connect(&relay_, &TrialProgressRelay::textChanged, status_, &QLabel::setText, Qt::QueuedConnection);
  connect(&relay_, &TrialProgressRelay::rangeChanged, bar_, [this](int maximum) { bar_->setRange(0, maximum); },
          Qt::QueuedConnection);
  connect(&relay_, &TrialProgressRelay::positionChanged, bar_, &QProgressBar::setValue, Qt::QueuedConnection);

  auto* panes = new QGridLayout;
  panes->addWidget(full_, 0, 0);
  panes->addWidget(reduced_, 0, 1);
  panes->addWidget(fullSizeText_, 1, 0);
  panes->addWidget(reducedSizeText_, 1, 1);
  panes->addWidget(fullColours_, 2, 0);
  panes->addWidget(reducedColours_, 2, 1);
  auto* options = new QHBoxLayout;
  options->addWidget(new QLabel(Utf8("颜色:"), this));
  options->addWidget(count_);
  options->addWidget(dither_);
  options->addWidget(refined_);
  options->addWidget(lock_);
  options->addStretch();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("c2"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panes, 1);
  layout->addWidget(saved_);
  auto* trialRow = new QHBoxLayout;
  trialRow->addWidget(status_, 1);
  trialRow->addWidget(bar_, 1);
  layout->addLayout(trialRow);
  layout->addLayout(options);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &ReduceColoursDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ReduceColoursDialog::reject);

  typing_.setSingleShot(true);
  typing_.setInterval(kTypingPause);
  connect(&typing_, &QTimer::timeout, this, &ReduceColoursDialog::runTrial);
  connect(count_, &QComboBox::activated, this, [this] {
    typing_.stop();
    runTrial();
  });
  connect(count_->lineEdit(), &QLineEdit::textEdited, this, &ReduceColoursDialog::countTyped);
  connect(dither_, &QCheckBox::toggled, this, &ReduceColoursDialog::runTrial);
  connect(refined_, &QCheckBox::toggled, this, &ReduceColoursDialog::runTrial);
  connect(lock_, &QPushButton::clicked, this, &ReduceColoursDialog::chooseLocks);
}

ReduceColoursDialog::~ReduceColoursDialog() {
  // No report of a trial may arrive half way through the members going.
  stopTrial();
  // The pane must not keep pointing into the copy while it goes.
  reduced_->setDocument(nullptr, false);
}

ReduceColoursChoice ReduceColoursDialog::choice() {
  bool ok = false;
  const int typed = count_->currentText().trimmed().toInt(&ok);
  ReduceColoursChoice c;
  c.target = ok ? ClampColourTarget(typed) : (shown_.target ? shown_.target : InitialColourTarget(largest_));
  if (count_->currentText() != QString::number(c.target)) count_->setEditText(QString::number(c.target));
  c.dither = dither_->isChecked();
  c.refined = refined_->isChecked();
  return c;
}

void ReduceColoursDialog::countTyped() { typing_.start(); }

void ReduceColoursDialog::setLockedIndices(const std::vector<int>& indices) {
  locks_ = ColourLocks{};
  for (int i : indices)
    if (i >= 0 && i < 256) locks_.lock(i);
  // The same count and dithering give a different result under other locks.
  trialFresh_ = false;
  pendingStale_ = true;
  runTrial();
}

void ReduceColoursDialog::chooseLocks() {
  if (!document_.globalPalette) return;
  IndexChooserSubject subject;
  subject.title = Utf8("选择锁定颜色");
  subject.palette = document_.globalPalette.get();
  subject.image = GlobalPaletteImage(document_);
  for (int i = 0; i < 256; ++i)
    if (locks_.locked[static_cast<size_t>(i)]) subject.chosen.push_back(i);
  IndexChooser chooser(subject, this);
  if (chooser.exec() == QDialog::Accepted && chooser.changed()) setLockedIndices(chooser.chosen());
}

void ReduceColoursDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  begin();
}

void ReduceColoursDialog::begin() {
  if (begun_) return;
  begun_ = true;
  full_->setDocument(&document_, false);
  full_->showFrame(shownFrame_, true);
  fullSize_ = EncodedSize(&document_, false, nullptr);
  fullSizeText_->setText(SizeText(fullSize_));
  fullColours_->setText(ColourText(largest_));
  runTrial();
}

void ReduceColoursDialog::runTrial() {
  if (!begun_) return;
  typing_.stop();
  const ReduceColoursChoice c = choice();
  if (trialFresh_ && c == shown_) return;
  if (trial_.running() && !pendingStale_ && c == pending_) return;
  pending_ = c;
  pendingStale_ = false;
  resultPending_ = true;
  const unsigned generation = ++generation_;
  trial_.start(c, locks_, [this, generation] {
    QMetaObject::invokeMethod(this, [this, generation] { trialFinished(generation); }, Qt::QueuedConnection);
  });
}

void ReduceColoursDialog::trialFinished(unsigned generation) {
  // A report of a trial that has since been replaced or taken says nothing any more.
  if (generation != generation_ || !resultPending_) return;
  // The worker reports just before it clears its running bit.
  trial_.wait();
  takeTrialResult();
}

void ReduceColoursDialog::waitForTrial() {
  if (!resultPending_) return;
  trial_.wait(&ShowBusy);
  ++generation_;
  takeTrialResult();
}

void ReduceColoursDialog::takeTrialResult() {
  resultPending_ = false;
  status_->clear();
  bar_->reset();
  if (trial_.failed()) {
    // Without memory for a copy there is nothing to compare and nothing OK could install.
    reduced_->setDocument(nullptr, false);
    copy_.reset();
    trialFresh_ = false;
    reducedSize_ = -1;
    reject();
    return;
  }
  AnimPtr copy = trial_.takeCopy();
  if (!copy) return;
  reduced_->setDocument(nullptr, false);
  copy_ = std::move(copy);
  shown_ = trial_.choice();
  trialFresh_ = true;
  reduced_->setDocument(copy_.get(), false);
  reduced_->showFrame(shownFrame_, true);
  reducedSize_ = trial_.size();
  showReadouts();
}

void ReduceColoursDialog::stopTrial() {
  ++generation_;
  resultPending_ = false;
  trial_.cancel();
}

void ReduceColoursDialog::showReadouts() {
  reducedSizeText_->setText(SizeText(reducedSize_));
  reducedColours_->setText(copy_ ? ColourText(LargestPaletteCount(*copy_)) : QString());
  if (fullSize_ > 0 && reducedSize_ >= 0 && reducedSize_ < fullSize_) {
    const double percent = static_cast<double>(fullSize_ - reducedSize_) * 100.0 / static_cast<double>(fullSize_);
    saved_->setText(QString::fromStdString(FormatText(MessageText(kSaving), Grouped(fullSize_ - reducedSize_).c_str(), percent)));
  } else {
    saved_->setText(QString::fromUtf8(MessageText(kNoSaving)));
  }
}

bool ReduceColoursDialog::apply() {
  const ReduceColoursChoice c = choice();
  // A trial under way with the same choice is what OK installs; any other is of no use now.
  if (trial_.running() && !pendingStale_ && c == pending_) waitForTrial();
  else stopTrial();
  AnimPtr reduced;
  if (copy_ && trialFresh_ && c == shown_) {
    reduced_->setDocument(nullptr, false);
    reduced = std::move(copy_);
  } else {
    std::unique_ptr<Progress> progress = progress_ ? CreateProgress(progress_, progress_flag::kOwnWindow) : nullptr;
    reduced = ReducedCopy(document_, c, &locks_, progress.get());
    CloseProgress(progress.get());
  }
  trialFresh_ = false;
  if (!reduced) return false;
  // The panes hold frame pointers of the documents about to exchange their content.
  full_->setDocument(nullptr, false);
  reduced_->setDocument(nullptr, false);
  InstallReducedCopy(document_, std::move(reduced));
  Prefs().write(pref::kReduceColours, ReduceColoursWord(c));
  changed_ = true;
  return true;
}

void ReduceColoursDialog::accept() {
  if (!begun_) begin();
  if (apply()) QDialog::accept();
}

void ReduceColoursDialog::reject() {
  typing_.stop();
  stopTrial();
  QDialog::reject();
}

}  // namespace fw
