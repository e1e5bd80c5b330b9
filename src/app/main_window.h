#pragma once
// The editor's main window: the shell state (document, name, modified flag, current frame),
// the command dispatcher and the views that show the document.
#include <QHash>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/batch.h"
#include "core/palette.h"

class QAction;
class QLabel;
class QMenu;

namespace fw {

class FrameStrip;
class PropertyBar;
class PreviewDialog;
class HelpBrowser;
class StartPanel;
class QueuedSizeDisplay;
class MessageBoxSink;
class DialogProgressHook;
class LiveEdit;
struct AviExportSettings;
struct KeptEdit;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow();
  ~MainWindow() override;

  // Every command arrives here, from menus, toolbar, accelerators and tests alike.
  void dispatch(int id);
  QAction* action(int id) const { return actions_.value(id); }
  // Recomputes greyed and ticked states (run whenever a menu opens, and after commands).
  void updateCommandStates();

  // --- the open and save flow without its dialogs ---
  // Replaces the document by the files (sorted case-insensitively); 0 failure, else files read.
  int openFiles(QStringList paths);
  // Inserts the files before the current frame (or at the end), as one undo step.
  int insertFiles(QStringList paths);
  bool saveDocument();
  // Save As to a chosen path; the type follows the name's extension and the style is the
  // type's first (the animation where the type holds one).
  bool saveDocumentAs(const QString& path);
  // The write step of Save As with the dialog's type and options.
  bool saveDocumentAs(const QString& path, int type, uint32_t options, const AviExportSettings* avi = nullptr);
  // Files dropped on the strip of an open document: timing files (".txt") retime it, the
  // others are inserted at the current frame.
  void dropIntoDocument(const QStringList& paths);
  // Applies a timing file as one undo step; false when it could not be read.
  bool loadTiming(const QString& path);
  // Asks to save a modified document; false when the user cancelled.
  bool closeDocument();
  // Open filmstrip without its file dialog: opens the one-picture file and asks for its
  // layout; the frame count after the split, else 0.
  int openFilmstrip(const QString& path);
  // Blend without its file dialog: asks for the options and blends, as one undo step.
  bool blendWith(const QString& path);

  AnimHeader* document() const { return state_.document.get(); }
  const DocumentState& state() const { return state_; }
  int currentFrame() const { return current_; }
  bool isModified() const { return modified_; }
  QString statusText(int part) const;
  FrameStrip* strip() const { return strip_; }
  PropertyBar* propertyBar() const { return propertyBar_; }
  PreviewDialog* preview() const { return preview_; }
  HelpBrowser* helpBrowser() const { return helpBrowser_; }
  StartPanel* startPanel() const { return startPanel_; }
  // What long operations of the window report their progress to.
  DialogProgressHook* progressHook() const { return progressHook_.get(); }
  LiveEdit* liveEdit() const { return liveEdit_; }
  // Sets the current frame, as the strip does after a selection gesture.
  void setCurrentFrame(int index);
  // Moves the selection to the strip slot `insertion`, as a drag ends.
  void moveSelectionTo(int insertion);

  // --- property bar edits ---
  void setDelayOfSelection(int value);
  void setDisposalOfCurrent(int method);
  void setTransparencyOfCurrent(bool on);
  void setLocalPaletteOfCurrent(bool on);
  void setTrueColourOfCurrent(bool on);
  void setLoopCount(int value);
  // Raises the delays browsers would slow down, as one undo step; false when none needed it.
  bool makeDelaysWebSafe();

  // --- for the command objects of the editors (pixel editor, live edit) ---
  // Stops the workers and the preview before the document changes.
  void beginDocumentChange() { stopWorkersAndPreview(); }
  // The refresh after an edit of one frame's pixels, or (-1) of the frame list.
  void documentEdited(int onlyFrame);
  // Restarts what beginDocumentChange() stopped when nothing changed after all.
  void editAbandoned() { afterNothingChanged(); }

  // --- palette editors and the transparency chooser (true when the document changed) ---
  bool editLocalPalette(int frameIndex);
  // The frame whose picture and transparent index are shown, or -1 for the first frame
  // drawn through the global palette.
  bool editGlobalPalette(int frameIndex);
  bool chooseTransparency(int frameIndex);
  // What OK in the editor and the chooser commits, each as one undo step.
  bool commitPaletteEdit(int frameIndex, const std::array<Rgb, 256>& entries);
  bool commitTransparencyChoice(int frameIndex, const std::vector<int>& chosen);

