#pragma once
// The palette handling choices of word 10, laid out once for the preferences page and the
// palette-merge question: the method, dithering, the two colour counts, the ask-every-time
// box, and loading the fixed palette.
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace fw {

class PaletteChoices : public QWidget {
  Q_OBJECT
 public:
  // `singleImport` disables the local-palette method; `withAskBox` shows box 1206.
  PaletteChoices(uint32_t word, bool singleImport, bool withAskBox, QWidget* parent = nullptr);
  // The controls' word: the method, dither, ask and the two counts replaced in `base`.
  uint32_t word(uint32_t base) const;
  // Bits of word 10 the controls set.
  static constexpr uint32_t kMethodBits = 1 | 2 | 4 | 8 | 16 | 1024;
  static constexpr uint32_t kDitherBit = 256;
  static constexpr uint32_t kAskBit = 512;
  static constexpr uint32_t kAdaptiveCountBits = 0xF0000;
  static constexpr uint32_t kTrueColourCountBits = 0xF00000;

  // Loads a palette file (or an image's palette) into the stored fixed palette; the chooser
  // is skipped when `path` is given. False when nothing was loaded.
  bool loadFixedPalette(const QString& path = QString());
  // Edits the stored fixed palette in the compact palette editor and stores it back; false
  // when nothing was changed or it could not be stored.
  bool editFixedPalette();

 private:
  void methodChanged();

  QRadioButton* adaptive_;
  QRadioButton* merge_;
  QRadioButton* map_;
  QRadioButton* web_;
  QRadioButton* fixed_;
  QRadioButton* local_;
  QCheckBox* dither_;
  QCheckBox* refined_;
  QComboBox* adaptiveCount_;
  QComboBox* trueColourCount_;
  QCheckBox* ask_ = nullptr;
  QPushButton* load_;
  QPushButton* edit_;
};

}  // namespace fw
