#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/commands.h"
#include "app/gui_services.h"
#include "app/preferences/merge_questions.h"
#include "core/clipboard_record.h"
#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_apply.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "formats/file_dispatch.h"
#include "gif/gif_writer.h"
#include "imaging/transforms.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "imaging/palette_reconcile.h"
#include "imaging/transform_commands.h"
#include "ui/clipboard_frames.h"
#include "ui/frame_image.h"
#include "ui/frame_strip.h"
#include "ui/preview_dialog.h"
#include "ui/property_bar.h"
#include "ui/save_as_dialog.h"
#include "ui/save_style_panel.h"
#include "ui/start_panel.h"
#include "ui/strip_geometry.h"

namespace fw {
namespace {

QString Text(int id) { return QString::fromUtf8(MessageText(id)); }
std::string Path(const QString& p) { return p.toStdString(); }

// The status and menu texts use printf formats from the string table.
template <typename... A>
QString Format(int id, A... args) {
  return QString::fromStdString(FormatText(MessageText(id), args...));
}

const char kOpenFilters[] =
    "All Supported Formats (*.gif *.avi *.bmp *.dib *.jpg *.jpe *.jpeg *.ani *.psd *.ico *.cur *.png);;"
    "GIF Files (*.gif);;AVI Files (*.avi);;BMP Files (*.bmp *.dib);;JPEG Files (*.jpg *.jpe *.jpeg);;"
    "Photoshop PSD Files (*.psd);;PNG Files (*.png);;Animated Cursors (*.ani);;Cursors (*.cur);;Icons (*.ico);;"
    "All Files (*)";

const char* ImportFilter(int id) {
  switch (id) {
    case 40109: return "AVI Files (*.avi);;All Files (*)";
    case 40110: return "BMP Files (*.bmp *.dib);;All Files (*)";
    case 40113: return "JPEG Files (*.jpg *.jpe *.jpeg);;All Files (*)";
    case 40112: return "Photoshop PSD Files (*.psd);;All Files (*)";
    case 40342: return "PNG Files (*.png);;All Files (*)";
    case 40133: return "Icons (*.ico);;All Files (*)";
    case 40142: return "Cursors (*.cur);;All Files (*)";
    case 40118: return "Animated Cursors (*.ani);;All Files (*)";
    default: return nullptr;
  }
}

int32_t MeasureEncodedSize(AnimHeader* document) { return EncodedSize(document, false, nullptr); }

constexpr uint32_t kHideStartPanel = 1u << 4;

QString UnavailableTip() { return QStringLiteral("此功能在本版本中尚未提供"); }

}  // namespace

MainWindow::MainWindow() {
  setObjectName(QStringLiteral("Framewright"));
  sink_ = std::make_unique<MessageBoxSink>(this);
  progressHook_ = std::make_unique<DialogProgressHook>(this);
  sizeDisplay_ = std::make_unique<QueuedSizeDisplay>([this](int32_t bytes) { showSize(bytes); });
  SetEncodedSizeMeasure(&MeasureEncodedSize);
  InstallTransformUndo();
  InstallMergeQuestions(this);
  strip_ = new FrameStrip(this);
  setCentralWidget(strip_);
  startPanel_ = new StartPanel(strip_->viewport());
  startPanel_->move(40, 40);
  connect(startPanel_, &StartPanel::command, this, &MainWindow::dispatch);
  setAcceptDrops(true);
  buildMenus();
  buildToolBar();
  propertyBar_ = new PropertyBar(this);
  addToolBarBreak();
  addToolBar(propertyBar_);
  propertyBar_->setVisible(!Prefs().bit(pref::kOptionFlags, 1u << 28));
  for (int i = 0; i < 5; ++i) {
    status_[i] = new QLabel(this);
    status_[i]->setObjectName(QStringLiteral("status%1").arg(i));
    statusBar()->addWidget(status_[i], i == 3 ? 2 : 1);
  }
  connect(strip_, &FrameStrip::selectionChanged, this, [this](int current) { setCurrentFrame(current); });
  connect(strip_, &FrameStrip::dropAt, this, [this](int insertion) { moveSelectionTo(insertion); });
  strip_->setCommandProvider({[this] { updateCommandStates(); }, [this](int id) { return action(id); }});
  connect(strip_, &FrameStrip::filesDropped, this, [this](int index, QStringList paths) {
    if (document()) {
      setCurrentFrame(index);
      insertFiles(paths);
    } else {
      openFiles(paths);
    }
  });
  connect(propertyBar_, &PropertyBar::delayEdited, this, [this](int v) { setDelayOfSelection(v); });
  connect(propertyBar_, &PropertyBar::disposalChosen, this, [this](int m) { setDisposalOfCurrent(m); });
  connect(propertyBar_, &PropertyBar::transparencyToggled, this, [this](bool on) { setTransparencyOfCurrent(on); });
  connect(propertyBar_, &PropertyBar::localPaletteToggled, this, [this](bool on) { setLocalPaletteOfCurrent(on); });
  connect(propertyBar_, &PropertyBar::loopEdited, this, [this](int v) { setLoopCount(v); });
  connect(propertyBar_, &PropertyBar::frameChosen, this, [this](int index) {
    if (!document()) return;
    SelectFrames(*document(), index, kSelectPlain);
    setCurrentFrame(index);
    strip_->ensureVisible(index);
    strip_->viewport()->update();
  });
  connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] { updateCommandStates(); });
  ClearUndo();
  setModified(false);
  updateTitle();
  updateStatus();
  propertyBar_->refresh(nullptr, -1, false);
  updateCommandStates();
  resize(900, 600);
}

MainWindow::~MainWindow() {
  InstallMergeQuestions(nullptr);
  CancelAndWait(worker::kDocument);
  if (preview_) preview_->close();
  state_.document.reset();
  ClearUndo();
}

