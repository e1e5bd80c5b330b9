#include "app/preferences/palette_choices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/preferences/preference_page.h"
#include "core/named_settings.h"
#include "core/string_table.h"
#include "formats/pal_file.h"
#include "imaging/fixed_palettes.h"
#include "imaging/palette_merge.h"
#include "ui/palette_editor.h"

namespace fw {
namespace {

constexpr int kLoadPaletteTitle = 40339;

// Colour-count lists show 256 down to 8: item i stands for 8 - i bits per pixel.
QComboBox* CountList(int id, uint32_t bits, QWidget* parent) {
  auto* list = Named(new QComboBox(parent), id);
  for (const char* n : {"256", "128", "64", "32", "16", "8"}) list->addItem(QString::fromLatin1(n));
  list->setCurrentIndex(bits >= 3 && bits <= 8 ? static_cast<int>(8 - bits) : 0);
  return list;
}

uint32_t CountBits(const QComboBox* list) { return static_cast<uint32_t>(8 - list->currentIndex()); }

}  // namespace

PaletteChoices::PaletteChoices(uint32_t word, bool singleImport, bool withAskBox, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PaletteChoices"));
  auto radio = [this](int id, const char* text) { return Named(new QRadioButton(QString::fromUtf8(text), this), id); };
  adaptive_ = radio(1197, "使用自适应全局调色板(推荐)");
  merge_ = radio(1198, "合并与当前全局新的调色板");
  map_ = radio(1199, "映身新的到全局调色板(无变化)");
  web_ = radio(1200, "映射所有WEB\"颜色立方值\"到调色板");
  fixed_ = radio(1201, "映射所有固定调色板");
  local_ = radio(1202, "使用本地调色板中的每个新帧");
  local_->setEnabled(!singleImport);
  dither_ = Named(new QCheckBox(QString::fromUtf8("抖动时颜色映射"), this), 1204);
  dither_->setChecked(word & kDitherBit);
  refined_ = new QCheckBox(QString::fromUtf8("精细调色板(较慢, 颜色更接近原图)"), this);
  refined_->setObjectName(QStringLiteral("refinedPalette"));
  refined_->setChecked(word & merge_word::kRefinedPalette);
  adaptiveCount_ = CountList(1289, (word >> 16) & 15, this);
  trueColourCount_ = CountList(1203, (word >> 20) & 15, this);
  load_ = Named(new QPushButton(QString::fromUtf8("载入..."), this), 1290);
  edit_ = Named(new QPushButton(QString::fromUtf8("编辑..."), this), 1291);

  uint32_t mode = MergeMode(word);
  if (mode == merge_word::kLocal && singleImport) mode = merge_word::kAdaptive;
  switch (mode) {
    case merge_word::kMergeIntoGlobal: merge_->setChecked(true); break;
    case merge_word::kMap: map_->setChecked(true); break;
    case merge_word::kWeb: web_->setChecked(true); break;
    case merge_word::kFixed: fixed_->setChecked(true); break;
    case merge_word::kLocal: local_->setChecked(true); break;
    default: adaptive_->setChecked(true); break;
  }

  auto* methods = new QGroupBox(QString::fromUtf8("合并帧时的调色板"), this);
  auto* grid = new QGridLayout(methods);
  int row = 0;
  for (QRadioButton* r : {adaptive_, merge_, map_, web_}) grid->addWidget(r, row++, 0, 1, 3);
  grid->addWidget(fixed_, row, 0);
  grid->addWidget(load_, row, 1);
  grid->addWidget(edit_, row++, 2);
  grid->addWidget(local_, row++, 0, 1, 3);
  auto* counts = new QFormLayout;
  counts->addRow(QString::fromUtf8("合并调色板的颜色数:"), adaptiveCount_);
  counts->addRow(QString::fromUtf8("24位帧的颜色数:"), trueColourCount_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(methods);
  layout->addWidget(dither_);
  layout->addWidget(refined_);
  layout->addLayout(counts);
  if (withAskBox) {
    ask_ = Named(new QCheckBox(QString::fromUtf8("每次合并帧时询问"), this), 1206);
    ask_->setChecked(word & kAskBit);
    layout->addWidget(ask_);
  }

  for (QRadioButton* r : {adaptive_, merge_, map_, web_, fixed_, local_})
    connect(r, &QRadioButton::toggled, this, [this] { methodChanged(); });
  connect(load_, &QPushButton::clicked, this, [this] { loadFixedPalette(); });
  connect(edit_, &QPushButton::clicked, this, [this] { editFixedPalette(); });
  methodChanged();
}

void PaletteChoices::methodChanged() {
  load_->setEnabled(fixed_->isChecked());
  edit_->setEnabled(fixed_->isChecked());
}

uint32_t PaletteChoices::word(uint32_t base) const {
  uint32_t method = merge_word::kAdaptive;
  if (merge_->isChecked()) method = merge_word::kMergeIntoGlobal;
  else if (map_->isChecked()) method = merge_word::kMap;
  else if (web_->isChecked()) method = merge_word::kWeb;
  else if (local_->isChecked()) method = merge_word::kLocal;
  // Without a stored fixed palette there is nothing to map onto.
  else if (fixed_->isChecked() && StoredFixedPalette()) method = merge_word::kFixed;
  uint32_t w = base & ~(kMethodBits | kDitherBit | kAdaptiveCountBits | kTrueColourCountBits);
  w |= method | CountBits(adaptiveCount_) << 16 | CountBits(trueColourCount_) << 20;
  if (dither_->isChecked()) w |= kDitherBit;
  w = refined_->isChecked() ? (w | merge_word::kRefinedPalette) : (w & ~merge_word::kRefinedPalette);
  if (ask_) w = ask_->isChecked() ? (w | kAskBit) : (w & ~kAskBit);
  return w;
}

bool PaletteChoices::loadFixedPalette(const QString& given) {
  QString path = given;
  if (path.isEmpty()) {
    path = QFileDialog::getOpenFileName(
        this, QString::fromUtf8(MessageText(kLoadPaletteTitle)), QString::fromStdString(StoredInitialDirectory()),
        QStringLiteral("Palette-Based Formats (*.pal *.gif *.bmp *.dib *.png);;PAL Palette Files (*.pal);;"
                       "GIF Files (*.gif);;BMP Files (*.bmp *.dib);;PNG Files (*.png);;All Files (*)"));
    if (!path.isEmpty()) StoreInitialDirectory(QFileInfo(path).path().toStdString());
  }
  std::unique_ptr<Palette> palette = path.isEmpty() ? nullptr : LoadPaletteFromFile(path.toStdString());
  const bool stored = palette && StoreFixedPalette(*palette);
  if (!stored && !StoredFixedPalette()) adaptive_->setChecked(true);
  return stored;
}

bool PaletteChoices::editFixedPalette() {
  std::unique_ptr<Palette> palette = StoredFixedPalette();
  if (!palette) {
    // Nothing stored yet: the user builds the fixed palette from black entries.
    const std::array<Rgb, 256> black{};
    palette = Palette::Create(black.data(), 256);
  }
  if (!palette) return false;
  PaletteEditor editor({palette.get(), nullptr, nullptr, -1}, this);
  if (editor.exec() != QDialog::Accepted || !editor.changed()) return false;
  palette->writeEntries(0, palette->count(), editor.entries().data());
  return StoreFixedPalette(*palette);
}

}  // namespace fw
