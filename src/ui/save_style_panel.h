#pragma once
// The Save As dialog's extension panel: which styles the chosen type can be saved in (the
// whole animation, one numbered file per frame, one filmstrip picture) and their options.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace fw {

struct AnimHeader;

enum class SaveStyle { Animation, SingleImages, Filmstrip };

// Styles in chooser order for a save type and frame count; empty when the type has none.
std::vector<SaveStyle> OfferedSaveStyles(int type, int frameCount);
// The style the remembered options preselect among those offered.
SaveStyle RememberedSaveStyle(const std::vector<SaveStyle>& offered, uint32_t rememberedOptions);
// The square layout's strip count for n frames of w x h.
int SquareStripCount(int frames, int width, int height);
// The names of the first two numbered files a save of all (or only the selected) frames
// writes for a path (the second empty for a single file).
QStringList SequenceSampleNames(const QString& path, int type, const AnimHeader& document, bool selectedOnly);

class SaveStylePanel : public QWidget {
  Q_OBJECT
 public:
  SaveStylePanel(const AnimHeader& document, uint32_t rememberedOptions, QWidget* parent = nullptr);

  void setType(int type);
  // The file the dialog would write, for the numbered samples.
  void setTargetPath(const QString& path);
  SaveStyle style() const;
  // The save options word: 1 without a choice, 2 animation, 0x20/0x60 numbered files,
  // 0x10 (+0x100 columns, strips << 16) filmstrip.
  uint32_t options() const;
  // The numbered-files style writes under its own name field when one was typed.
  QString numberedTarget(const QString& chosenPath) const;

 private:
  QWidget* buildFilmstripPage();
  QWidget* buildNumberedPage();
  void showStylePage();
  void updateFilmstripText();
  void updateSamples();
  int selectedFrames() const;

  const AnimHeader& document_;
  uint32_t remembered_;
  int type_ = 1;
  QString target_;
  std::vector<SaveStyle> offered_;
  QComboBox* chooser_;
  QStackedWidget* pages_;
  QSpinBox* strips_ = nullptr;
  QRadioButton* rows_ = nullptr;
  QRadioButton* columns_ = nullptr;
  QLabel* stripText_ = nullptr;
  QLineEdit* numberedName_ = nullptr;
  QRadioButton* allFrames_ = nullptr;
  QRadioButton* selectedOnly_ = nullptr;
  QLabel* sample1_ = nullptr;
  QLabel* sample2_ = nullptr;
};

}  // namespace fw
