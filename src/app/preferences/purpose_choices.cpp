#include "app/preferences/purpose_choices.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "app/preferences/preference_page.h"

namespace fw {

PurposeChoices::PurposeChoices(QWidget* parent) : QWidget(parent), shown_(CurrentPurpose()) {
  animations_ = Named(new QRadioButton(QString::fromUtf8("生成,编辑或查看GIF和256色AVI动画."), this), 1073);
  icons_ = Named(new QRadioButton(QString::fromUtf8("创建WINXP图标或VISTA图标."), this), 1074);
  custom_ = Named(new QRadioButton(QString::fromUtf8("其他,为调色板和颜色设置自定义设置."), this), 1254);
  auto* layout = new QVBoxLayout(this);
  for (QRadioButton* b : {animations_, icons_, custom_}) layout->addWidget(b);
  layout->addStretch();
  switch (shown_) {
    case Purpose::Animations: animations_->setChecked(true); break;
    case Purpose::Icons: icons_->setChecked(true); break;
    case Purpose::Custom: custom_->setChecked(true); break;
  }
}

Purpose PurposeChoices::chosen() const {
  if (animations_->isChecked()) return Purpose::Animations;
  if (icons_->isChecked()) return Purpose::Icons;
  return Purpose::Custom;
}

}  // namespace fw
