#include "ui/preview_dialog.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/playback_timing.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "core/web_timing.h"
#include "core/workers.h"
#include "ui/playback_clock.h"
#include "ui/show_anim_view.h"
#include "ui/timing_panel.h"

namespace fw {
namespace {

constexpr uint32_t kLoopPreviewForever = 1u << 12;
constexpr uint32_t kPreviewFullScreen = 1u << 20;
constexpr uint32_t kOwnBackground = 1u << 24;

QColor StoredBackground(const QPalette& palette) {
  const uint32_t word = Prefs().raw(pref::kPreviewBackground);
  if (!(word & kOwnBackground)) return palette.color(QPalette::Button);
  return QColor::fromRgb(0xFF000000u | (word & 0xFFFFFFu));
}

constexpr const char* kBrowserTimingSetting = "PreviewAsBrowsers";

bool BrowserTimingSetting() {
  PreferenceStore* store = Prefs().store();
  const std::optional<uint32_t> stored = store ? store->number(kBrowserTimingSetting) : std::nullopt;
  return stored && *stored != 0;
}

void PaintSwatch(QToolButton* button, const QColor& colour) {
  QPixmap swatch(16, 16);
  swatch.fill(colour);
  button->setIcon(QIcon(swatch));
}

}  // namespace

PreviewDialog::PreviewDialog(AnimHeader& document, Options options, QWidget* parent,
                             std::unique_ptr<PlaybackClock> clock)
    : QDialog(parent), document_(document), options_(options), clock_(std::move(clock)) {
  if (!clock_) clock_ = CreateSteadyPlaybackClock();
  setObjectName(QStringLiteral("PreviewDialog"));
  setWindowTitle(QString::fromUtf8("预览动画"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  hideFirst_ = document.hideFirstFrame && document.frameCount > 1 && !options.selectionOnly;
  timing_ = options.timing;
  fullScreen_ = !timing_ && Prefs().bit(pref::kOptionFlags, kPreviewFullScreen);
  browserTiming_ = BrowserTimingSetting();

  view_ = new ShowAnimView(this);
  view_->setBackground(StoredBackground(palette()));
  failed_ = !view_->setDocument(&document_, hideFirst_);
  buildControls();
  collectFrames();
  loadDelays();
  slider_->setRange(1, std::max(1, positionCount()));
  timingPanel_->setVisible(timing_);
  timingButton_->setChecked(timing_);
}

PreviewDialog::~PreviewDialog() { clock_->cancel(); }

QToolButton* PreviewDialog::addButton(QHBoxLayout* row, int id, const QString& text) {
  auto* b = new QToolButton(this);
  b->setObjectName(QStringLiteral("c%1").arg(id));
  b->setText(text);
  row->addWidget(b);
  return b;
}

void PreviewDialog::buildControls() {
  controls_ = new QWidget(this);
  auto* column = new QVBoxLayout(controls_);
  column->setContentsMargins(0, 0, 0, 0);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  playButton_ = addButton(buttons, 1060, QStringLiteral("▶"));
  playButton_->setCheckable(true);
  stopButton_ = addButton(buttons, 1061, QStringLiteral("■"));
  stopButton_->setEnabled(false);
  QToolButton* first = addButton(buttons, 1062, QStringLiteral("|◀"));
  QToolButton* previous = addButton(buttons, 1063, QStringLiteral("◀"));
  QToolButton* next = addButton(buttons, 1064, QStringLiteral("▶|"));
  QToolButton* last = addButton(buttons, 1065, QStringLiteral("▶▶|"));
  buttons->addSpacing(8);
  zoomIn_ = addButton(buttons, 40038, QStringLiteral("+"));
  zoomOut_ = addButton(buttons, 40039, QStringLiteral("−"));
  actualSize_ = addButton(buttons, 40069, QStringLiteral("1:1"));
  buttons->addSpacing(8);
  timingButton_ = addButton(buttons, 40289, QString::fromUtf8("定时"));
  timingButton_->setCheckable(true);
  browserButton_ = addButton(buttons, 0, QString::fromUtf8("浏览器"));
  browserButton_->setObjectName(QStringLiteral("browserTiming"));
  browserButton_->setCheckable(true);
  browserButton_->setChecked(browserTiming_);
  browserButton_->setToolTip(QString::fromUtf8(MessageText(msg::kBrowserTimingTip)));
  browserButton_->setShortcut(QKeySequence(Qt::Key_B));
  colourButton_ = new QToolButton(this);
  colourButton_->setObjectName(QStringLiteral("MyBkColorButton"));
  buttons->addWidget(colourButton_);
  PaintSwatch(colourButton_, view_->background());
  buttons->addStretch(1);
  column->addLayout(buttons);

  auto* track = new QHBoxLayout;
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("c1100"));
  slider_->setPageStep(1);
  number_ = new QLabel(this);
  number_->setObjectName(QStringLiteral("c1098"));
  number_->setMinimumWidth(40);
  track->addWidget(slider_, 1);
  track->addWidget(number_);
  column->addLayout(track);

  timingPanel_ = new TimingPanel(this);
  column->addWidget(timingPanel_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(view_, 1);
  layout->addWidget(controls_);
  updateZoomButtons();

  connect(playButton_, &QToolButton::clicked, this, [this](bool on) { on ? play() : stop(); });
  connect(stopButton_, &QToolButton::clicked, this, [this] { stop(); });
  connect(first, &QToolButton::clicked, this, [this] { navigate(1, true); });
  connect(previous, &QToolButton::clicked, this,
          [this] { navigate(position_ <= 1 ? positionCount() : position_ - 1, true); });
  connect(next, &QToolButton::clicked, this,
          [this] { navigate(position_ >= positionCount() ? 1 : position_ + 1, false); });
  connect(last, &QToolButton::clicked, this, [this] { navigate(positionCount(), false); });
  connect(zoomIn_, &QToolButton::clicked, this, [this] {
    view_->setZoom(view_->zoom() + 1);
    updateZoomButtons();
  });
  connect(zoomOut_, &QToolButton::clicked, this, [this] {
    view_->setZoom(view_->zoom() - 1);
    updateZoomButtons();
  });
  connect(actualSize_, &QToolButton::clicked, this, [this] {
    view_->setZoom(0);
    updateZoomButtons();
  });
  connect(timingButton_, &QToolButton::clicked, this, [this](bool on) { setTimingMode(on); });
  connect(colourButton_, &QToolButton::clicked, this, [this] { chooseBackground(); });
  connect(browserButton_, &QToolButton::clicked, this, [this](bool on) { setBrowserTiming(on); });

  // A line step past either end comes round at the other one.
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    if (action == QAbstractSlider::SliderSingleStepAdd && position_ == positionCount())
      slider_->setSliderPosition(slider_->minimum());
    else if (action == QAbstractSlider::SliderSingleStepSub && position_ == 1)
      slider_->setSliderPosition(slider_->maximum());
  });
  connect(slider_, &QSlider::valueChanged, this, [this](int k) {
    if (!settingSlider_) navigate(k, true);
  });

  connect(timingPanel_, &TimingPanel::delayFieldFocused, this, [this] { stop(); });
  connect(timingPanel_, &TimingPanel::delayBeforeEdited, this, [this](double delay) {
    if (position_ >= 1) writeDelay(position_ == 1 ? positionCount() : position_ - 1, delay);
  });
  connect(timingPanel_, &TimingPanel::delayAfterEdited, this, [this](double delay) {
    if (position_ >= 1) writeDelay(position_, delay);
  });
  connect(timingPanel_, &TimingPanel::applyRequested, this,
          [this](DelayOperation operation, double operand) { applyToAllDelays(operation, operand); });
  connect(timingPanel_, &TimingPanel::webSafeRequested, this, [this] { makeDelaysWebSafe(); });
  connect(timingPanel_, &TimingPanel::resetClicked, this, [this] {
    emit undoRequested();
    reloadDelays();
  });
}

void PreviewDialog::collectFrames() {
  frames_.clear();
  blocks_.clear();
  int number = 1;
  for (ImageBlock* f = FirstImage(&document_); f; f = NextImage(f), ++number) {
    if (options_.selectionOnly ? !f->selected : (hideFirst_ && number == 1)) continue;
    frames_.push_back(number);
    blocks_.push_back(f);
  }
}

void PreviewDialog::loadDelays() {
  delays_.clear();
  for (const ImageBlock* f : blocks_) delays_.push_back(std::max(0, f->delay));
}

int PreviewDialog::frameNumberAt(int k) const {
  return k >= 1 && k <= positionCount() ? frames_[static_cast<size_t>(k - 1)] : 0;
}

double PreviewDialog::delayAt(int k) const {
  return k >= 1 && k <= positionCount() ? delays_[static_cast<size_t>(k - 1)] : 0;
}

void PreviewDialog::begin() {
  if (failed_ || positionCount() == 0) {
    if (failed_) ShowMessage(40353);
    close();
    return;
  }
  if (fullScreen_) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    controls_->hide();
    layout()->setContentsMargins(0, 0, 0, 0);
    if (QScreen* s = screen()) setGeometry(s->geometry());
  } else {
    fitToWorkArea();
  }
  show();
  if (timing_) emit timingPanelToggled(true);
  if (options_.startFrame < 0) {
    play();
    return;
  }
  int k = 1;
  for (int i = 1; i <= positionCount(); ++i)
    if (frames_[static_cast<size_t>(i - 1)] == options_.startFrame + 1) k = i;
  showPosition(k, true);
}

