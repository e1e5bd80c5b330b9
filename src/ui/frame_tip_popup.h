#pragma once
// The frame tip: a borderless popup beside the pointer with a frame's details and picture.
#include <QImage>
#include <QWidget>
#include <functional>

namespace fw {

class FrameTipPopup : public QWidget {
  Q_OBJECT
 public:
  explicit FrameTipPopup(QWidget* owner);

  // `key` names what the picture shows (the frame): the same text and key again change nothing,
  // so `picture` runs once per frame the pointer enters. Empty text hides the tip.
  void setTip(const QString& text, const void* key, const std::function<QImage()>& picture);
  QString text() const { return text_; }
  const QImage& picture() const { return picture_; }
  // Sits at the pointer + (12, 22) while there is text; `inside` false hides it.
  void follow(QPoint globalPointer, bool inside);
  void clear() { setTip({}, nullptr, {}); }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QColor foreground() const;
  QColor background() const;

  QString text_;
  QImage picture_;
  const void* key_ = nullptr;
};

}  // namespace fw
