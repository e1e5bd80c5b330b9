#include "ui/property_bar.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QToolButton>

#include "core/anim_document.h"
#include "core/preferences.h"
#include "core/string_table.h"

namespace fw {
namespace {
QString Text(int id) { return QString::fromUtf8(MessageText(id)); }
QString Id(int id) { return QStringLiteral("c%1").arg(id); }
// Keeping 24-bit colour data is the export preference (word 6 bit 25).
constexpr uint32_t kKeepTrueColour = 1u << 25;
}  // namespace

PropertyBar::PropertyBar(QWidget* parent) : QToolBar(parent) {
  setObjectName(QStringLiteral("PropertyBar"));
  setMovable(false);
  auto commandButton = [this](int id) {
    auto* b = new QToolButton(this);
    b->setObjectName(Id(id));
    b->setToolTip(Text(id));
    b->setText(Text(id));
    b->setEnabled(false);
    commandButtons_ << b;
    addWidget(b);
    return b;
  };
  commandButton(40009);
  addWidget(new QLabel(QString::fromUtf8(" 延时 "), this));
  delay_ = new QLineEdit(this);
  delay_->setObjectName(Id(40046));
  delay_->setToolTip(Text(40046));
  delay_->setMaxLength(9);
  delay_->setFixedWidth(70);
  addWidget(delay_);
  addSeparator();
  const int disposalIds[3] = {40047, 40048, 40051};
  const char* labels[3] = {"1", "2", "3"};
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  for (int i = 0; i < 3; ++i) {
    disposal_[i] = new QToolButton(this);
    disposal_[i]->setObjectName(Id(disposalIds[i]));
    disposal_[i]->setToolTip(Text(disposalIds[i]));
    disposal_[i]->setText(QString::fromLatin1(labels[i]));
    disposal_[i]->setCheckable(true);
    group->addButton(disposal_[i], i + 1);
    addWidget(disposal_[i]);
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int method) {
    if (!refreshing_) emit disposalChosen(method);
  });
  addSeparator();
  transparency_ = new QToolButton(this);
  transparency_->setObjectName(Id(40041));
  transparency_->setToolTip(Text(40041));
  transparency_->setText(QStringLiteral("T"));
  transparency_->setCheckable(true);
  addWidget(transparency_);
  connect(transparency_, &QToolButton::toggled, this, [this](bool on) {
    if (!refreshing_) emit transparencyToggled(on);
  });
  chooseTransparent_ = new QToolButton(this);
  chooseTransparent_->setObjectName(Id(40042));
  chooseTransparent_->setText(QStringLiteral("…"));
  chooseTransparent_->setToolTip(Text(40042));
  chooseTransparent_->setEnabled(false);
  addWidget(chooseTransparent_);
  connect(chooseTransparent_, &QToolButton::clicked, this, [this] {
    if (!refreshing_) emit transparentColourRequested();
  });
  localPalette_ = new QToolButton(this);
  localPalette_->setObjectName(Id(40043));
  localPalette_->setToolTip(Text(40043));
  localPalette_->setText(QStringLiteral("L"));
  localPalette_->setCheckable(true);
  addWidget(localPalette_);
  connect(localPalette_, &QToolButton::toggled, this, [this](bool on) {
    if (!refreshing_) emit localPaletteToggled(on);
  });
  commandButton(40044);
  trueColour_ = new QToolButton(this);
  trueColour_->setObjectName(Id(40347));
  trueColour_->setToolTip(Text(40347));
  trueColour_->setText(QStringLiteral("24"));
  trueColour_->setCheckable(true);
  addWidget(trueColour_);
  connect(trueColour_, &QToolButton::toggled, this, [this](bool on) {
    if (!refreshing_) emit trueColourToggled(on);
  });
  addSeparator();
  chooser_ = new QComboBox(this);
  chooser_->setObjectName(Id(40045));
  chooser_->setToolTip(Text(40045));
  chooser_->setMaxVisibleItems(25);
  chooser_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  addWidget(chooser_);
  connect(chooser_, &QComboBox::activated, this, [this](int entry) {
    if (!refreshing_ && entry <= static_cast<int>(chooser_->count()) && chooser_->itemData(entry).isValid())
      emit frameChosen(chooser_->itemData(entry).toInt());
  });
  addSeparator();
  commandButton(40008);
  loop_ = new QLineEdit(this);
  loop_->setObjectName(Id(40049));
  loop_->setToolTip(Text(40049));
  loop_->setFixedWidth(60);
  addWidget(loop_);
  addWidget(new QLabel(QStringLiteral(" ↻"), this));
  commandButton(40050);
  // Values are taken when the user finishes typing (Enter or leaving the field), so that one
  // edit makes one undo step rather than one per keystroke.
  connect(delay_, &QLineEdit::editingFinished, this, [this] {
    if (refreshing_ || !delay_->isModified()) return;
    delay_->setModified(false);
    bool ok = false;
    const qlonglong v = delay_->text().trimmed().toLongLong(&ok);
    if (ok) emit delayEdited(static_cast<int>(std::clamp<qlonglong>(v, -1, 70000)));
    else emit delayEdited(-1);
  });
  connect(loop_, &QLineEdit::editingFinished, this, [this] {
    if (refreshing_ || !loop_->isModified()) return;
    loop_->setModified(false);
    bool ok = false;
    const qlonglong v = loop_->text().trimmed().toLongLong(&ok);
    emit loopEdited(ok ? static_cast<int>(std::clamp<qlonglong>(v, -1, 70000)) : -1);
  });
}

