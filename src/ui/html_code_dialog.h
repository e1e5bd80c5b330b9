#pragma once
// The HTML code dialog: the tag that embeds the animation in a page, rebuilt as the fields
// change, and copied to the clipboard.
#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

namespace fw {

class HtmlCodeDialog : public QDialog {
  Q_OBJECT
 public:
  // `path` is the document's file (empty when untitled); width x height its screen.
  HtmlCodeDialog(const QString& path, int width, int height, QWidget* parent);

  QString code() const;
  // Copies the code, or asks for a file name when there is none.
  void copyCode();

 private:
  void rebuild();

  int width_, height_;
  QLineEdit* fileName_;
  QLineEdit* link_;
  QSpinBox* border_;
  QLineEdit* description_;
  QPlainTextEdit* code_;
};

}  // namespace fw
