#include "ui/html_code_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/message_sink.h"
#include "formats/html_code.h"

namespace fw {
namespace {
constexpr int kFileName = 1073, kLink = 1069, kBorder = 1070, kDescription = 1072, kCode = 1085, kCopy = 1171,
              kClose = 2;
constexpr int kNeedFileName = 40103;
}  // namespace

HtmlCodeDialog::HtmlCodeDialog(const QString& path, int width, int height, QWidget* parent)
    : QDialog(parent), width_(width), height_(height) {
  setObjectName(QStringLiteral("HtmlCodeDialog"));
  setWindowTitle(QString::fromUtf8("HTML 代码"));
  fileName_ = new QLineEdit(this);
  fileName_->setObjectName(QStringLiteral("c%1").arg(kFileName));
  link_ = new QLineEdit(this);
  link_->setObjectName(QStringLiteral("c%1").arg(kLink));
  border_ = new QSpinBox(this);
  border_->setObjectName(QStringLiteral("c%1").arg(kBorder));
  border_->setRange(0, kMaxHtmlBorder);
  description_ = new QLineEdit(this);
  description_->setObjectName(QStringLiteral("c%1").arg(kDescription));
  code_ = new QPlainTextEdit(this);
  code_->setObjectName(QStringLiteral("c%1").arg(kCode));
  code_->setReadOnly(true);

  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8("文件名:"), fileName_);
  form->addRow(QString::fromUtf8("链接:"), link_);
  form->addRow(QString::fromUtf8("边框:"), border_);
  form->addRow(QString::fromUtf8("说明:"), description_);
  form->addRow(QString::fromUtf8("HTML代码:"), code_);

  auto* copy = new QPushButton(QString::fromUtf8("复制代码"), this);
  copy->setObjectName(QStringLiteral("c%1").arg(kCopy));
  copy->setAutoDefault(false);
  auto* close = new QPushButton(QString::fromUtf8("关闭"), this);
  close->setObjectName(QStringLiteral("c%1").arg(kClose));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);

  connect(copy, &QPushButton::clicked, this, &HtmlCodeDialog::copyCode);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(fileName_, &QLineEdit::textChanged, this, &HtmlCodeDialog::rebuild);
  connect(link_, &QLineEdit::textChanged, this, &HtmlCodeDialog::rebuild);
  connect(description_, &QLineEdit::textChanged, this, &HtmlCodeDialog::rebuild);
  connect(border_, &QSpinBox::valueChanged, this, &HtmlCodeDialog::rebuild);

  if (!path.isEmpty()) {
    fileName_->setText(QString::fromStdString(HtmlFileNameOf(path.toStdString())));
    fileName_->setReadOnly(true);
  }
  link_->setFocus();
  rebuild();
}

QString HtmlCodeDialog::code() const { return code_->toPlainText(); }

void HtmlCodeDialog::rebuild() {
  HtmlCodeFields f{fileName_->text().toStdString(), link_->text().toStdString(), border_->value(),
                   description_->text().toStdString()};
  code_->setPlainText(QString::fromStdString(HtmlImageCode(f, width_, height_)));
}

void HtmlCodeDialog::copyCode() {
  if (fileName_->text().isEmpty()) {
    ShowMessage(kNeedFileName);
    fileName_->setFocus();
    return;
  }
  QApplication::clipboard()->setText(code());
}

}  // namespace fw
