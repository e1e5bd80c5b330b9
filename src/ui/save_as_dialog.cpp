#include "ui/save_as_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QSignalBlocker>

#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "ui/save_style_panel.h"
#include "ui/save_type_panels.h"

namespace fw {
namespace {

const char* const kFilters[] = {
    "GIF animation/image(s) (.gif) (*.gif)",
    "AVI animation (.avi) (*.avi)",
    "Macromedia Flash (SWF) animation (.swf) (*.swf)",
    "BMP image(s) (.bmp) (*.bmp)",
    "JPEG image(s) (.jpg) (*.jpg *.jpe *.jpeg)",
    "Photoshop PSD image (.psd) (*.psd)",
    "PNG image(s) (.png) (*.png)",
    "Windows cursor (.cur) (*.cur)",
    "Windows icon (.ico) (*.ico)",
    "Windows animated cursor (.ani) (*.ani)",
};

int ValidType(int type) { return type >= 1 && type <= 10 ? type : 1; }
QString Extension(int type) { return QString::fromLatin1(SaveTypeExtension(ValidType(type))); }

}  // namespace

// The list starts on the document's own type, so re-saving an opened GIF never silently
// turns into the last export's type; the remembered type serves untitled documents.
static int InitialType(const std::string& documentName, int rememberedType, int fixedType) {
  if (fixedType > 0) return ValidType(fixedType);
  if (const int own = SaveTypeNamedBy(QString::fromStdString(documentName))) return own;
  return ValidType(rememberedType);
}

QString SaveTypeFilter(int type) { return QString::fromLatin1(kFilters[ValidType(type) - 1]); }

int SaveTypeNamedBy(const QString& name) {
  const int slash = static_cast<int>(std::max(name.lastIndexOf('/'), name.lastIndexOf('\\')));
  const int dot = static_cast<int>(name.lastIndexOf('.'));
  if (dot <= slash) return 0;
  const QString extension = name.mid(dot + 1).toLower();
  if (extension == QLatin1String("jpeg") || extension == QLatin1String("jpe")) return kSaveJpg;
  for (int t = 1; t <= 10; ++t)
    if (extension == Extension(t)) return t;
  return 0;
}

QString WithTypeExtension(const QString& name, int type) {
  const int slash = static_cast<int>(std::max(name.lastIndexOf('/'), name.lastIndexOf('\\')));
  const int dot = static_cast<int>(name.lastIndexOf('.'));
  const QString stem = dot > slash ? name.left(dot) : name;
  return stem + "." + Extension(type);
}

QString SaveAsStartPath(const std::string& documentName, int type) {
  if (!documentName.empty()) return WithTypeExtension(QString::fromStdString(documentName), type);
  QString folder;
  if (PreferenceStore* store = Prefs().store()) {
    auto dir = store->text("SaveDir");
    if (!dir || dir->empty()) dir = store->text("InitDir");
    if (dir) folder = QString::fromStdString(*dir);
  }
  const QString name =
      QString::fromStdString(FormatText(MessageText(40292), Extension(type).toLatin1().constData()));
  return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

SaveAsDialog::SaveAsDialog(AnimHeader& document, const std::string& documentName, int type, int fixedType,
                           uint32_t rememberedOptions, QWidget* parent)
    : QFileDialog(parent, QString::fromUtf8(MessageText(40334))), type_(InitialType(documentName, type, fixedType)) {
  setObjectName(QStringLiteral("SaveAsDialog"));
  // The extension panel lives inside the dialog, which only the Qt dialog allows.
  setOption(QFileDialog::DontUseNativeDialog);
  // The replace question is the program's own, asked after the dialog.
  setOption(QFileDialog::DontConfirmOverwrite);
  setAcceptMode(QFileDialog::AcceptSave);
  QStringList filters;
  if (fixedType > 0) {
    filters << SaveTypeFilter(type_);
  } else {
    for (int t = 1; t <= 10; ++t) filters << SaveTypeFilter(t);
  }
  setNameFilters(filters);
  selectNameFilter(SaveTypeFilter(type_));
  setDefaultSuffix(Extension(type_));
  const QString start = SaveAsStartPath(documentName, type_);
  const QFileInfo info(start);
  if (info.isAbsolute()) setDirectory(info.dir());
  selectFile(info.fileName());

  panel_ = new SaveStylePanel(document, rememberedOptions, this);
  panel_->setType(type_);
  panel_->setTargetPath(start);
  typePanels_ = new SaveTypePanels(document, this);
  typePanels_->setType(type_);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(panel_, grid->rowCount(), 0, 1, grid->columnCount());
    grid->addWidget(typePanels_, grid->rowCount(), 0, 1, grid->columnCount());
  }
  connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
    for (int t = 1; t <= 10; ++t)
      if (filter == SaveTypeFilter(t)) typeChosen(t);
  });
  if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    connect(edit, &QLineEdit::textChanged, this, [this, fixedType](const QString& name) {
      panel_->setTargetPath(directory().filePath(name));
      if (fixedType <= 0) followTypedExtension(name);
    });
  }
}

void SaveAsDialog::followTypedExtension(const QString& name) {
  const int typed = SaveTypeNamedBy(name);
  if (typed == 0 || typed == type_) return;
  type_ = typed;
  setDefaultSuffix(Extension(typed));
  // Selecting a filter rewrites the typed extension to the filter's first one (".jpeg" to
  // ".jpg"); the user's text stays as typed.
  auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  const int cursor = edit ? edit->cursorPosition() : 0;
  {
    const QSignalBlocker quiet(edit);
    selectNameFilter(SaveTypeFilter(typed));
    if (edit && edit->text() != name) {
      edit->setText(name);
      edit->setCursorPosition(cursor);
    }
  }
  panel_->setType(typed);
  typePanels_->setType(typed);
}

void SaveAsDialog::typeChosen(int type) {
  type_ = type;
  setDefaultSuffix(Extension(type));
  if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
    if (!edit->text().isEmpty()) edit->setText(WithTypeExtension(edit->text(), type));
  }
  panel_->setType(type);
  typePanels_->setType(type);
}

uint32_t SaveAsDialog::options() const { return panel_->options(); }

const AviExportSettings* SaveAsDialog::aviSettings() const {
  return type_ == kSaveAvi ? typePanels_->aviSettings() : nullptr;
}

QString SaveAsDialog::target() const {
  const QStringList files = selectedFiles();
  const QString chosen = files.isEmpty() ? QString() : files.front();
  return (options() & save_option::kSequence) ? panel_->numberedTarget(chosen) : chosen;
}

}  // namespace fw
