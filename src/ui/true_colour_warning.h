#pragma once
// Asked before an operation that works on GIF data only: the frames' 24-bit colour data would
// be ignored by it and go stale, so the user either lets it go or keeps it and abandons.
#include <QDialog>

namespace fw {

class TrueColourWarning : public QDialog {
  Q_OBJECT
 public:
  explicit TrueColourWarning(QWidget* parent);
};

}  // namespace fw
