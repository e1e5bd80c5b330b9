#pragma once
// The animation page ("动画"): the logical screen, the loop count, the GIF background colour
// and the hide-first-frame flag of the animated PNG.
#include <functional>
#include <optional>

#include "imaging/frame_property_edits.h"
#include "ui/property_sheet.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fw {

struct AnimationPageContext {
  QString documentName;
  // The global palette editor; the page shows the background swatch anew afterwards.
  std::function<void()> editGlobalPalette;
  // The background index chooser: the chosen index, or nullopt when cancelled.
  std::function<std::optional<int>(int current)> chooseBackground;
};

class AnimationPropertyPage : public PropertyPage {
  Q_OBJECT
 public:
  AnimationPropertyPage(const AnimHeader& document, AnimationPageContext context, QWidget* parent);

  bool validate() override;
  AnimationFields edits() const;
  // "自动调整大小": the smallest screen that holds every frame at its offset.
  void fitScreenToFrames();
  int backgroundIndex() const { return background_; }

 private:
  bool validateSide(QLineEdit* field, int original, int needed, int rangeMessage, int rangeCaption,
                    int clipMessage);
  void showBackground();

  const AnimHeader& document_;
  AnimationPageContext context_;
  QLineEdit* width_;
  QLineEdit* height_;
  QLineEdit* loops_;
  QPushButton* swatch_;
  QCheckBox* hideFirst_;
  int background_;
};

}  // namespace fw
