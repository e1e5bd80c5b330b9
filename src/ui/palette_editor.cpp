#include "ui/palette_editor.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "core/indexed_image.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/pal_file.h"
#include "ui/show_colors.h"
#include "ui/show_image.h"

namespace fw {
namespace {
// Preference word 6 bit 0: the grid marks which entries the pixels actually use.
constexpr uint32_t kShowAppliedColours = 1u << 0;
const char* const kChannelNames[3] = {"红:", "绿:", "蓝:"};

QString Id(int id) { return QStringLiteral("c%1").arg(id); }

void PaintSwatch(QPushButton* swatch, Rgb c, bool enabled) {
  swatch->setEnabled(enabled);
  swatch->setStyleSheet(enabled ? QStringLiteral("background-color: rgb(%1,%2,%3);").arg(c.r).arg(c.g).arg(c.b)
                                : QString());
}
}  // namespace

PaletteEditor::PaletteEditor(const PaletteEditorSubject& subject, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PaletteEditor"));
  setWindowTitle(QString::fromUtf8("编辑调色板"));
  if (subject.palette) {
    count_ = subject.palette->count();
    subject.palette->readEntries(0, count_, original_.data());
  }
  working_ = original_;
  transparentIndex_ = subject.transparentIndex;

  grid_ = new ShowColors(this);
  grid_->setColours(working_, count_);
  connect(grid_, &ShowColors::picked, this, &PaletteEditor::selectIndex);

  auto* fields = new QGridLayout;
  const int ids[3] = {1069, 1070, 1071};
  for (int i = 0; i < 3; ++i) {
    fields_[i] = new QSpinBox(this);
    fields_[i]->setObjectName(Id(ids[i]));
    // Wider than a channel so that an out-of-range entry can be seen and brought into range.
    fields_[i]->setRange(-999, 999);
    fields_[i]->setEnabled(false);
    connect(fields_[i], &QSpinBox::valueChanged, this, [this] { fieldEdited(); });
    fields->addWidget(new QLabel(QString::fromUtf8(kChannelNames[i]), this), i, 0);
    fields->addWidget(fields_[i], i, 1);
  }
  swatch_ = new QPushButton(this);
  swatch_->setObjectName(Id(1221));
  swatch_->setFixedSize(40, 40);
  swatch_->setEnabled(false);
  connect(swatch_, &QPushButton::clicked, this, &PaletteEditor::chooseColour);
  fields->addWidget(swatch_, 0, 2, 3, 1);

  auto* exportButton = new QPushButton(QString::fromUtf8("导出..."), this);
  exportButton->setObjectName(Id(1287));
  connect(exportButton, &QPushButton::clicked, this, &PaletteEditor::exportWithDialog);
  applied_ = new QCheckBox(QString::fromUtf8("显示运用后颜色"), this);
  applied_->setObjectName(Id(1083));
  applied_->setChecked(Prefs().bit(pref::kOptionFlags, kShowAppliedColours));

  auto* side = new QVBoxLayout;
  side->addLayout(fields);
  entryText_ = new QLabel(this);
  entryText_->setObjectName(QStringLiteral("entryText"));
  side->addWidget(entryText_);
  if (subject.usage && count_ > 0) {
    int used = 0;
    for (int i = 0; i < count_; ++i) used += (*subject.usage)[static_cast<size_t>(i)] > 0 ? 1 : 0;
    char text[64];
    std::snprintf(text, sizeof text, MessageText(40150), used, count_);
    usage_ = new QLabel(QString::fromUtf8(text), this);
    usage_->setObjectName(QStringLiteral("usage"));
    side->addWidget(usage_);
  }
  side->addWidget(exportButton);
  side->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addWidget(grid_);
  top->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  if (subject.image) {
    picture_ = new ShowImage(this);
    picture_->setImage(subject.image);
    connect(picture_, &ShowImage::picked, this, &PaletteEditor::selectIndex);
    layout->addWidget(picture_, 1);
  }
  if (subject.usage) {
    for (int i = 0; i < count_; ++i)
      if ((*subject.usage)[static_cast<size_t>(i)] == 0) unused_.insert(i);
    layout->addWidget(applied_);
    connect(applied_, &QCheckBox::toggled, this, [this] { showWorking(); });
  } else {
    // Without a usage count there is nothing for the box to show.
    applied_->hide();
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  showWorking();
}

void PaletteEditor::showWorking() {
  grid_->setColours(working_, count_);
  grid_->setUnused(!applied_->isHidden() && applied_->isChecked() ? unused_ : QSet<int>());
  if (picture_) picture_->setColours(working_);
}

void PaletteEditor::showFields() {
  const bool on = selected_ >= 0;
  const Rgb c = on ? working_[static_cast<size_t>(selected_)] : Rgb{};
  showingFields_ = true;
  const int values[3] = {c.r, c.g, c.b};
  for (int i = 0; i < 3; ++i) {
    fields_[i]->setEnabled(on);
    fields_[i]->setValue(values[i]);
  }
  showingFields_ = false;
  PaintSwatch(swatch_, c, on);
  entryText_->setText(on ? ColourTipText(selected_, c, transparentIndex_) : QString());
}

void PaletteEditor::selectIndex(int index) {
  if (index < 0 || index >= count_) return;
  selected_ = index;
  grid_->setSelected(index);
  grid_->flash(index);
  showFields();
}

void PaletteEditor::fieldEdited() {
  if (showingFields_ || selected_ < 0) return;
  int values[3];
  for (int i = 0; i < 3; ++i) {
    values[i] = std::clamp(fields_[i]->value(), 0, 255);
    if (values[i] != fields_[i]->value()) {
      showingFields_ = true;
      fields_[i]->setValue(values[i]);
      showingFields_ = false;
    }
  }
  setSelectedColour({static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]), static_cast<uint8_t>(values[2])});
}

