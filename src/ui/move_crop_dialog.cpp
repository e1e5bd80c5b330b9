#include "ui/move_crop_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "ui/move_crop_view.h"

namespace fw {
namespace {

using namespace move_crop_dialog;

// Wide enough for any value a user may type; the field rules bring it back into range.
constexpr int kFieldLimit = 1000000;

QString Id(int id) { return QStringLiteral("c%1").arg(id); }

// Tells its owner when a change came from the arrows rather than from typing.
class CropSpinBox : public QSpinBox {
 public:
  explicit CropSpinBox(QWidget* parent) : QSpinBox(parent) {}
  bool stepping() const { return stepping_; }
  void stepBy(int steps) override {
    stepping_ = true;
    QSpinBox::stepBy(steps);
    stepping_ = false;
  }

 private:
  bool stepping_ = false;
};

}  // namespace

MoveCropDialog::MoveCropDialog(const AnimHeader& document, int frameIndex, bool animationMode, QWidget* parent)
    : QDialog(parent), document_(document), state_(StartMoveCrop(document, frameIndex, animationMode)) {
  setObjectName(QStringLiteral("MoveCropDialog"));
  setWindowTitle(QString::fromUtf8(animationMode ? "剪切动画" : "移动裁剪帧"));
  typing_ = new QTimer(this);
  typing_->setSingleShot(true);
  typing_->setInterval(kTypingDelayMs);
  connect(typing_, &QTimer::timeout, this, &MoveCropDialog::commitTyped);

  auto* fieldBox = new QWidget(this);
  new QGridLayout(fieldBox);
  addField(crop_field::kLeft, "Left", fieldBox);
  addField(crop_field::kTop, "Top", fieldBox);
  addField(crop_field::kRight, "Right", fieldBox);
  addField(crop_field::kBottom, "Bottom", fieldBox);
  if (!animationMode) {
    addField(crop_field::kOffsetX, "X offset", fieldBox);
    addField(crop_field::kOffsetY, "Y offset", fieldBox);
  }

  view_ = new MoveCropView(document, state_, this);
  view_->setOnEdited([this] { showFields(); });

  auto* side = new QVBoxLayout;
  side->addWidget(fieldBox);
  auto command = [this, side](int id, const QString& text, std::function<void()> run) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(Id(id));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, run] {
      commitTyped();
      run();
      showFields();
      view_->update();
    });
    side->addWidget(button);
  };
  if (!animationMode) {
    const struct {
      int id;
      const char* text;
    } aligns[] = {{crop_align::kLeft, "Align left"},          {crop_align::kRight, "Align right"},
                  {crop_align::kTop, "Align top"},            {crop_align::kBottom, "Align bottom"},
                  {crop_align::kHorizontalCentre, "Centre horizontally"},
                  {crop_align::kVerticalCentre, "Centre vertically"}, {crop_align::kCentre, "Centre"}};
    auto* alignBox = new QWidget(this);
    auto* alignGrid = new QGridLayout(alignBox);
    alignGrid->setContentsMargins(0, 0, 0, 0);
    int n = 0;
    for (const auto& a : aligns) {
      auto* button = new QToolButton(alignBox);
      button->setObjectName(Id(a.id));
      button->setText(QString::fromLatin1(a.text));
      const int id = a.id;
      connect(button, &QToolButton::clicked, this, [this, id] {
        commitTyped();
        AlignCropFrame(state_, id);
        showFields();
        view_->update();
      });
      alignGrid->addWidget(button, n / 2, n % 2);
      ++n;
    }
    side->addWidget(alignBox);
  }
  command(kReset, QStringLiteral("Reset"), [this] { ResetMoveCrop(state_, document_); });
  if (animationMode) command(kAutoSize, QStringLiteral("Auto size"), [this] { AutoSizeCrop(state_, document_); });

  auto check = [this, side](int id, const QString& text) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(Id(id));
    side->addWidget(box);
    return box;
  };
  QCheckBox* previous = check(kShowPrevious, QString::fromUtf8("显示上一帧"));
  QCheckBox* next = check(kShowNext, QString::fromUtf8("显示下一帧"));
  QCheckBox* first = check(kShowFirst, QString::fromUtf8("显示第一帧"));
  showCropped_ = check(kShowCropped, QStringLiteral("Show cropped result"));
  showCropped_->setChecked(ShowCroppedResult(animationMode));
  auto display = [this, previous, next, first] {
    view_->setDisplay({previous->isChecked(), next->isChecked(), first->isChecked(), showCropped_->isChecked()});
  };
  for (QCheckBox* box : {previous, next, first, showCropped_}) connect(box, &QCheckBox::toggled, this, display);
  connect(showCropped_, &QCheckBox::toggled, this, [this](bool on) { StoreShowCroppedResult(state_.animationMode, on); });
  display();
  side->addStretch();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &MoveCropDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(view_, 1);
  row->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row, 1);
  layout->addWidget(buttons);
  showFields();
}

void MoveCropDialog::addField(int id, const char* label, QWidget* box) {
  auto* grid = static_cast<QGridLayout*>(box->layout());
  auto* spin = new CropSpinBox(box);
  spin->setObjectName(Id(id));
  spin->setRange(-kFieldLimit, kFieldLimit);
  const int row = grid->rowCount();
  grid->addWidget(new QLabel(QString::fromLatin1(label), box), row, 0);
  grid->addWidget(spin, row, 1);
  fields_.insert(id, spin);
  connect(spin, &QSpinBox::valueChanged, this, [this, id, spin] {
    if (showing_) return;
    fieldTyped(id);
    if (spin->stepping()) commitTyped();
  });
}

void MoveCropDialog::fieldTyped(int id) {
  pending_.removeAll(id);
  pending_.append(id);
  typing_->start();
}

void MoveCropDialog::commitTyped() {
  typing_->stop();
  if (pending_.isEmpty()) return;
  const QList<int> fields = std::exchange(pending_, {});
  for (int id : fields) SetCropField(state_, id, fields_.value(id)->value());
  showFields();
  view_->update();
}

void MoveCropDialog::showFields() {
  showing_ = true;
  for (auto it = fields_.cbegin(); it != fields_.cend(); ++it) {
    const int value = CropFieldValue(state_, it.key());
    if (it.value()->value() != value) it.value()->setValue(value);
  }
  showing_ = false;
}

void MoveCropDialog::accept() {
  commitTyped();
  QDialog::accept();
}

}  // namespace fw