QAction* MainWindow::makeAction(int id, const QString& text) {
  auto* a = new QAction(text, this);
  a->setData(id);
  a->setObjectName(QStringLiteral("c%1").arg(id));
  if (const char* tip = MessageText(id)) a->setToolTip(QString::fromUtf8(tip));
  connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
  actions_.insert(id, a);
  return a;
}

void MainWindow::buildMenus() {
  for (const cmd::MenuDefinition& menuDef : cmd::MainMenus()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(menuDef.title));
    menu->setToolTipsVisible(true);
    menus_ << menu;
    if (!fileMenu_) fileMenu_ = menu;
    QMenu* target = menu;
    for (const cmd::Command& c : menuDef.items) {
      if (c.id == 0) {
        target->addSeparator();
      } else if (c.id == cmd::kSubmenu) {
        target = menu->addMenu(QString::fromUtf8(c.text));
        target->setToolTipsVisible(true);
        menus_ << target;
      } else if (c.id == cmd::kEndSubmenu) {
        target = menu;
      } else {
        QAction* a = actions_.value(c.id);
        if (!a) a = makeAction(c.id, QString::fromUtf8(c.text));
        if (c.grey == cmd::Grey::Unavailable) a->setToolTip(UnavailableTip());
        if (c.id == cmd::kExit) {
          recentSeparator_ = target->insertSeparator(nullptr);
        }
        target->addAction(a);
      }
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
  }
  for (QMenu* m : menus_) connect(m, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
  // Ticked items.
  for (int id : {cmd::kPreview, cmd::kShowPropertyBar, cmd::kOrientAuto, cmd::kOrientHorizontal,
                 cmd::kOrientVertical, cmd::kTransWindow, cmd::kTransFrame, cmd::kTransCustom, cmd::kFrameTips})
    actions_[id]->setCheckable(true);
  for (int id = 40060; id <= 40067; ++id) actions_[id]->setCheckable(true);
  for (int id = 40093; id <= 40098; ++id) actions_[id]->setCheckable(true);
  // Commands that live only on the toolbar.
  makeAction(cmd::kStopPreview, QStringLiteral("■"));
  makeAction(cmd::kActualSize, QStringLiteral("1:1"));
  const std::pair<int, QKeySequence> keys[] = {
      {cmd::kZoomIn, QKeySequence(Qt::CTRL | Qt::Key_1)}, {cmd::kZoomOut, QKeySequence(Qt::CTRL | Qt::Key_2)},
      {cmd::kSelectAll, QKeySequence(Qt::CTRL | Qt::Key_A)}, {cmd::kCopy, QKeySequence(Qt::CTRL | Qt::Key_C)},
      {cmd::kInsert, QKeySequence(Qt::CTRL | Qt::Key_I)}, {cmd::kRestart, QKeySequence(Qt::CTRL | Qt::Key_N)},
      {cmd::kOpen, QKeySequence(Qt::CTRL | Qt::Key_O)}, {cmd::kPreview, QKeySequence(Qt::CTRL | Qt::Key_P)},
      {cmd::kSave, QKeySequence(Qt::CTRL | Qt::Key_S)}, {cmd::kSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {cmd::kPaste, QKeySequence(Qt::CTRL | Qt::Key_V)}, {cmd::kCut, QKeySequence(Qt::CTRL | Qt::Key_X)},
      {cmd::kRedo, QKeySequence(Qt::CTRL | Qt::Key_Y)}, {cmd::kUndo, QKeySequence(Qt::CTRL | Qt::Key_Z)},
      {cmd::kDelete, QKeySequence(Qt::Key_Delete)}, {cmd::kHelp, QKeySequence(Qt::Key_F1)},
      {cmd::kFrameProperties, QKeySequence(Qt::CTRL | Qt::Key_F)},
      {cmd::kGlobalFrameProperties, QKeySequence(Qt::CTRL | Qt::Key_G)},
      {cmd::kReduceColours, QKeySequence(Qt::CTRL | Qt::Key_R)}, {cmd::kOptimize, QKeySequence(Qt::CTRL | Qt::Key_T)}};
  for (const auto& [id, key] : keys) {
    actions_[id]->setShortcut(key);
    actions_[id]->setShortcutContext(Qt::ApplicationShortcut);
  }
  rebuildRecentMenu();
}

void MainWindow::buildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("main"));
  bar->setObjectName(QStringLiteral("MainToolBar"));
  bar->setMovable(false);
  const int groups[][4] = {{cmd::kOpen, cmd::kInsert, cmd::kSave, cmd::kRestart},
                           {cmd::kCut, cmd::kCopy, cmd::kPaste, cmd::kDelete},
                           {cmd::kUndo, cmd::kRedo, 0, 0},
                           {cmd::kPreview, cmd::kStopPreview, 0, 0},
                           {cmd::kEditTiming, cmd::kOptimize, cmd::kReduceColours, 0},
                           {cmd::kZoomIn, cmd::kZoomOut, cmd::kActualSize, 0},
                           {cmd::kFrameTips, 0, 0, 0},
                           {cmd::kHelp, 0, 0, 0}};
  bool first = true;
  for (const auto& group : groups) {
    if (!first) bar->addSeparator();
    first = false;
    for (int id : group)
      if (id) bar->addAction(actions_[id]);
  }
}

// --- state ---

void MainWindow::setModified(bool on) {
  modified_ = on;
  if (QAction* save = actions_.value(cmd::kSave)) save->setEnabled(on);
}

void MainWindow::updateTitle() {
  const QString name = state_.fileName.empty() ? Text(msg::kUntitled)
                                               : QFileInfo(QString::fromStdString(state_.fileName)).fileName();
  setWindowTitle(QStringLiteral("%1 - Framewright").arg(name));
}

QString MainWindow::statusText(int part) const { return status_[part]->text(); }

