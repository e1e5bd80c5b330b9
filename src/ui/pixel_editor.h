#pragma once
// "编辑像素": touches up the index pixels of one frame on a private copy that OK hands back.
// Tools: pick a colour (40341), set a pixel (40342, the first tool), fill (40343).
#include <QColor>
#include <QDialog>
#include <array>
#include <memory>
#include <vector>

#include "core/indexed_image.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;

namespace fw {

struct ImageBlock;
class ShowColors;
class PixelView;
class FrameTipPopup;

class PixelEditor : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kPickTool = 40341, kSetTool = 40342, kFillTool = 40343;

  // The frame is only read; the working copy is the editor's own.
  explicit PixelEditor(const ImageBlock& frame, QWidget* parent = nullptr);
  ~PixelEditor() override;

  bool changed() const { return changed_; }
  int tool() const { return tool_; }
  int currentIndex() const { return current_; }
  void setTool(int id);
  void setCurrentIndex(int index);
  PixelView* view() const { return view_; }
  // The tip shown for an entry under the pointer (empty when the tips are off).
  QString tipFor(int index) const;

  // What OK hands back: the edited rows and their 24-bit and alpha twins (empty where the
  // frame has none).
  std::unique_ptr<IndexedImage> takeImage() { return std::move(image_); }
  std::vector<uint8_t> takeTrueColour() { return std::move(trueColour_); }
  std::vector<uint8_t> takeAlpha() { return std::move(alpha_); }

 private:
  void applyAt(int x, int y, bool dragging);
  void zoomBy(int command);
  void chooseBackground();
  void refreshTable();
  void hover(int index);
  void done(int result) override;

  std::unique_ptr<IndexedImage> image_;
  std::vector<uint8_t> trueColour_;
  std::vector<uint8_t> alpha_;
  std::array<uint32_t, 256> entries_{};
  int transparentIndex_ = -1;
  int tool_ = kSetTool;
  int current_ = -1;
  bool changed_ = false;
  QColor background_;
  ShowColors* colours_ = nullptr;
  PixelView* view_ = nullptr;
  QButtonGroup* tools_ = nullptr;
  QAbstractButton* backgroundButton_ = nullptr;
  QCheckBox* showTip_ = nullptr;
  FrameTipPopup* tip_ = nullptr;
  int colourCount_ = 256;
};

}  // namespace fw
