#pragma once
// The palette editor ("编辑调色板"): a working copy of a palette's entries, edited through the
// colour fields, the swatch button's colour chooser or a click in the grid or the picture.
// The palette itself is only changed by the caller, and only when changed() after OK.
#include <QDialog>
#include <QSet>
#include <array>
#include <cstdint>

#include "core/palette.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QPushButton;
class QSpinBox;

namespace fw {

struct IndexedImage;
class ShowColors;
class ShowImage;

// The save-palette file dialog: its title, filter and the folder last saved to ("SaveDir").
void ConfigureSavePaletteDialog(QFileDialog& dialog);

struct PaletteEditorSubject {
  const Palette* palette = nullptr;
  // The frame shown beside the grid; none for the compact form (the fixed palette).
  const IndexedImage* image = nullptr;
  // Pixels per index, for the usage line; none hides the line.
  const std::array<int32_t, 256>* usage = nullptr;
  int transparentIndex = -1;
};

class PaletteEditor : public QDialog {
  Q_OBJECT
 public:
  PaletteEditor(const PaletteEditorSubject& subject, QWidget* parent);

  bool changed() const { return changed_; }
  const std::array<Rgb, 256>& entries() const { return working_; }
  int count() const { return count_; }

  // What a click on the grid or on a pixel of that index does.
  void selectIndex(int index);
  int selectedIndex() const { return selected_; }
  // Stores a colour in the selected entry, as a field edit or the colour chooser does.
  void setSelectedColour(Rgb colour);
  // Writes the working palette to a palette file; false (message shown) when it failed.
  bool exportTo(const QString& path);

  void done(int result) override;

 private:
  void fieldEdited();
  void chooseColour();
  void exportWithDialog();
  void showWorking();
  void showFields();

  std::array<Rgb, 256> original_{};
  std::array<Rgb, 256> working_{};
  int count_ = 0;
  int transparentIndex_ = -1;
  int selected_ = -1;
  bool changed_ = false;
  bool showingFields_ = false;
  ShowColors* grid_;
  ShowImage* picture_ = nullptr;
  QSpinBox* fields_[3];
  QPushButton* swatch_;
  QCheckBox* applied_;
  QLabel* usage_ = nullptr;
  QLabel* entryText_;  // the selected entry's number and colour, or that it is transparent
  QSet<int> unused_;
};

}  // namespace fw