void MainWindow::updateStatus() {
  startPanel_->setVisible(!document() && !Prefs().bit(pref::kMoreFlags, kHideStartPanel));
  const AnimHeader* doc = document();
  if (!doc) {
    status_[0]->setText(Text(40169));
    for (int i = 1; i < 5; ++i) status_[i]->clear();
    return;
  }
  if (doc->selectedCount > 1) status_[0]->setText(Format(40285, doc->frameCount));
  else if (current_ >= 0) status_[0]->setText(Format(40171, current_ + 1, doc->frameCount));
  else status_[0]->setText(Format(40170, doc->frameCount));
  status_[1]->setText(Format(40280, doc->screenWidth, doc->screenHeight));
  double total = 0;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) total += f->delay;
  status_[2]->setText(Format(40177, total * 0.01));
  int num = 1, den = 1;
  ZoomFraction(zoom_, num, den);
  status_[4]->setText(Format(40172, num * 100 / den));
  showSize(shownSize_);
}

void MainWindow::showSize(int32_t bytes) {
  shownSize_ = bytes;
  if (!document()) return;
  if (bytes < 0) {
    status_[3]->setText(Text(40176));
    return;
  }
  const QString sep = QLocale().groupSeparator();
  const char separator = sep.size() == 1 && sep[0].unicode() < 128 ? static_cast<char>(sep[0].unicode()) : ',';
  const auto& speeds = cmd::DownloadSpeeds();
  const size_t slot = std::min<size_t>(Prefs().read(pref::kDownloadSpeed), speeds.size() - 1);
  const std::string grouped = cmd::GroupThousands(bytes, separator);
  const std::string time = cmd::DownloadTimeText(bytes, speeds[slot].bitsPerSecond);
  status_[3]->setText(Format(40175, grouped.c_str(), time.c_str(), speeds[slot].name));
}

void MainWindow::setCurrentFrame(int index) {
  const AnimHeader* doc = document();
  current_ = doc && index >= 0 && index < doc->frameCount ? index : -1;
  state_.currentFrame = current_;
  strip_->setCurrent(current_);
  propertyBar_->refresh(doc, current_, false);
  updateStatus();
  updateCommandStates();
}

void MainWindow::updateCommandStates() {
  const AnimHeader* doc = document();
  const int frames = doc ? doc->frameCount : 0;
  const UndoMenu undo = UndoMenuTexts();
  const QMimeData* clip = QApplication::clipboard()->mimeData();
  const bool canPaste = ClipboardHasFrames(clip);
  for (const cmd::MenuDefinition& menuDef : cmd::MainMenus()) {
    for (const cmd::Command& c : menuDef.items) {
      QAction* a = actions_.value(c.id);
      if (!a) continue;
      bool enabled = true;
      switch (c.grey) {
        case cmd::Grey::Never: break;
        case cmd::Grey::NoDocument: enabled = doc; break;
        case cmd::Grey::FewerThan1: enabled = frames >= 1; break;
        case cmd::Grey::FewerThan2: enabled = frames >= 2; break;
        case cmd::Grey::NoSelection: enabled = current_ >= 0; break;
        case cmd::Grey::NotModified: enabled = modified_; break;
        case cmd::Grey::NotRevertible: enabled = modified_ && !state_.fileName.empty(); break;
        case cmd::Grey::NoUndo: enabled = undo.undoEnabled; break;
        case cmd::Grey::NoRedo: enabled = undo.redoEnabled; break;
        case cmd::Grey::NoPaste: enabled = canPaste; break;
        case cmd::Grey::NoLocalPalette: enabled = current_ >= 0 && ImageAt(doc, current_)->localPalette; break;
        case cmd::Grey::NoGlobalPalette: enabled = doc && doc->globalPalette; break;
        case cmd::Grey::Unavailable: enabled = false; break;
      }
      a->setEnabled(enabled);
    }
  }
  auto menuText = [](const std::string& t) { return QString::fromStdString(t.substr(0, t.find('\t'))); };
  actions_[cmd::kUndo]->setText(menuText(undo.undoText));
  actions_[cmd::kRedo]->setText(menuText(undo.redoText));
  actions_[cmd::kPreview]->setChecked(preview_ != nullptr);
  actions_[cmd::kStopPreview]->setEnabled(preview_ != nullptr);
  actions_[cmd::kShowPropertyBar]->setChecked(propertyBar_ && propertyBar_->isVisible());
  actions_[cmd::kZoomIn]->setEnabled(zoom_ != 3);
  actions_[cmd::kZoomOut]->setEnabled(zoom_ != -4);
  actions_[cmd::kActualSize]->setEnabled(doc && zoom_ != 0);
  for (int id = 40060; id <= 40067; ++id) actions_[id]->setChecked(id - 40064 == zoom_);
  const int orientation = strip_->orientation();
  actions_[cmd::kOrientAuto]->setChecked(orientation == 0);
  actions_[cmd::kOrientVertical]->setChecked(orientation == 4097);
  actions_[cmd::kOrientHorizontal]->setChecked(orientation == 4098);
  actions_[cmd::kTransWindow]->setChecked(strip_->transparencyMode() == 0);
  actions_[cmd::kTransFrame]->setChecked(strip_->transparencyMode() == 1);
  actions_[cmd::kTransCustom]->setChecked(strip_->transparencyMode() == 2);
  actions_[cmd::kFrameTips]->setChecked(strip_->frameTipsOn());
  const auto& speeds = cmd::DownloadSpeeds();
  const uint32_t chosen = Prefs().read(pref::kDownloadSpeed);
  for (size_t i = 0; i < speeds.size(); ++i) {
    QAction* a = actions_[40093 + static_cast<int>(i)];
    a->setChecked(i == chosen);
    QString text = QString::fromLatin1(speeds[i].name);
    if (doc && doc->encodedSize >= 0)
      text += QStringLiteral(":\t") + QString::fromStdString(cmd::DownloadTimeText(doc->encodedSize, speeds[i].bitsPerSecond));
    a->setText(text);
  }
}

// --- refresh steps ---

void MainWindow::stopWorkersAndPreview() {
  CancelAndWait(worker::kDocument);
  if (preview_) preview_->close();
}

