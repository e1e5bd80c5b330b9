#include "ui/editor_chooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fw {

EditorChooser::EditorChooser(const QString& start, QWidget* parent) : QDialog(parent), start_(start) {
  setObjectName(QStringLiteral("d301"));
  setWindowTitle(QString::fromUtf8("选择实时图像编辑器"));
  path_ = new QLineEdit(this);
  path_->setObjectName(QStringLiteral("editorPath"));
  path_->setMinimumWidth(320);
  auto* browse = new QPushButton(QString::fromUtf8("选择..."), this);
  browse->setObjectName(QStringLiteral("browse"));
  connect(browse, &QPushButton::clicked, this, [this] { this->browse(); });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* row = new QHBoxLayout;
  row->addWidget(path_, 1);
  row->addWidget(browse);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}

QString EditorChooser::path() const { return path_->text().trimmed(); }
void EditorChooser::setPath(const QString& path) { path_->setText(path); }

void EditorChooser::browse() {
  QFileDialog dialog(this, QStringLiteral("Browse for CoEdit Image Editor"), start_);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Programs here carry no extension: the chooser lists executable files.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilter(QStringLiteral("Applications (*)"));
  dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) setPath(dialog.selectedFiles().front());
}

}  // namespace fw