 protected:
  void closeEvent(QCloseEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void selectInserted(int at, int count);
  void removeSelection(const std::function<bool()>& removal);
  // Drops the recent-file entries whose files are gone.
  void pruneRecentFiles();
  void buildMenus();
  void buildToolBar();
  QAction* makeAction(int id, const QString& text);
  void setModified(bool on);
  void updateTitle();
  void updateStatus();
  void showSize(int32_t bytes);
  // The common refresh steps after an edit.
  void stopWorkersAndPreview();
  // `onlyFrame` names the one frame whose look changed, so the strip keeps the others' cells.
  void afterEdit(bool frameCountChanged, bool blockDataChanged, int onlyFrame = -1);
  void applyUndoHints(uint32_t hints);
  void installDocument(AnimPtr chain, int count, bool insert);
  AnimPtr readFiles(const QStringList& paths, int& read, int& lastStatus);

  void openWithDialog(const QString& filter);
  void insertWithDialog();
  bool saveAsWithDialog(int fixedType);
  void deleteSelection();
  // Detaches the selected frames as one undo step; false when none is selected.
  bool deleteSelectedFrames();
  // The status-bar note after a frame edit that had to unoptimize the animation.
  void noteKeptEdit(const KeptEdit& kept);
  void copySelection(bool cut);
  void paste();
  void undoRedo(bool redo);
  void rotate(int id);
  void centreAll();
  void selectAll(bool invert);
  void togglePreview(bool selectionOnly, bool timing = false);
  void openHelpPage(const char* page);
  void editComments();
  // Resize (40092, 40135) and increase canvas (328): dialog, operation, refresh.
  void resizeWithDialog(bool selectedOnly);
  void increaseCanvasWithDialog();
  // Move/crop frames (40072) and crop animation (40116).
  void moveCropWithDialog(bool animationMode);
  void loadTimingWithDialog();
  void saveTimingWithDialog();
  void splitFilmstripByName(const std::string& path);
  void restart();
  void revert();
  void rememberRecent(const std::string& path);
  void rebuildRecentMenu();
  void openRecent(int n);
  // Preferences (40035): the sheet, then what its changes mean for the window.
  void runPreferences();
  // The interlace setting changed: frames may no longer be interlaced.
  void interlaceSettingChanged();
  // Optimize (40005): the 24-bit warning, the dialog and its trial.
  void optimize();
  // Save for size (40403): the dialog, its plan on the worker, the chosen candidate applied.
  void saveForSizeWithDialog();
  // Open filmstrip (40111), HTML code (40082) and blend (40125).
  void openFilmstripWithDialog();
  void showHtmlCode();
  void blendWithDialog();
  // Restarts the workers stopped for a command that then changed nothing.
  void afterNothingChanged();
  // Reduce colours (40081) and reduce frame count (40119): dialog, operation, refresh.
  void reduceColoursWithDialog();
  void reduceFramesWithDialog();
  // The "Properties" sheet for frame (40009), global frame (40052) or animation (40008)
  // properties.
  void showProperties(int command);

  DocumentState state_;
  bool modified_ = false;
  int current_ = -1;
  int zoom_ = 0;
  bool askingFilmstripLayout_ = false;
  QHash<int, QAction*> actions_;
  QList<QMenu*> menus_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QList<QAction*> recentActions_;
  FrameStrip* strip_ = nullptr;
  PropertyBar* propertyBar_ = nullptr;
  PreviewDialog* preview_ = nullptr;
  HelpBrowser* helpBrowser_ = nullptr;  // a child of the window, made on first use
  StartPanel* startPanel_ = nullptr;
  QLabel* status_[5] = {};
  QLabel* webTimingWarning_ = nullptr;
  int32_t shownSize_ = -1;
  std::unique_ptr<QueuedSizeDisplay> sizeDisplay_;
  std::unique_ptr<MessageBoxSink> sink_;
  std::unique_ptr<DialogProgressHook> progressHook_;
  LiveEdit* liveEdit_ = nullptr;  // a child of the window
};

// Process entry for the window: QApplication, the window, one file from the command line.
int RunEditor(int argc, char** argv);

}  // namespace fw