void MainWindow::afterEdit(bool frameCountChanged, bool blockDataChanged) {
  setModified(true);
  AnimHeader* doc = document();
  if (doc) {
    CountSelected(*doc);
    if (current_ >= doc->frameCount) current_ = -1;
  }
  state_.currentFrame = current_;
  strip_->setCurrent(current_);
  if (frameCountChanged || blockDataChanged) strip_->documentChanged();
  else strip_->viewport()->update();
  propertyBar_->refresh(doc, current_, false);
  updateStatus();
  if (doc) {
    RefreshSize(doc, blockDataChanged, sizeDisplay_.get());
    RefreshColourUsage(doc);
  }
  updateCommandStates();
}

void MainWindow::applyUndoHints(uint32_t hints) {
  AnimHeader* doc = document();
  if (!doc || (hints & undo_hint::kNothing)) {
    updateCommandStates();
    return;
  }
  if (hints & (undo_hint::kFrameCount | undo_hint::kOrder | undo_hint::kDocument)) {
    CountSelected(*doc);
    // The current frame follows the selection the restored frames carry.
    current_ = CurrentAfterSelect(*doc, current_ < doc->frameCount ? current_ : -1);
  }
  doc->encodedSize = -1;
  afterEdit(true, true);
}

// --- open ---

AnimPtr MainWindow::readFiles(const QStringList& paths, int& read, int& lastStatus) {
  AnimPtr head;
  AnimHeader* tail = nullptr;
  read = 0;
  auto progress = CreateProgress(progressHook_.get(), 0);
  StartProgress(progress.get(), paths.size());
  for (int i = 0; i < paths.size(); ++i) {
    SetProgressText(progress.get(), FormatText(MessageText(40359), Path(QFileInfo(paths[i]).fileName()).c_str()));
    LoadResult r = LoadAnimationFile(Path(paths[i]));
    lastStatus = r.status;
    if (r.status == kReadFailed || !r.document) {
      if (i + 1 < paths.size() &&
          Messages().ask(40331, MessageText(40331), MessageText(40332), Buttons::YesNo, Answer::Yes) == Answer::No)
        break;
      continue;
    }
    AnimHeader* raw = r.document.get();
    if (!head) head = std::move(r.document);
    else tail->nextInChain = std::move(r.document);
    tail = raw;
    ++read;
    if (!StepProgress(progress.get())) break;
  }
  CloseProgress(progress.get());
  return head;
}

void MainWindow::installDocument(AnimPtr chain, int count, bool insert) {
  (void)insert;
  if (!MergeLoadedAnimations(state_, std::move(chain), count, DocumentPaletteReconciler())) return;
}

int MainWindow::openFiles(QStringList paths) {
  if (!closeDocument()) return 0;
  std::stable_sort(paths.begin(), paths.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(Path(a), Path(b)); });
  int read = 0, status = kReadFailed;
  AnimPtr chain = readFiles(paths, read, status);
  if (!chain) {
    updateTitle();
    strip_->setDocument(nullptr);
    return 0;
  }
  MergeLoadedAnimations(state_, std::move(chain), read, DocumentPaletteReconciler());
  if (!document()) return 0;
  const bool plain = read == 1 && paths.size() == 1 && status == kReadComplete;
  if (plain) state_.fileName = Path(paths.front());
  else state_.fileName.clear();
  ClearSelection(*document());
  current_ = -1;
  // A new document starts at 100%.
  zoom_ = 0;
  strip_->setZoom(0);
  strip_->setDocument(document());
  setModified(!plain);
  if (plain) rememberRecent(state_.fileName);
  if (read == 1 && paths.size() == 1) splitFilmstripByName(Path(paths.front()));
  updateTitle();
  setCurrentFrame(-1);
  RefreshSize(document(), true, sizeDisplay_.get());
  RefreshColourUsage(document());
  if (!Prefs().bit(pref::kOptionFlags, 1u << 21) && document()->frameCount > 1 && isVisible()) togglePreview(false);
  return read;
}

int MainWindow::insertFiles(QStringList paths) {
  if (!document()) return openFiles(paths);
  std::stable_sort(paths.begin(), paths.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(Path(a), Path(b)); });
  stopWorkersAndPreview();
  const int at = current_ >= 0 ? current_ : document()->frameCount;
  UndoPtr pending = PrepareUndo(undo_kind::kInsertFrames, *document(), at);
  int read = 0, status = kReadFailed;
  AnimPtr chain = readFiles(paths, read, status);
  state_.currentFrame = current_;
  if (!chain || !MergeLoadedAnimations(state_, std::move(chain), 0, DocumentPaletteReconciler())) {
    DiscardUndo(std::move(pending));
    return 0;
  }
  if (pending) CommitUndoInsert(std::move(pending), *document());
  updateTitle();
  afterEdit(true, true);
  return read;
}

// A one-picture file named "name (MxN).ext" holds M x N frames.
void MainWindow::splitFilmstripByName(const std::string& path) {
  AnimHeader* doc = document();
  int columns = 0, rows = 0;
  if (!doc || doc->frameCount != 1 || !ParseFilmstripName(path, columns, rows)) return;
  if (FilmstripImportProblem(*doc, columns, rows) != 0) return;
  StripLayout layout;
  layout.totalWidth = doc->screenWidth;
  layout.totalHeight = doc->screenHeight;
  layout.columns = columns;
  layout.rows = rows;
  if (!SplitStrip(*doc, layout)) return;
  doc->encodedSize = -1;
  state_.fileName.clear();
  strip_->setDocument(doc);
  setModified(true);
  propertyBar_->refresh(doc, current_, false);
}

// The open dialogs start where the last one ended, or among the samples.
static QString OpenDialogFolder() {
  if (PreferenceStore* store = Prefs().store()) {
    if (auto dir = store->text("InitDir"); dir && !dir->empty()) return QString::fromStdString(*dir);
  }
  const QString samples = QCoreApplication::applicationDirPath() + "/samples";
  return QFileInfo(samples).isDir() ? samples : QString();
}