void PreviewDialog::failAndClose() {
  stop();
  ShowMessage(40353);
  close();
}

// --- playback ---

void PreviewDialog::showPosition(int k, bool seek) {
  if (k < 1 || k > positionCount() || k == position_) return;
  const int number = frames_[static_cast<size_t>(k - 1)];
  view_->showFrame(number, seek);
  position_ = k;
  if (timing_) refreshTimingFields();
  number_->setText(QString::number(number));
  settingSlider_ = true;
  slider_->setValue(k);
  settingSlider_ = false;
}

void PreviewDialog::navigate(int k, bool seek) {
  stop();
  showPosition(k, seek);
}

int PreviewDialog::currentInterval() const {
  if (position_ < 1) return 1;
  const double delay = delays_[static_cast<size_t>(position_ - 1)];
  return browserTiming_ ? BrowserInterval(delay, Prefs().timeBase()) : PreviewInterval(delay, Prefs().timeBase());
}

void PreviewDialog::setBrowserTiming(bool on) {
  browserButton_->setChecked(on);
  if (on == browserTiming_) return;
  const qint64 shownSince = due_ - currentInterval();
  browserTiming_ = on;
  if (PreferenceStore* store = Prefs().store()) store->setNumber(kBrowserTimingSetting, on ? 1 : 0);
  // The frame on show keeps the time it has been up; only what remains follows the new rule.
  if (playing_) {
    due_ = std::max(clock_->now(), shownSince + currentInterval());
    scheduleNextTick();
  }
}

