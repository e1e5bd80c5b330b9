#pragma once
// The move/crop frames dialog and the crop animation dialog: the rectangle and offset fields,
// the alignment buttons (frames), reset and auto size (animation), the display choices and the
// editing surface. The caller applies state() after OK.
#include <QDialog>
#include <QHash>

#include "imaging/crop.h"

class QCheckBox;
class QSpinBox;
class QTimer;

namespace fw {

class MoveCropView;

namespace move_crop_dialog {
inline constexpr int kShowPrevious = 1083, kShowNext = 1133, kShowFirst = 1084, kShowCropped = 1215;
inline constexpr int kReset = 1190, kAutoSize = 1216;
// Typed values take effect this long after the last keystroke; the spin arrows act at once.
inline constexpr int kTypingDelayMs = 700;
}  // namespace move_crop_dialog

class MoveCropDialog : public QDialog {
  Q_OBJECT
 public:
  MoveCropDialog(const AnimHeader& document, int frameIndex, bool animationMode, QWidget* parent);

  const MoveCropState& state() const { return state_; }
  MoveCropView* view() const { return view_; }
  // Takes typed values that are still waiting for the typing delay (the delay's own action).
  void commitTyped();
  void accept() override;

 private:
  void addField(int id, const char* label, QWidget* grid);
  void fieldTyped(int id);
  void showFields();

  const AnimHeader& document_;
  MoveCropState state_;
  QHash<int, QSpinBox*> fields_;
  QList<int> pending_;
  QTimer* typing_;
  MoveCropView* view_;
  QCheckBox* showCropped_;
  bool showing_ = false;
};

}  // namespace fw