static void RememberOpenFolder(const QStringList& paths) {
  if (PreferenceStore* store = Prefs().store(); store && !paths.isEmpty())
    store->setText("InitDir", QFileInfo(paths.front()).absolutePath().toStdString());
}

void MainWindow::openWithDialog(const QString& filter) {
  const QStringList paths = QFileDialog::getOpenFileNames(this, Text(40230), OpenDialogFolder(), filter);
  if (paths.isEmpty()) return;
  RememberOpenFolder(paths);
  openFiles(paths);
}

void MainWindow::insertWithDialog() {
  const QStringList paths =
      QFileDialog::getOpenFileNames(this, Text(40229), OpenDialogFolder(), QString::fromLatin1(kOpenFilters));
  if (paths.isEmpty()) return;
  RememberOpenFolder(paths);
  insertFiles(paths);
}

bool MainWindow::closeDocument() {
  if (document() && modified_) {
    const std::string text = state_.fileName.empty() ? MessageText(40249)
                                                     : FormatText(MessageText(40250), state_.fileName.c_str());
    const Answer a = Messages().ask(40250, text, "Framewright", Buttons::YesNoCancel, Answer::Yes);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes && !saveDocument()) return false;
  }
  stopWorkersAndPreview();
  strip_->setDocument(nullptr);
  state_.document.reset();
  state_.fileName.clear();
  ClearUndo();
  current_ = -1;
  state_.currentFrame = -1;
  setModified(false);
  shownSize_ = -1;
  updateTitle();
  setCurrentFrame(-1);
  return true;
}

void MainWindow::restart() { closeDocument(); }

void MainWindow::revert() {
  if (!modified_ || state_.fileName.empty()) return;
  if (Messages().ask(40232, MessageText(40232), MessageText(40233), Buttons::OkCancel, Answer::Ok) != Answer::Ok)
    return;
  setModified(false);
  openFiles({QString::fromStdString(state_.fileName)});
}

// --- save ---

bool MainWindow::saveDocument() {
  AnimHeader* doc = document();
  if (!doc) return false;
  if (state_.fileName.empty()) return saveAsWithDialog(kSaveGif);
  CancelAndWait(worker::kDocument);
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const int type = SaveTypeForName(state_.fileName);
  auto progress = CreateProgress(progressHook_.get(), 0);
  if (!WriteDocument(state_.fileName, *doc, 1, type, progress.get())) return false;
  setModified(false);
  updateCommandStates();
  return true;
}

bool MainWindow::saveDocumentAs(const QString& path) {
  const AnimHeader* doc = document();
  if (!doc) return false;
  const int type = SaveTypeForName(Path(path));
  const auto styles = OfferedSaveStyles(type, doc->frameCount);
  const bool animation = !styles.empty() && styles.front() == SaveStyle::Animation;
  const uint32_t options = animation ? save_option::kAnimation : save_option::kNoStyle;
  return saveDocumentAs(path, type, options);
}

// Whether the written file holds the whole animation, so the document takes its name.
static bool FileHoldsDocument(int type, uint32_t options, int frameCount) {
  switch (type) {
    case kSaveAvi:
    case kSavePsd:
    case kSaveCur:
    case kSaveIco:
    case kSaveAni: return true;
    case kSaveGif:
    case kSavePng: return frameCount == 1 || (options & save_option::kAnimation);
    case kSaveBmp:
    case kSaveJpg: return frameCount == 1;
    default: return false;
  }
}

bool MainWindow::saveDocumentAs(const QString& path, int type, uint32_t options) {
  AnimHeader* doc = document();
  if (!doc) return false;
  CancelAndWait(worker::kDocument);
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const std::string target = Path(path);
  auto progress = CreateProgress(progressHook_.get(), 0);
  if (!WriteDocument(target, *doc, options, type, progress.get())) return false;
  // Bits 8-15 keep the JPEG quality.
  const uint32_t memory = Prefs().read(pref::kSaveAsMemory);
  Prefs().write(pref::kSaveAsMemory, (memory & 0xFF00u) | static_cast<uint32_t>(type) | (options & 0xFFFFu) << 16);
  if (PreferenceStore* store = Prefs().store()) store->setText("SaveDir", Path(QFileInfo(path).absolutePath()));
  if (FileHoldsDocument(type, options, doc->frameCount)) {
    state_.fileName = target;
    setModified(false);
    rememberRecent(target);
    updateTitle();
  }
  updateCommandStates();
  return true;
}

bool MainWindow::saveAsWithDialog(int fixedType) {
  AnimHeader* doc = document();
  if (!doc) return false;
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const uint32_t memory = Prefs().read(pref::kSaveAsMemory);
  SaveAsDialog dialog(*doc, state_.fileName, static_cast<int>(memory & 0xFF), fixedType, memory >> 16, this);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QString path = dialog.target();
    const uint32_t options = dialog.options();
    QFileInfo info(path);
    // Numbered files replace theirs one by one.
    if (!(options & save_option::kSequence) && info.exists()) {
      if (!info.isWritable()) {
        Messages().ask(40366, FormatText(MessageText(40366), Path(path).c_str()), MessageText(40334), Buttons::Ok,
                       Answer::Ok);
        continue;
      }
      if (Messages().ask(40337, FormatText(MessageText(40337), Path(path).c_str()), MessageText(40334),
                         Buttons::YesNo, Answer::No) != Answer::Yes)
        continue;
    }
    return saveDocumentAs(path, dialog.type(), options);
  }
}

// --- recent files ---

