#pragma once
// "处理带层的PSD": how the layers of a PSD file become frames. Starts from the stored choice;
// OK stores the new one.
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QRadioButton;

namespace fw {

class PsdLayersDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PsdLayersDialog(QWidget* parent = nullptr);
  // The choice as psd_choice bits.
  uint32_t choice() const;
  void accept() override;

 private:
  void updateEnabled();

  QRadioButton* flatten_;
  QRadioButton* layers_;
  QRadioButton* blend_;
  QRadioButton* composite_;
  QRadioButton* separate_;
  QCheckBox* keepBackground_;
  QCheckBox* keepTransparency_;
  QCheckBox* canvasSize_;
};

// Asks with the dialog; 0 when cancelled. What the window hands the PSD reader.
uint32_t AskPsdLayerChoice(QWidget* parent);

}  // namespace fw
