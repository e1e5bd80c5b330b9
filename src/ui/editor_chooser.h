#pragma once
// "选择实时图像编辑器": asks for the program that live editing hands frames to, when none is
// set yet. A path field and "选择..." opening a file chooser.
#include <QDialog>

class QLineEdit;

namespace fw {

class EditorChooser : public QDialog {
  Q_OBJECT
 public:
  // `start` is the folder the file chooser opens in.
  explicit EditorChooser(const QString& start, QWidget* parent = nullptr);
  QString path() const;
  void setPath(const QString& path);

 private:
  void browse();

  QString start_;
  QLineEdit* path_;
};

}  // namespace fw