void MainWindow::rememberRecent(const std::string& path) {
  PreferenceStore* store = Prefs().store();
  if (!store || path.empty()) return;
  std::vector<std::string> list{path};
  for (int n = 1; n <= 7; ++n) {
    auto v = store->text("File" + std::to_string(n));
    if (!v || v->empty()) continue;
    if (QString::fromStdString(*v).compare(QString::fromStdString(path), Qt::CaseInsensitive) == 0) continue;
    if (list.size() < 7) list.push_back(*v);
  }
  for (int n = 1; n <= 7; ++n) {
    if (n <= static_cast<int>(list.size())) store->setText("File" + std::to_string(n), list[static_cast<size_t>(n - 1)]);
    else store->remove("File" + std::to_string(n));
  }
  rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu() {
  for (QAction* a : recentActions_) {
    actions_.remove(a->data().toInt());
    delete a;
  }
  recentActions_.clear();
  PreferenceStore* store = Prefs().store();
  if (!store || !fileMenu_) return;
  for (int n = 1; n <= 7; ++n) {
    auto v = store->text("File" + std::to_string(n));
    if (!v || v->empty()) break;
    const QString name = QFileInfo(QString::fromStdString(*v)).fileName();
    QAction* a = makeAction(cmd::kRecentFirst + n - 1, QStringLiteral("&%1: %2").arg(n).arg(name));
    a->setToolTip(QString::fromStdString(*v));
    fileMenu_->insertAction(recentSeparator_, a);
    recentActions_ << a;
  }
}

void MainWindow::openRecent(int n) {
  PreferenceStore* store = Prefs().store();
  if (!store) return;
  auto v = store->text("File" + std::to_string(n));
  if (!v) return;
  if (openFiles({QString::fromStdString(*v)}) > 0) return;
  // A file that cannot be opened leaves the list; later entries move up.
  for (int k = n; k < 7; ++k) {
    auto next = store->text("File" + std::to_string(k + 1));
    if (next) store->setText("File" + std::to_string(k), *next);
    else {
      store->remove("File" + std::to_string(k));
      break;
    }
  }
  store->remove("File7");
  rebuildRecentMenu();
}

// --- editing ---

void MainWindow::deleteSelection() {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) {
    QApplication::beep();
    return;
  }
  const bool several = doc->selectedCount > 1;
  const int deletedIndex = current_;
  stopWorkersAndPreview();
  GifBlock* head = nullptr;
  GifBlock* tail = nullptr;
  int index = 0;
  for (ImageBlock* f = FirstImage(doc); f;) {
    ImageBlock* next = NextImage(f);
    if (f->selected) {
      f->formerIndex = index;
      GifBlock* b = DetachBlock(f).release();
      --doc->frameCount;
      b->next = b->prev = nullptr;
      if (tail) {
        tail->next = b;
        b->prev = tail;
      } else {
        head = b;
      }
      tail = b;
    }
    ++index;
    f = next;
  }
  // Without undo the detached frames go with the chain.
  BlockChain chain(head);
  RecordUndo(undo_kind::kDeleteFrames, *doc, nullptr, std::move(chain), 0);
  doc->encodedSize = -1;
  ClearSelection(*doc);
  if (several || doc->frameCount == 0) {
    current_ = -1;
  } else {
    current_ = std::min(deletedIndex, doc->frameCount - 1);
    SelectFrames(*doc, current_, kSelectPlain);
  }
  afterEdit(true, true);
}

void MainWindow::copySelection(bool cut) {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) {
    QApplication::beep();
    return;
  }
  if (cut) stopWorkersAndPreview();
  const std::vector<uint8_t> record = PackFrames(*doc);
  if (record.empty()) return;
  const ImageBlock* current = ImageAt(doc, current_);
  QMimeData* data = MakeFramesMimeData(record, current ? FrameToImage(*current, true) : QImage());
  QApplication::clipboard()->setMimeData(data);
  if (cut) deleteSelection();
  updateCommandStates();
}

void MainWindow::paste() {
  if (!ClipboardHasFrames(QApplication::clipboard()->mimeData())) {
    ShowMessage(40244);
    return;
  }
  WaitForWorkers(worker::kUsage);
  stopWorkersAndPreview();
  AnimPtr frames = ClipboardFrames(QApplication::clipboard()->mimeData());
  if (!frames) {
    ShowMessage(40244);
    return;
  }
  const int count = frames->frameCount;
  const bool hadDocument = document() != nullptr;
  const int at = hadDocument && current_ >= 0 ? current_ : (hadDocument ? document()->frameCount : 0);
  UndoPtr pending = hadDocument ? PrepareUndo(undo_kind::kPaste, *document(), at) : nullptr;
  state_.currentFrame = hadDocument ? current_ : -1;
  if (!MergeLoadedAnimations(state_, std::move(frames), 0, DocumentPaletteReconciler())) {
    DiscardUndo(std::move(pending));
    return;
  }
  if (pending) CommitUndoInsert(std::move(pending), *document());
  if (!hadDocument) strip_->setDocument(document());
  SelectFrames(*document(), at, kSelectPlain);
  SelectFrames(*document(), at + count - 1, kSelectExtend);
  current_ = at;
  updateTitle();
  afterEdit(true, true);
}

void MainWindow::undoRedo(bool redo) {
  AnimHeader* doc = document();
  if (!doc) return;
  // A timing step changes only delays: an open preview reloads them instead of closing.
  const bool timing = (redo ? NextRedoKind() : CurrentUndoKind()) == undo_kind::kEditTiming;
  if (timing) CancelAndWait(worker::kDocument);
  else stopWorkersAndPreview();
  const uint32_t hints = ApplyUndo(*doc, redo);
  applyUndoHints(hints);
  if (preview_ && (hints & undo_hint::kDelays)) preview_->reloadDelays();
}

void MainWindow::moveSelectionTo(int insertion) {
  AnimHeader* doc = document();
  if (!doc) return;
  const DragMove plan = PlanDragMove(*doc, current_, insertion);
  if (!plan.moves) return;
  stopWorkersAndPreview();
  // The record's own redo is the move, so the strip and undo can never disagree about it.
  UndoRecord temporary;
  temporary.kind = plan.kind;
  temporary.value = plan.value;
  temporary.extra.assign(plan.formers.begin(), plan.formers.end());
  ApplyUndoRecord(*doc, temporary, true);
  RecordUndo(plan.kind, *doc, nullptr, {}, plan.value, std::vector<int32_t>(plan.formers.begin(), plan.formers.end()));
  current_ = plan.newCurrent;
  doc->encodedSize = -1;
  afterEdit(false, true);
}