void PaletteEditor::setSelectedColour(Rgb colour) {
  if (selected_ < 0) return;
  Rgb& entry = working_[static_cast<size_t>(selected_)];
  if (entry == colour) return;
  entry = colour;
  changed_ = true;
  showWorking();
  showFields();
}

void PaletteEditor::chooseColour() {
  if (selected_ < 0) return;
  const Rgb c = working_[static_cast<size_t>(selected_)];
  // QColorDialog keeps its custom colours for the rest of the run.
  const QColor chosen = QColorDialog::getColor(QColor(c.r, c.g, c.b), this, QString());
  if (chosen.isValid())
    setSelectedColour({static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                       static_cast<uint8_t>(chosen.blue())});
}

bool PaletteEditor::exportTo(const QString& path) {
  std::unique_ptr<Palette> palette = Palette::Create(working_.data(), count_);
  return palette && WritePalFile(path.toStdString(), *palette) == 1;
}

void ConfigureSavePaletteDialog(QFileDialog& dialog) {
  dialog.setWindowTitle(QString::fromUtf8(MessageText(40340)));
  dialog.setNameFilter(QStringLiteral("PAL Palette Files (*.pal)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("pal"));
  if (PreferenceStore* store = Prefs().store())
    if (auto folder = store->text("SaveDir"); folder && !folder->empty())
      dialog.setDirectory(QString::fromStdString(*folder));
}

void PaletteEditor::exportWithDialog() {
  QFileDialog dialog(this);
  ConfigureSavePaletteDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().front();
  if (exportTo(path))
    if (PreferenceStore* store = Prefs().store()) store->setText("SaveDir", QFileInfo(path).absolutePath().toStdString());
}

void PaletteEditor::done(int result) {
  if (!applied_->isHidden()) Prefs().setBits(pref::kOptionFlags, kShowAppliedColours, applied_->isChecked());
  QDialog::done(result);
}

}  // namespace fw
