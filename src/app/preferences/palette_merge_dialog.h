#pragma once
// Dialog 201 "调色板合并": the palette page's choices, asked before frames are combined when
// the palette word says to ask.
#include <QDialog>
#include <cstdint>

class QCheckBox;

namespace fw {

class PaletteChoices;

class PaletteMergeDialog : public QDialog {
  Q_OBJECT
 public:
  // `word` is the stored palette word; `singleImport` disables the local-palette method.
  PaletteMergeDialog(uint32_t word, bool singleImport, QWidget* parent = nullptr);
  PaletteChoices* choices() const { return choices_; }
  // The word the merge should use.
  uint32_t chosenWord() const;
  // With the box ticked, the choice becomes the stored word and the question stops.
  void accept() override;

 private:
  uint32_t stored_;
  PaletteChoices* choices_;
  QCheckBox* makeDefault_;
};

// Asks with the dialog; false when the user cancelled.
bool AskPaletteMerge(uint32_t& word, bool singleImport, QWidget* parent);

}  // namespace fw