void MainWindow::rotate(int id) {
  AnimHeader* doc = document();
  if (!doc) return;
  stopWorkersAndPreview();
  if (id >= cmd::kAllRotateCw && id <= cmd::kAllFlipV) {
    RotateAllCommand(*doc, id);
  } else {
    if (current_ < 0) return;
    int index = 0;
    for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++index)
      if (f->selected) RotateFrameCommand(*doc, index, id);
  }
  strip_->documentChanged();
  afterEdit(false, true);
}

void MainWindow::centreAll() {
  AnimHeader* doc = document();
  if (!doc) return;
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kAllFrameProperties, *doc, nullptr, {}, 0);
  for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) {
    f->left = (doc->screenWidth - f->width) / 2;
    f->top = (doc->screenHeight - f->height) / 2;
  }
  doc->encodedSize = -1;
  afterEdit(false, true);
}

void MainWindow::selectAll(bool invert) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (invert) {
    for (int i = 0; i < doc->frameCount; ++i) SelectFrames(*doc, i, kSelectToggle);
    current_ = CurrentAfterSelect(*doc, -1);
  } else if (doc->frameCount > 0) {
    SelectFrames(*doc, 0, kSelectPlain);
    SelectFrames(*doc, doc->frameCount - 1, kSelectExtend);
    current_ = 0;
  }
  strip_->viewport()->update();
  setCurrentFrame(current_);
}

// --- property bar ---

void MainWindow::setDelayOfSelection(int value) {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) return;
  if (value < 0 || value > 65535) {
    Messages().ask(40155, MessageText(40155), MessageText(40156), Buttons::Ok, Answer::Ok);
    value = 65535;
  }
  // A delay changes no frame the preview shows, so it stays open and is told the new delays.
  CancelAndWait(worker::kDocument);
  RecordUndo(undo_kind::kEditTiming, *doc, nullptr, {}, 0);
  int index = 0;
  for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++index) {
    if (!f->selected) continue;
    f->delay = value;
    if (preview_) preview_->setFrameDelay(index, value);
  }
  afterEdit(false, false);
}

void MainWindow::setDisposalOfCurrent(int method) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || f->disposal() == method) return;
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kFrameProperties, *doc, nullptr, {}, 0 | current_ << 16);
  SetDisposal(*f, method);
  doc->encodedSize = -1;
  afterEdit(false, true);
}

void MainWindow::setTransparencyOfCurrent(bool on) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || f->transparent() == on) return;
  // Ticking keeps the frame's stored transparent index: choosing another colour needs the
  // transparency chooser, which comes with the palette editors.
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kEditTransparency, *doc, nullptr, {}, (on ? 1 : 0) | current_ << 16);
  SetTransparency(*f, on);
  doc->encodedSize = -1;
  strip_->frameChanged(current_);
  afterEdit(false, true);
}

void MainWindow::setLocalPaletteOfCurrent(bool on) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || static_cast<bool>(f->localPalette) == on) return;
  stopWorkersAndPreview();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  UndoPtr pending = PrepareUndo(undo_kind::kDeleteLocalPalette, *doc, current_);
  bool done = false;
  if (on && doc->globalPalette) {
    SetLocalPalette(*f, doc->globalPalette->copy());
    done = true;
  } else if (!on && doc->globalPalette) {
    // The frame's pixels must show the same colours through the global palette.
    std::unique_ptr<Palette> old = SetLocalPalette(*f, nullptr);
    const Palette& g = *doc->globalPalette;
    if (f->indexedImage && old) {
      uint8_t map[256];
      for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i < old->count() ? g.nearest((*old)[i]) : 0);
      IndexedImage& ix = *f->indexedImage;
      for (int y = 0; y < ix.height; ++y)
        for (int x = 0; x < ix.width; ++x) ix.row(y)[x] = map[ix.row(y)[x]];
      if (f->transparent()) f->transparentIndex = map[f->transparentIndex];
    }
    f->activePalette = doc->globalPalette.get();
    if (f->indexedImage) SetColourTable(*f->indexedImage, f->activePalette);
    done = true;
  }
  if (done && pending) CommitUndoLocalPalette(std::move(pending), *doc);
  else DiscardUndo(std::move(pending));
  QApplication::restoreOverrideCursor();
  doc->encodedSize = -1;
  strip_->frameChanged(current_);
  afterEdit(false, true);
}

void MainWindow::setLoopCount(int value) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (value < 0 || value > 65536) {
    Messages().ask(40234, MessageText(40234), MessageText(40158), Buttons::Ok, Answer::Ok);
    value = 0;
  }
  if (value == doc->playCount) {
    propertyBar_->refresh(doc, current_, false);
    return;
  }
  stopWorkersAndPreview();
  // The loop count lives in the header, which only the whole-document form of this step holds.
  RecordUndo(undo_kind::kAllFrameProperties, *doc, nullptr, {}, 1);
  doc->playCount = value;
  doc->encodedSize = -1;
  afterEdit(false, true);
}

// --- preview, help ---

void MainWindow::togglePreview(bool selectionOnly, bool timing) {
  if (preview_) {
    preview_->close();
    return;
  }
  AnimHeader* doc = document();
  if (!doc || doc->frameCount < 1) return;
  PreviewDialog::Options options;
  options.selectionOnly = selectionOnly;
  options.timing = timing;
  options.startFrame = timing ? current_ : -1;
  preview_ = new PreviewDialog(*doc, options, this);
  connect(preview_, &PreviewDialog::closing, this, [this] {
    preview_ = nullptr;
    updateCommandStates();
  });
  // Delays never change the encoded size (every frame carries its control block), so the
  // size workers are left alone.
  connect(preview_, &PreviewDialog::delaysWritten, this, [this] {
    setModified(true);
    propertyBar_->refresh(document(), current_, false);
    strip_->viewport()->update();
    updateStatus();
    updateCommandStates();
  });
  connect(preview_, &PreviewDialog::timingPanelToggled, propertyBar_, &PropertyBar::setTimingPanelShown);
  connect(preview_, &PreviewDialog::undoRequested, this, [this] { dispatch(cmd::kUndo); });
  preview_->begin();
  updateCommandStates();
}

