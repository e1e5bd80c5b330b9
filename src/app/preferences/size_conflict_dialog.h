#pragma once
// Dialog 108 "框架尺寸冲突": inserted frames are larger than the animation; clip them or
// enlarge the animation, and optionally make the answer the default.
#include <QDialog>

#include "core/frame_size_question.h"

class QCheckBox;
class QRadioButton;

namespace fw {

class SizeConflictDialog : public QDialog {
  Q_OBJECT
 public:
  // `policy` is word 2 as stored: its enlarge bit picks the initial choice.
  explicit SizeConflictDialog(uint32_t policy, QWidget* parent = nullptr);
  FrameSizeChoice choice() const;
  // Stores the choice as the default (without the ask bit) when the box is ticked.
  void accept() override;

 private:
  QRadioButton* clip_;
  QRadioButton* enlarge_;
  QCheckBox* makeDefault_;
};

// Asks with the dialog; Cancel makes the merge fail.
FrameSizeChoice AskFrameSize(uint32_t policy, QWidget* parent);

}  // namespace fw
