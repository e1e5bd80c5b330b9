#include "ui/index_chooser.h"

#include "core/anim_document.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QCursor>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "core/preferences.h"
#include "ui/frame_tip_popup.h"
#include "ui/show_colors.h"
#include "ui/show_image.h"

namespace fw {
namespace {
// Preference word 6 bit 6: the tip with the colour under the pointer.
constexpr uint32_t kShowColourTip = 1u << 6;

Qt::CursorShape ToolCursor(int tool) {
  switch (tool) {
    case IndexChooser::kAddTool: return Qt::CrossCursor;
    case IndexChooser::kRemoveTool: return Qt::ForbiddenCursor;
    default: return Qt::PointingHandCursor;
  }
}
}  // namespace

IndexChooser::IndexChooser(const IndexChooserSubject& subject, QWidget* parent)
    : QDialog(parent), transparentIndex_(subject.transparentIndex), display_(palette().button().color()) {
  setObjectName(QStringLiteral("IndexChooser"));
  setWindowTitle(subject.title);
  if (subject.palette) {
    count_ = subject.palette->count();
    subject.palette->readEntries(0, count_, colours_.data());
  }
  for (int i : subject.chosen)
    if (i >= 0 && i < count_ && std::find(chosen_.begin(), chosen_.end(), i) == chosen_.end()) chosen_.push_back(i);

  grid_ = new ShowColors(this);
  grid_->setColours(colours_, count_);
  connect(grid_, &ShowColors::picked, this, &IndexChooser::clickIndex);
  connect(grid_, &ShowColors::hovered, this, &IndexChooser::hover);

  auto* tools = new QButtonGroup(this);
  auto* toolRow = new QHBoxLayout;
  const char* labels[3] = {"选择", "添加", "删除"};
  for (int tool = kSelectTool; tool <= kRemoveTool; ++tool) {
    auto* b = new QToolButton(this);
    b->setObjectName(QStringLiteral("c%1").arg(tool));
    b->setText(QString::fromUtf8(labels[tool - kSelectTool]));
    b->setCheckable(true);
    b->setChecked(tool == kSelectTool);
    tools->addButton(b, tool);
    toolRow->addWidget(b);
  }
  connect(tools, &QButtonGroup::idClicked, this, &IndexChooser::setTool);
  auto* background = new QPushButton(QString::fromUtf8("背景..."), this);
  background->setObjectName(QStringLiteral("background"));
  connect(background, &QPushButton::clicked, this, [this] {
    const QColor c = QColorDialog::getColor(display_, this);
    if (c.isValid()) setDisplayColour(c);
  });
  toolRow->addWidget(background);
  toolRow->addStretch(1);

  showTip_ = new QCheckBox(QString::fromUtf8("显示光标下的颜色信息"), this);
  showTip_->setObjectName(QStringLiteral("c1083"));
  showTip_->setChecked(Prefs().bit(pref::kOptionFlags, kShowColourTip));
  tip_ = new FrameTipPopup(this);

  auto* views = new QHBoxLayout;
  views->addWidget(grid_);
  if (subject.image) {
    picture_ = new ShowImage(this);
    picture_->setImage(subject.image);
    picture_->setColours(colours_);
    connect(picture_, &ShowImage::picked, this, &IndexChooser::clickIndex);
    connect(picture_, &ShowImage::hovered, this, &IndexChooser::hover);
    views->addWidget(picture_, 1);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(toolRow);
  layout->addLayout(views, 1);
  layout->addWidget(showTip_);
  layout->addWidget(buttons);
  setTool(kSelectTool);
  showChosen();
}

void IndexChooser::setTool(int tool) {
  if (tool < kSelectTool || tool > kRemoveTool) return;
  tool_ = tool;
  if (auto* b = findChild<QToolButton*>(QStringLiteral("c%1").arg(tool))) b->setChecked(true);
  grid_->setCursor(ToolCursor(tool));
  if (picture_) picture_->setCursor(ToolCursor(tool));
}

void IndexChooser::clickIndex(int index) {
  if (index < 0 || index >= count_) return;
  const auto at = std::find(chosen_.begin(), chosen_.end(), index);
  switch (tool_) {
    case kSelectTool: chosen_.assign(1, index); break;
    case kAddTool:
      if (at == chosen_.end()) chosen_.push_back(index);
      break;
    case kRemoveTool:
      if (at != chosen_.end()) chosen_.erase(at);
      break;
  }
  changed_ = true;
  grid_->flash(index);
  showChosen();
}

void IndexChooser::setDisplayColour(QColor colour) {
  display_ = colour;
  showChosen();
}

void IndexChooser::showChosen() {
  const QSet<int> marked(chosen_.begin(), chosen_.end());
  grid_->setMarked(marked, display_);
  if (picture_) picture_->setMarked(marked, display_);
}

QString IndexChooser::tipText(int index) const {
  if (index < 0 || index >= count_) return {};
  return ColourTipText(index, colours_[static_cast<size_t>(index)], transparentIndex_);
}

void IndexChooser::hover(int index) {
  if (!showTip_->isChecked() || index < 0) {
    tip_->clear();
    return;
  }
  tip_->setTip(tipText(index), nullptr, {});
  tip_->follow(QCursor::pos(), true);
}

void IndexChooser::done(int result) {
  tip_->clear();
  Prefs().setBits(pref::kOptionFlags, kShowColourTip, showTip_->isChecked());
  QDialog::done(result);
}

IndexChooserSubject TransparencySubject(const ImageBlock& frame) {
  IndexChooserSubject subject;
  subject.title = QString::fromUtf8("选择透明度指数");
  subject.palette = frame.activePalette;
  subject.image = frame.indexedImage.get();
  subject.transparentIndex = frame.transparent() ? frame.transparentIndex : -1;
  if (frame.transparent()) subject.chosen.push_back(frame.transparentIndex);
  return subject;
}

}  // namespace fw