void PropertyBar::refresh(const AnimHeader* doc, int current, bool timingPanelShown) {
  refreshing_ = true;
  const ImageBlock* frame = doc && current >= 0 ? ImageAt(doc, current) : nullptr;
  const bool single = frame && doc->selectedCount < 2;
  for (QToolButton* b : disposal_) b->setEnabled(single);
  transparency_->setEnabled(single);
  chooseTransparent_->setEnabled(single);
  localPalette_->setEnabled(single);
  const int disposal = single ? frame->disposal() : 0;
  disposal_[0]->setChecked(single && disposal != 2 && disposal != 3);
  disposal_[1]->setChecked(single && disposal == 2);
  disposal_[2]->setChecked(single && disposal == 3);
  transparency_->setChecked(single && frame->transparent());
  localPalette_->setChecked(single && frame->localPalette);
  trueColour_->setEnabled(single && Prefs().bit(pref::kOptionFlags, kKeepTrueColour));
  trueColour_->setChecked(single && !frame->trueColour.empty());
  // The delay shared by every selected frame, or nothing when they differ.
  QString delayText;
  if (doc) {
    int shared = -1;
    bool same = true;
    for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) {
      if (!f->selected) continue;
      if (shared == -1) shared = f->delay;
      else if (shared != f->delay) same = false;
    }
    if (single) delayText = QString::number(frame->delay);
    else if (shared >= 0 && same) delayText = QString::number(shared);
  }
  delay_->setText(delayText);
  delay_->setModified(false);
  hasFrame_ = frame != nullptr;
  delay_->setEnabled(hasFrame_ && !timingPanelShown && !timingPanelShown_);
  chooser_->clear();
  chooser_->addItem(Text(40283), -1);
  if (doc) {
    int i = 0;
    for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++i)
      chooser_->addItem(QStringLiteral("#%1: %2").arg(i + 1).arg(QString::fromStdString(FrameName(*f))), i);
    if (doc->selectedCount > 1) chooser_->addItem(Text(40284));
  }
  chooser_->setCurrentIndex(doc && doc->selectedCount > 1 ? chooser_->count() - 1 : single ? current + 1 : 0);
  loop_->setEnabled(doc != nullptr);
  loop_->setText(doc ? QString::number(doc->playCount) : QString());
  loop_->setModified(false);
  refreshing_ = false;
}

void PropertyBar::setTimingPanelShown(bool shown) {
  timingPanelShown_ = shown;
  delay_->setEnabled(hasFrame_ && !shown);
}

void PropertyBar::bindCommands(const std::function<QAction*(int id)>& action) {
  for (QToolButton* b : commandButtons_) {
    const int id = b->objectName().mid(1).toInt();
    if (QAction* a = action(id)) {
      b->setDefaultAction(a);
      b->setToolButtonStyle(Qt::ToolButtonTextOnly);
      // The bar shows the short tip text, not the menu's.
      b->setText(Text(id));
      connect(a, &QAction::changed, b, [b, id] { b->setText(Text(id)); });
    }
  }
}

}  // namespace fw
