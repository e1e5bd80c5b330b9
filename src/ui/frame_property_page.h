#pragma once
// The frame page ("帧"), and with several frames or all of them the "多帧" and "全局属性"
// pages: a field left empty or a box left half-ticked stands for frames that differ, and
// changes nothing unless the user edits it.
#include <functional>
#include <optional>
#include <vector>

#include "imaging/frame_property_edits.h"
#include "ui/property_sheet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace fw {

struct FramePageContext {
  FrameFields shared;           // what the frames concerned have in common
  bool several = false;         // the several-frames or global page: no name, no palette editing
  int width = -1, height = -1;  // shown only; -1 when the frames differ
  int screenWidth = 0, screenHeight = 0;
  bool canEditLocalPalette = false;
  // The transparency chooser: the chosen indices, or nullopt when it was cancelled.
  std::function<std::optional<std::vector<int>>()> chooseTransparency;
  std::function<void()> editLocalPalette;
};

class FramePropertyPage : public PropertyPage {
  Q_OBJECT
 public:
  FramePropertyPage(FramePageContext context, QWidget* parent);

  bool validate() override;
  // The fields the user changed (all of them valid after validate()).
  FrameFields edits() const;

 private:
  QLineEdit* numberField(int id, const std::optional<int>& value);
  QCheckBox* checkField(int id, const QString& text, const std::optional<bool>& value);
  bool validateOffset(QLineEdit* field, int screenExtent);
  void transparencyClicked();
  void runTransparencyChooser(bool fromTick);

  FramePageContext context_;
  QLineEdit* name_ = nullptr;
  QLineEdit* delay_;
  QComboBox* disposal_;
  QLineEdit* left_;
  QLineEdit* top_;
  QCheckBox* transparent_;
  QCheckBox* interlaced_;
  QCheckBox* userInput_;
  QCheckBox* localPalette_;
  QCheckBox* trueColour_;
  QCheckBox* blend_;
  std::optional<std::vector<int>> chosen_;
};

}  // namespace fw
