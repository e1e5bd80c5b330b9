#pragma once
#include "app/preferences/preference_page.h"

class QCheckBox;
class QLabel;
class QSpinBox;

namespace fw {

// Page 204 "常规": preview and start-up behaviour, interlacing, undo levels, how large a picture
// and an animation may be when read, the desktop "Edit with Framewright" verb and the live-edit
// editor.
class GeneralPage : public PreferencePage {
  Q_OBJECT
 public:
  explicit GeneralPage(QWidget* parent = nullptr);
  void commit(PreferencesOutcome& outcome) override;
  // The editor the page will store on confirm (empty: unchanged).
  void setEditorPath(const QString& path);

 private:
  void chooseEditor();

  QCheckBox* openPreview_;
  QCheckBox* loopPreview_;
  QCheckBox* fullScreen_;
  QCheckBox* hideStartPanel_;
  QCheckBox* interlace_;
  QSpinBox* undoLevels_;
  QSpinBox* pictureLimit_;   // millions of pixels one picture may have
  QSpinBox* documentLimit_;  // 2^20 pixels an animation may have
  QCheckBox* editVerb_;
  QLabel* editorName_;
  bool verbInstalled_;
  uint32_t shownFlags_;  // word 6 as the page was filled
  bool shownHideStartPanel_;
  uint32_t shownUndo_;
  QString editorPath_;  // the path chosen on this page, empty until one is chosen
};

// What the page shows for an editor: its file name (empty path: nothing).
QString EditorDisplayName(const QString& path);

}  // namespace fw
