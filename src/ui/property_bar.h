#pragma once
// The property bar: the current frame's delay, disposal, transparency and local palette, the
// frame chooser and the loop count. It shows and reports; the shell makes the edits.
#include <QToolBar>
#include <functional>

class QLineEdit;
class QComboBox;
class QAction;
class QToolButton;

namespace fw {

struct AnimHeader;

class PropertyBar : public QToolBar {
  Q_OBJECT
 public:
  explicit PropertyBar(QWidget* parent = nullptr);

  // Shows the state of `current` (frame index or -1) in `document` (may be null).
  void refresh(const AnimHeader* document, int current, bool timingPanelShown);
  // While the preview's timing panel edits delays, the bar's own delay field stays greyed,
  // whatever later refreshes are told.
  void setTimingPanelShown(bool shown);
  // The bar's command buttons (properties, palette editors) show the window's actions, so
  // they grey and trigger exactly as the menu items do.
  void bindCommands(const std::function<QAction*(int id)>& action);

 signals:
  void delayEdited(int value);
  void disposalChosen(int method);
  void transparencyToggled(bool on);
  void transparentColourRequested();
  void localPaletteToggled(bool on);
  void trueColourToggled(bool on);
  void loopEdited(int value);
  void frameChosen(int index);  // -1 for "[无]"

 private:
  bool refreshing_ = false;
  bool timingPanelShown_ = false;
  bool hasFrame_ = false;
  QLineEdit* delay_;
  QToolButton* disposal_[3];
  QToolButton* transparency_;
  QToolButton* localPalette_;
  QToolButton* trueColour_;
  QToolButton* chooseTransparent_;
  QList<QToolButton*> commandButtons_;
  QComboBox* chooser_;
  QLineEdit* loop_;
};

}  // namespace fw
