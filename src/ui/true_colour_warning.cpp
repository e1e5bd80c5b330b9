#include "ui/true_colour_warning.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace fw {

TrueColourWarning::TrueColourWarning(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TrueColourWarning"));
  setWindowTitle(QString::fromUtf8("不支持24位色"));
  auto* text = new QLabel(QString::fromUtf8("此操作只处理GIF数据(每个像素8位).\n\n"
                                            "继续将删除所有帧的24位色彩数据;取消则不执行此操作."),
                          this);
  text->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* go = buttons->addButton(QString::fromUtf8("继续"), QDialogButtonBox::AcceptRole);
  go->setObjectName(QStringLiteral("c1"));
  go->setDefault(true);
  QPushButton* stop = buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
  stop->setObjectName(QStringLiteral("c2"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace fw