void MainWindow::openHelpPage(const char* page) {
  QStringList candidates{QCoreApplication::applicationDirPath() + "/../share/framewright/docs/" + page,
                         QCoreApplication::applicationDirPath() + "/docs/" + page,
                         QStringLiteral(FW_DOCS_DIR "/") + page};
  for (const QString& c : candidates) {
    if (QFileInfo::exists(c)) {
      // The tutorial works on the sample animations: the next Open starts among them.
      const QString samples = QCoreApplication::applicationDirPath() + "/samples";
      if (std::string(page) == "tutorial.html" && QFileInfo(samples).isDir())
        if (PreferenceStore* store = Prefs().store()) store->setText("InitDir", Path(samples));
      QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(c).absoluteFilePath()));
      return;
    }
  }
  ShowMessage(std::string(page) == "index.html" ? 40231 : 40286);
}

// --- dispatcher ---

void MainWindow::dispatch(int id) {
  const cmd::Command* c = cmd::FindCommand(id);
  if (c && c->grey == cmd::Grey::Unavailable) return;
  if (id >= cmd::kRecentFirst && id <= cmd::kRecentLast) return openRecent(id - cmd::kRecentFirst + 1);
  if (id >= 40060 && id <= 40067) {
    zoom_ = id - 40064;
  } else if (id >= 40093 && id <= 40098) {
    Prefs().write(pref::kDownloadSpeed, static_cast<uint32_t>(id - 40093));
    updateStatus();
  } else if (const char* filter = ImportFilter(id)) {
    openWithDialog(QString::fromLatin1(filter));
  } else if (id == cmd::kRotate180 || id == cmd::kRotateCw || id == cmd::kRotateCcw || id == cmd::kFlipH ||
             id == cmd::kFlipV || (id >= cmd::kAllRotateCw && id <= cmd::kAllFlipV)) {
    rotate(id);
  }
  switch (id) {
    case cmd::kOpen: openWithDialog(QString::fromLatin1(kOpenFilters)); break;
    case cmd::kInsert: insertWithDialog(); break;
    case cmd::kSave: saveDocument(); break;
    case cmd::kSaveAs: saveAsWithDialog(-1); break;
    case cmd::kSaveAsGif: saveAsWithDialog(kSaveGif); break;
    case cmd::kRevert: revert(); break;
    case cmd::kRestart: restart(); break;
    case cmd::kExit: close(); break;
    case cmd::kUndo: undoRedo(false); break;
    case cmd::kRedo: undoRedo(true); break;
    case cmd::kCopy: copySelection(false); break;
    case cmd::kCut: copySelection(true); break;
    case cmd::kPaste: paste(); break;
    case cmd::kDelete: deleteSelection(); break;
    case cmd::kSelectAll: selectAll(false); break;
    case cmd::kInvertSelection: selectAll(true); break;
    case cmd::kCentreAll: centreAll(); break;
    case cmd::kUnoptimize:
      if (document()) {
        stopWorkersAndPreview();
        auto progress = CreateProgress(progressHook_.get(), 0);
        UnoptimizeCommand(*document(), progress.get());
        document()->encodedSize = -1;
        afterEdit(true, true);
      }
      break;
    case cmd::kReverse:
      if (document()) {
        stopWorkersAndPreview();
        if (ReverseCommand(*document())) {
          current_ = CurrentAfterSelect(*document(), -1);
          afterEdit(false, true);
        }
      }
      break;
    case cmd::kBounce:
      if (document()) {
        stopWorkersAndPreview();
        if (BounceCommand(*document()) > 0) afterEdit(true, true);
      }
      break;
    case cmd::kPreview:
    case cmd::kStopPreview: togglePreview(false); break;
    case cmd::kPreviewSelected: togglePreview(true); break;
    case cmd::kEditTiming:
      if (preview_) preview_->close();
      togglePreview(false, true);
      break;
    case cmd::kShowPropertyBar: {
      const bool show = !propertyBar_->isVisible();
      propertyBar_->setVisible(show);
      Prefs().setBits(pref::kOptionFlags, 1u << 28, !show);
      break;
    }
    case cmd::kZoomIn: zoom_ = ClampZoom(zoom_ + 1); break;
    case cmd::kZoomOut: zoom_ = ClampZoom(zoom_ - 1); break;
    case cmd::kActualSize: zoom_ = 0; break;
    case cmd::kOrientAuto: strip_->setOrientation(0); break;
    case cmd::kOrientVertical: strip_->setOrientation(4097); break;
    case cmd::kOrientHorizontal: strip_->setOrientation(4098); break;
    case cmd::kTransWindow:
    case cmd::kTransFrame:
    case cmd::kTransCustom: strip_->transparencyCommand(id); break;
    case cmd::kFrameTips: strip_->toggleFrameTips(); break;
    case cmd::kPreferences: runPreferences(); break;
    case cmd::kHelp: openHelpPage("index.html"); break;
    case cmd::kTutorial: openHelpPage("tutorial.html"); break;
    case cmd::kAbout:
      QMessageBox::about(this, QStringLiteral("Framewright"), Format(40310, "2.0"));
      break;
    case cmd::kComments: editComments(); break;
    default: break;
  }
  strip_->setZoom(zoom_);
  updateStatus();
  updateCommandStates();
}

// --- window events ---

void MainWindow::closeEvent(QCloseEvent* e) {
  if (!closeDocument()) {
    e->ignore();
    return;
  }
  e->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
  QStringList paths;
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  if (!paths.isEmpty()) openFiles(paths);
}

}  // namespace fw
