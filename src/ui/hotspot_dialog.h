#pragma once
// "定义光标热点": where a cursor frame points. A click on the picture or the x (1069) and
// y (1070) fields set it; whichever way the dialog closes, the frame keeps what was chosen.
#include <QDialog>
#include <memory>

class QSpinBox;

namespace fw {

struct ImageBlock;
struct IndexedImage;
class PixelView;

class HotspotDialog : public QDialog {
  Q_OBJECT
 public:
  HotspotDialog(ImageBlock& frame, QWidget* parent = nullptr);
  ~HotspotDialog() override;
  int hotspotX() const;
  int hotspotY() const;
  PixelView* view() const { return view_; }
  void done(int result) override;

 private:
  void showMarker();

  ImageBlock& frame_;
  std::unique_ptr<IndexedImage> picture_;
  PixelView* view_;
  QSpinBox* x_;
  QSpinBox* y_;
};

// The dialog on the first frame of a document, for cursor exports; false without a frame.
bool DefineFirstFrameHotspot(struct AnimHeader& document, QWidget* parent);

}  // namespace fw
