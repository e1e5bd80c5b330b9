#pragma once
// "AVI 设置": how an AVI export compresses its pictures (none, Video 1, RLE8, or one of
// FFmpeg's encoders the AVI container carries) and which sound file lends it an audio track.
// OK remembers the compression for later exports.
#include <QDialog>

#include "formats/avi_file.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace fw {

struct AnimHeader;

class AviSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AviSettingsDialog(const AnimHeader& document, QWidget* parent = nullptr);

  // Valid after OK.
  const AviExportSettings& settings() const { return settings_; }
  // The chosen preset (kCustom for an encoder from the list).
  AviPreset preset() const;
  void accept() override;

 private:
  void trueColourToggled(bool on);
  void browseAudio();

  AviExportSettings settings_;
  bool has24_ = false;
  QRadioButton* none_;
  QRadioButton* video1_;
  QRadioButton* rle8_;
  QRadioButton* custom_;
  QComboBox* encoder_;
  // What the custom choice asks besides the encoder: a key frame every n frames and the data
  // rate (0: the encoder's own).
  QSpinBox* keyFrames_;
  QSpinBox* dataRate_;
  QCheckBox* trueColour_;
  QLineEdit* audioPath_;
  QCheckBox* includeAudio_;
};

// The first file the "Insert Audio" chooser accepts that holds an audio stream (asking again
// after message 40327 for one without); empty when cancelled.
QString ChooseAudioFile(QWidget* parent, const QString& start);

}  // namespace fw
