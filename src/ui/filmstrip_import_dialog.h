#pragma once
// Import filmstrip: how many frames lie across and down the one picture, and in which order
// they are read. OK is refused while the picture does not divide evenly.
#include <QDialog>

class QRadioButton;
class QSpinBox;

namespace fw {

struct AnimHeader;

class FilmstripImportDialog : public QDialog {
  Q_OBJECT
 public:
  FilmstripImportDialog(const AnimHeader& document, int suggestedPerRow, int suggestedPerColumn, QWidget* parent);

  int perRow() const;
  int perColumn() const;
  bool horizontal() const;

  // Checks the layout against the picture; on a problem shows its message, focuses the
  // field in question and stays open. Remembers the orientation when accepted.
  void accept() override;

 private:
  const AnimHeader& document_;
  QSpinBox* perRow_;
  QSpinBox* perColumn_;
  QRadioButton* horizontal_;
  QRadioButton* vertical_;
};

}  // namespace fw
