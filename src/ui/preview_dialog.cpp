#include "ui/preview_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/anim_document.h"
#include "core/compositor.h"
#include "core/preferences.h"
#include "ui/frame_image.h"

namespace fw {

int PreviewInterval(int delay, int timeBase) {
  if (timeBase <= 0) timeBase = 100;
  const int ms = delay * (1000 / timeBase);
  return ms > 0 ? ms : 1;
}

bool PreviewContinuesAfterLastFrame(int& loopsLeft, bool loopForever) {
  if (loopForever || loopsLeft == 0) return true;
  if (loopsLeft == 1) return false;
  --loopsLeft;
  return true;
}

PreviewDialog::PreviewDialog(AnimHeader& document, bool selectionOnly, QWidget* parent)
    : QDialog(parent), document_(document) {
  setObjectName(QStringLiteral("PreviewDialog"));
  setWindowTitle(QString::fromUtf8("预览动画"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  view_ = new QLabel(this);
  view_->setObjectName(QStringLiteral("MyShowAnim"));
  view_->setAlignment(Qt::AlignCenter);
  view_->setMinimumSize(std::max(64, document.screenWidth + 12), std::max(48, document.screenHeight + 12));
  auto* controls = new QHBoxLayout;
  auto button = [&](int id, const QString& text) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    b->setText(text);
    controls->addWidget(b);
    return b;
  };
  playButton_ = button(1060, QStringLiteral("▶"));
  playButton_->setCheckable(true);
  connect(playButton_, &QToolButton::clicked, this, [this](bool on) { on ? play() : stop(); });
  connect(button(1061, QStringLiteral("■")), &QToolButton::clicked, this, [this] { stop(); });
  connect(button(1062, QStringLiteral("|◀")), &QToolButton::clicked, this, [this] {
    stop();
    showPosition(1);
  });
  connect(button(1063, QStringLiteral("◀")), &QToolButton::clicked, this, [this] {
    stop();
    showPosition(position_ <= 1 ? positionCount() : position_ - 1);
  });
  connect(button(1064, QStringLiteral("▶|")), &QToolButton::clicked, this, [this] {
    stop();
    showPosition(position_ >= positionCount() ? 1 : position_ + 1);
  });
  connect(button(1065, QStringLiteral("▶▶|")), &QToolButton::clicked, this, [this] {
    stop();
    showPosition(positionCount());
  });
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("c1100"));
  slider_->setPageStep(1);
  number_ = new QLabel(this);
  number_->setObjectName(QStringLiteral("c1098"));
  controls->addWidget(slider_, 1);
  controls->addWidget(number_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addLayout(controls);
  compose(selectionOnly);
  slider_->setRange(1, std::max(1, positionCount()));
  connect(slider_, &QSlider::sliderMoved, this, [this](int k) {
    stop();
    showPosition(k);
  });
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &PreviewDialog::tick);
}

void PreviewDialog::compose(bool selectionOnly) {
  // Composed once up front: the document cannot change while the preview is open, since
  // every editing command closes it first.
  Compositor compositor(document_);
  int number = 1;
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next(), ++number) {
    const ImageBlock* frame = compositor.currentFrame();
    if (number == 1 && document_.hideFirstFrame) continue;
    if (selectionOnly && !(frame && frame->selected)) continue;
    QImage picture = FrameToImage(*canvas, true);
    if (picture.width() > document_.screenWidth || picture.height() > document_.screenHeight)
      picture = picture.copy(0, 0, document_.screenWidth, document_.screenHeight);
    frames_.push_back({picture, number, frame ? frame->delay : 0});
  }
}

void PreviewDialog::showPosition(int k) {
  if (k < 1 || k > positionCount() || k == position_) return;
  position_ = k;
  const Shown& s = frames_[static_cast<size_t>(k - 1)];
  view_->setPixmap(QPixmap::fromImage(s.picture));
  number_->setText(QString::number(s.frameNumber));
  slider_->setValue(k);
}

int PreviewDialog::currentInterval() const {
  if (position_ < 1) return 1;
  return PreviewInterval(frames_[static_cast<size_t>(position_ - 1)].delay, Prefs().timeBase());
}

void PreviewDialog::play() {
  if (positionCount() == 0) return;
  playButton_->setChecked(true);
  playing_ = true;
  loopsLeft_ = document_.playCount;
  position_ = 0;
  showPosition(1);
  timer_.start(currentInterval());
}

void PreviewDialog::stop() {
  timer_.stop();
  playButton_->setChecked(false);
  playing_ = false;
}

void PreviewDialog::tick() {
  timer_.stop();
  if (!playing_) return;
  const bool loopForever = Prefs().bit(pref::kOptionFlags, 1u << 12);
  if (position_ == positionCount() && !PreviewContinuesAfterLastFrame(loopsLeft_, loopForever)) {
    stop();
    return;
  }
  showPosition(position_ >= positionCount() ? 1 : position_ + 1);
  if (positionCount() == 1) position_ = 1;
  timer_.start(currentInterval());
}

void PreviewDialog::closeEvent(QCloseEvent* e) {
  timer_.stop();
  emit closing();
  QDialog::closeEvent(e);
}

void PreviewDialog::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(e);
}

}  // namespace fw
