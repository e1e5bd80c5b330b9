#pragma once
#include "app/preferences/preference_page.h"

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace fw {

// Page 276 "导出": true-colour data, PSD masks, a fixed AVI frame rate, the colour loaded as
// transparent, the signature comment and the JPEG quality.
class ExportPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit ExportPage(QWidget* parent = nullptr);
  QWidget* invalidField() override;
  void commit(PreferencesOutcome& outcome) override;
  // The colour button's colour, 0x00BBGGRR.
  uint32_t transparentColour() const { return colour_; }
  void setTransparentColour(uint32_t colour);

 private:
  void chooseColour();

  uint32_t shownFlags6_, shownFlags15_, shownRate_, shownColour_, shownSaveAs_;
  QString shownSignature_;
  double shownRateShown_ = 0;
  int shownJpegStep_ = 0;
  uint32_t colour_;
  QCheckBox* keepTrueColour_;
  QCheckBox* psdMask_;
  QCheckBox* fixedRate_;
  QDoubleSpinBox* rate_;
  QCheckBox* loadTransparent_;
  QPushButton* colourButton_;
  QCheckBox* signature_;
  QLineEdit* signatureText_;
  QSlider* jpegQuality_;
};

// Page 327 "导出 II": icon, filmstrip and PNG output choices (word 15).
class ExportTwoPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit ExportTwoPage(QWidget* parent = nullptr);
  void commit(PreferencesOutcome& outcome) override;

 private:
  uint32_t shownFlags15_;
  QCheckBox* sortIcons_;
  QCheckBox* compressIcons_;
  QCheckBox* filmstripLayout_;
  QCheckBox* pngTrueColour_;
};

}  // namespace fw
