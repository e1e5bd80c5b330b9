#include "app/preferences/size_conflict_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/preferences/preference_page.h"
#include "core/preferences.h"

namespace fw {

SizeConflictDialog::SizeConflictDialog(uint32_t policy, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SizeConflictDialog"));
  setWindowTitle(QString::fromUtf8("框架尺寸冲突"));
  auto* text = new QLabel(QString::fromUtf8("插入的帧大于当前动画。"), this);
  clip_ = Named(new QRadioButton(QString::fromUtf8("剪裁到当前动画大小"), this), 1111);
  enlarge_ = Named(new QRadioButton(QString::fromUtf8("放大动画以适合"), this), 1112);
  makeDefault_ = Named(new QCheckBox(QString::fromUtf8("设为默认，不再询问"), this), 1083);
  ((policy & pref::kSizeEnlarge) ? enlarge_ : clip_)->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &SizeConflictDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  for (QWidget* w : {static_cast<QWidget*>(text), static_cast<QWidget*>(clip_), static_cast<QWidget*>(enlarge_),
                     static_cast<QWidget*>(makeDefault_), static_cast<QWidget*>(buttons)})
    layout->addWidget(w);
}

FrameSizeChoice SizeConflictDialog::choice() const {
  return enlarge_->isChecked() ? FrameSizeChoice::Enlarge : FrameSizeChoice::Clip;
}

void SizeConflictDialog::accept() {
  if (makeDefault_->isChecked())
    Prefs().write(pref::kFrameSizePolicy, choice() == FrameSizeChoice::Enlarge ? pref::kSizeEnlarge : pref::kSizeClip);
  QDialog::accept();
}

FrameSizeChoice AskFrameSize(uint32_t policy, QWidget* parent) {
  SizeConflictDialog dialog(policy, parent);
  return dialog.exec() == QDialog::Accepted ? dialog.choice() : FrameSizeChoice::Cancel;
}

}  // namespace fw
