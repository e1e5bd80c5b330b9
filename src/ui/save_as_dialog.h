#pragma once
// The Save As dialog: the file chooser with the type list and, under it, the chosen type's
// style panel.
#include <QFileDialog>
#include <cstdint>
#include <string>

namespace fw {

struct AnimHeader;
struct AviExportSettings;
class SaveStylePanel;
class SaveTypePanels;

// The type list's filter text for a save type 1..10.
QString SaveTypeFilter(int type);
// The save type a name's extension names (".jpeg" and ".jpe" included), or 0 for none.
int SaveTypeNamedBy(const QString& name);
// Where the dialog starts: the document's own folder and name with the type's extension, or
// for an untitled document "SaveDir" (else "InitDir") and the untitled name.
QString SaveAsStartPath(const std::string& documentName, int type);
// `name` with its extension replaced by (or, after a final ".", completed with) the type's.
QString WithTypeExtension(const QString& name, int type);

class SaveAsDialog : public QFileDialog {
  Q_OBJECT
 public:
  // `fixedType` > 0 offers only that type; otherwise the list starts on the type the
  // document's name names, else on `type`. An extension the user types decides the type.
  SaveAsDialog(AnimHeader& document, const std::string& documentName, int type, int fixedType,
               uint32_t rememberedOptions, QWidget* parent);

  int type() const { return type_; }
  uint32_t options() const;
  // The path to write: the chosen file, or for numbered files the panel's name when typed.
  QString target() const;
  SaveStylePanel* panel() const { return panel_; }
  SaveTypePanels* typePanels() const { return typePanels_; }
  // The AVI settings chosen in the dialog's AVI panel; nullptr when the stored ones apply.
  const AviExportSettings* aviSettings() const;

 private:
  void typeChosen(int type);
  void followTypedExtension(const QString& name);

  int type_;
  SaveStylePanel* panel_;
  SaveTypePanels* typePanels_;
};

}  // namespace fw
