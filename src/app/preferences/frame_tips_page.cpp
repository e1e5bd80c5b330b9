#include "app/preferences/frame_tips_page.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "core/preferences.h"

namespace fw {
namespace {

constexpr uint32_t kTipsOn = 1;
constexpr uint32_t kBitsPerPixel = 1024;

struct TipItem {
  int id;
  uint32_t bit;
  const char* text;
};
constexpr TipItem kItems[] = {
    {1265, 4, "帧编号"},    {1267, 8, "大小"},         {1268, 16, "偏移"},        {1269, 32, "延迟"},
    {1270, 64, "处理方法"}, {1271, 128, "透明度"},     {1272, 256, "调色板类型"}, {1274, kBitsPerPixel, "每像素位数"},
};

}  // namespace

FrameTipsPage::FrameTipsPage(QWidget* parent)
    : PreferencePage(265, QString::fromUtf8("帧提示"), parent), shown_(Prefs().raw(pref::kFrameTips)) {
  master_ = Named(new QCheckBox(QString::fromUtf8("显示帧提示"), this), 1083);
  master_->setChecked(shown_ & kTipsOn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(master_);
  // Bits per pixel only differ between frames when true-colour data is kept.
  const bool trueColourKept = Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour);
  for (const TipItem& item : kItems) {
    auto* box = Named(new QCheckBox(QString::fromUtf8(item.text), this), item.id);
    box->setChecked(shown_ & item.bit);
    box->setEnabled(master_->isChecked());
    if (item.bit == kBitsPerPixel) box->setVisible(trueColourKept);
    auto* row = new QVBoxLayout;
    row->setContentsMargins(20, 0, 0, 0);
    row->addWidget(box);
    layout->addLayout(row);
    items_.append({box, item.bit});
    connect(master_, &QCheckBox::toggled, box, &QWidget::setEnabled);
  }
  layout->addStretch();
}

uint32_t FrameTipsPage::tipWord() const {
  uint32_t word = master_->isChecked() ? kTipsOn : 0;
  for (const auto& [box, bit] : items_)
    if (box->isChecked()) word |= bit;
  return word;
}

void FrameTipsPage::commit(PreferencesOutcome&) {
  uint32_t controlled = kTipsOn;
  for (const TipItem& item : kItems) controlled |= item.bit;
  CommitFlags(pref::kFrameTips, controlled, shown_, tipWord());
}

}  // namespace fw
