#include "app/preferences/animation_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/preferences.h"

namespace fw {
namespace {

constexpr int kStepLimit = 32767;
constexpr int kTypedLimit = 9999999;
constexpr uint32_t kMaxDelay = 65535;
constexpr uint32_t kMaxLoops = 65536;

// The arrows step within 0..32767 while typing may go further, so that a value out of range
// reaches the page check and its message instead of being silently clamped.
class StepLimitedSpinBox : public QSpinBox {
 public:
  explicit StepLimitedSpinBox(QWidget* parent) : QSpinBox(parent) { setRange(0, kTypedLimit); }
  void stepBy(int steps) override { setValue(std::clamp(value() + steps, 0, std::max(kStepLimit, value()))); }

 protected:
  StepEnabled stepEnabled() const override {
    StepEnabled e = StepNone;
    if (value() > 0) e |= StepDownEnabled;
    if (value() < kStepLimit) e |= StepUpEnabled;
    return e;
  }
};

QSpinBox* NumberField(int id, uint32_t value, QWidget* parent) {
  auto* field = Named(new StepLimitedSpinBox(parent), id);
  field->setValue(static_cast<int>(std::min<uint32_t>(value, kTypedLimit)));
  return field;
}

}  // namespace

AnimationPage::AnimationPage(QWidget* parent) : PreferencePage(203, QString::fromUtf8("动画"), parent) {
  const Preferences& p = Prefs();
  shownDelay_ = p.raw(pref::kDefaultDelay);
  shownLoops_ = p.raw(pref::kDefaultLoopCount);
  shownPolicy_ = p.read(pref::kFrameSizePolicy);
  delay_ = NumberField(1101, shownDelay_, this);
  loops_ = NumberField(1102, shownLoops_, this);
  clip_ = Named(new QRadioButton(QString::fromUtf8("剪裁到当前动画大小"), this), 1111);
  enlarge_ = Named(new QRadioButton(QString::fromUtf8("放大动画以适合"), this), 1112);
  ask_ = Named(new QCheckBox(QString::fromUtf8("总是询问"), this), 1121);
  ((shownPolicy_ & pref::kSizeEnlarge) ? enlarge_ : clip_)->setChecked(true);
  ask_->setChecked(shownPolicy_ & pref::kSizeAsk);

  auto* defaults = new QFormLayout;
  defaults->addRow(QString::fromUtf8("默认延迟 (1/100 秒):"), delay_);
  defaults->addRow(QString::fromUtf8("默认循环次数 (0 = 永远):"), loops_);
  auto* sizeBox = new QGroupBox(QString::fromUtf8("插入的帧大于动画时"), this);
  auto* sizeLayout = new QVBoxLayout(sizeBox);
  for (QWidget* w : {static_cast<QWidget*>(clip_), static_cast<QWidget*>(enlarge_), static_cast<QWidget*>(ask_)})
    sizeLayout->addWidget(w);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(defaults);
  layout->addWidget(sizeBox);
  layout->addStretch();
}

QWidget* AnimationPage::invalidField() {
  if (static_cast<uint32_t>(delay_->value()) > kMaxDelay) {
    ShowFieldMessage(40155, 40156);
    return delay_;
  }
  if (static_cast<uint32_t>(loops_->value()) > kMaxLoops) {
    ShowFieldMessage(40157, 40158);
    return loops_;
  }
  return nullptr;
}

uint32_t AnimationPage::sizePolicy() const {
  return (enlarge_->isChecked() ? pref::kSizeEnlarge : pref::kSizeClip) | (ask_->isChecked() ? pref::kSizeAsk : 0);
}

void AnimationPage::commit(PreferencesOutcome&) {
  CommitField(pref::kDefaultDelay, ~0u, shownDelay_, static_cast<uint32_t>(delay_->value()));
  CommitField(pref::kDefaultLoopCount, ~0u, shownLoops_, static_cast<uint32_t>(loops_->value()));
  CommitField(pref::kFrameSizePolicy, ~0u, shownPolicy_, sizePolicy());
}

}  // namespace fw