void PreviewDialog::play() {
  if (positionCount() == 0) return;
  playButton_->setChecked(true);
  stopButton_->setEnabled(true);
  playing_ = true;
  loopsLeft_ = document_.playCount;
  showPosition(1, true);
  due_ = clock_->now() + currentInterval();
  scheduleNextTick();
}

void PreviewDialog::stop() {
  clock_->cancel();
  playButton_->setChecked(false);
  stopButton_->setEnabled(false);
  playing_ = false;
}

void PreviewDialog::scheduleNextTick() {
  clock_->wakeAt(due_, [this] { tick(); });
}

void PreviewDialog::tick() {
  clock_->cancel();
  if (!playing_) return;
  const bool loopForever = Prefs().bit(pref::kOptionFlags, kLoopPreviewForever);
  if (position_ == positionCount() && !PreviewContinuesAfterLastFrame(loopsLeft_, loopForever)) {
    stop();
    return;
  }
  showPosition(position_ >= positionCount() ? 1 : position_ + 1, false);
  // Each step is due a whole interval after the previous one was due, not after the timer
  // happened to fire, so lateness does not add up over a loop. A preview that fell behind
  // shows the next frame at once rather than racing to catch up.
  due_ = std::max(due_ + currentInterval(), clock_->now());
  scheduleNextTick();
}

void PreviewDialog::updateZoomButtons() {
  zoomIn_->setEnabled(view_->zoom() < 3);
  zoomOut_->setEnabled(view_->zoom() > -4);
  actualSize_->setEnabled(view_->zoom() != 0);
}

// --- timing mode ---

void PreviewDialog::setTimingMode(bool on) {
  timingButton_->setChecked(on);
  if (on == timing_) return;
  timing_ = on;
  timingPanel_->setVisible(on);
  if (on) refreshTimingFields();
  if (isVisible()) fitToWorkArea();
  emit timingPanelToggled(on);
}

void PreviewDialog::refreshTimingFields() {
  if (position_ < 1) return;
  const int n = positionCount();
  const int before = position_ == 1 ? n : position_ - 1;
  timingPanel_->showDelays(frames_[static_cast<size_t>(position_ - 1)], delayAt(before), delayAt(position_), n > 1);
  timingPanel_->setResetEnabled(undoRecorded_);
}

