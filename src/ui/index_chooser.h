#pragma once
// The colour-index chooser behind "选择透明度指数" (and the colour-lock choice): a set of
// palette indices picked in the grid or the picture with the select, add and remove tools.
#include <QColor>
#include <QDialog>
#include <array>
#include <vector>

#include "core/palette.h"

class QCheckBox;
class QPushButton;

namespace fw {

struct ImageBlock;

struct IndexedImage;
class FrameTipPopup;
class ShowColors;
class ShowImage;

struct IndexChooserSubject {
  QString title;
  const Palette* palette = nullptr;
  const IndexedImage* image = nullptr;  // may be none
  int transparentIndex = -1;            // for the tip text
  std::vector<int> chosen;              // in the order chosen
};

// Choosing a frame's transparent colour: its palette and picture, its current choice.
IndexChooserSubject TransparencySubject(const ImageBlock& frame);

class IndexChooser : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kSelectTool = 127, kAddTool = 128, kRemoveTool = 129;

  IndexChooser(const IndexChooserSubject& subject, QWidget* parent);

  void setTool(int tool);
  int tool() const { return tool_; }
  // A click on a cell or on a pixel of that index with the current tool.
  void clickIndex(int index);
  const std::vector<int>& chosen() const { return chosen_; }
  bool changed() const { return changed_; }
  void setDisplayColour(QColor colour);
  // The tip's text for the index under the pointer (-1: none), as the tip shows it.
  QString tipText(int index) const;

  void done(int result) override;

 private:
  void showChosen();
  void hover(int index);

  std::array<Rgb, 256> colours_{};
  int count_ = 0;
  int transparentIndex_ = -1;
  std::vector<int> chosen_;
  int tool_ = kSelectTool;
  bool changed_ = false;
  QColor display_;
  ShowColors* grid_;
  ShowImage* picture_ = nullptr;
  QCheckBox* showTip_;
  FrameTipPopup* tip_;
};

}  // namespace fw