bool PreviewDialog::recordUndoOnce() {
  if (!undoRecorded_) {
    // The step holds every frame's delay as it was before this window changed any.
    undoRecorded_ = RecordUndo(undo_kind::kEditTiming, document_, nullptr, {}, 0) != nullptr;
    timingPanel_->setResetEnabled(undoRecorded_);
  }
  // The size worker reads the frames; it is not cancelled, since delays never change the
  // encoded size and its result stays right.
  WaitForWorkers(worker::kSize);
  return undoRecorded_;
}

void PreviewDialog::writeDelay(int k, double delay) {
  if (k < 1 || k > positionCount()) return;
  recordUndoOnce();
  delays_[static_cast<size_t>(k - 1)] = delay;
  blocks_[static_cast<size_t>(k - 1)]->delay = StoredDelay(delay);
  emit delaysWritten();
}

void PreviewDialog::applyToAllDelays(DelayOperation operation, double operand) {
  if (positionCount() == 0) return;
  recordUndoOnce();
  for (size_t i = 0; i < delays_.size(); ++i) {
    delays_[i] = ApplyDelayOperation(operation, delays_[i], operand);
    blocks_[i]->delay = StoredDelay(delays_[i]);
  }
  if (timing_) refreshTimingFields();
  emit delaysWritten();
}

void PreviewDialog::makeDelaysWebSafe() {
  const int timeBase = Prefs().timeBase();
  std::vector<size_t> changed;
  for (size_t i = 0; i < delays_.size(); ++i)
    if (BrowsersChangeDelay(StoredDelay(delays_[i]), timeBase)) changed.push_back(i);
  if (changed.empty()) return;
  recordUndoOnce();
  for (size_t i : changed) {
    delays_[i] = WebSafeDelay(StoredDelay(delays_[i]), timeBase);
    blocks_[i]->delay = StoredDelay(delays_[i]);
  }
  if (timing_) refreshTimingFields();
  emit delaysWritten();
}

// --- from the shell ---

void PreviewDialog::screenSizeChanged() {
  const int shown = std::max(1, position_);
  if (!view_->rebuild()) return failAndClose();
  position_ = 0;
  showPosition(shown, true);
}

void PreviewDialog::frameListChanged() {
  const bool wasPlaying = playing_;
  const int shown = position_;
  stop();
  hideFirst_ = document_.hideFirstFrame && document_.frameCount > 1 && !options_.selectionOnly;
  collectFrames();
  loadDelays();
  settingSlider_ = true;
  slider_->setRange(1, std::max(1, positionCount()));
  settingSlider_ = false;
  position_ = 0;
  if (positionCount() == 0) {
    close();
    return;
  }
  if (!view_->setDocument(&document_, hideFirst_)) return failAndClose();
  if (wasPlaying) {
    play();
    return;
  }
  showPosition(1, true);
  showPosition(std::min(std::max(shown, 1), positionCount()), true);
}

void PreviewDialog::setFrameDelay(int index, int delay) {
  if (index < 0) {
    loadDelays();
    // Whatever changed the delays outside this window (an undo, most often) owns them now;
    // a later edit here starts a step of its own.
    undoRecorded_ = false;
    timingPanel_->setResetEnabled(false);
  } else {
    for (size_t i = 0; i < frames_.size(); ++i)
      if (frames_[i] == index + 1) delays_[i] = std::max(0, delay);
  }
  if (timing_) refreshTimingFields();
}

void PreviewDialog::setBackgroundColour(const QColor& colour) {
  view_->setBackground(colour);
  PaintSwatch(colourButton_, colour);
}

void PreviewDialog::chooseBackground() {
  const QColor chosen = QColorDialog::getColor(view_->background(), this);
  if (!chosen.isValid()) return;
  Prefs().write(pref::kPreviewBackground, (chosen.rgb() & 0xFFFFFFu) | kOwnBackground);
  setBackgroundColour(chosen);
}

// --- window ---

void PreviewDialog::fitToWorkArea() {
  QScreen* s = screen();
  if (!s) return;
  const QRect area = s->availableGeometry().adjusted(10, 10, -10, -10);
  layout()->activate();
  const QSize size = sizeHint().expandedTo(minimumSizeHint()).boundedTo(area.size());
  resize(size);
  QPoint at = isVisible() ? pos() : area.center() - QPoint(size.width() / 2, size.height() / 2);
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
  move(at);
}

void PreviewDialog::closeEvent(QCloseEvent* e) {
  stop();
  if (!closed_) {
    closed_ = true;
    if (timing_) emit timingPanelToggled(false);
    emit closing();
  }
  // Not QDialog's own handling, which would go through reject() and back here.
  e->accept();
}

void PreviewDialog::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(e);
}

void PreviewDialog::reject() { close(); }

}  // namespace fw
