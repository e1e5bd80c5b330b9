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
#include <QRegularExpression>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/commands.h"
#include "core/number_text.h"
#include "app/gui_services.h"
#include "app/live_edit.h"
#include "app/pixel_edit_command.h"
#include "app/window_text.h"
#include "app/preferences/merge_questions.h"
#include "core/clipboard_record.h"
#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/picture_limit.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_apply.h"
#include "core/undo_history.h"
#include "core/web_timing.h"
#include "core/workers.h"
#include "formats/file_dispatch.h"
#include "gif/frame_costs.h"
#include "gif/gif_writer.h"
#include "imaging/transforms.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "imaging/palette_reconcile.h"
#include "imaging/keep_pictures.h"
#include "imaging/transform_commands.h"
#include "ui/clipboard_frames.h"
#include "ui/frame_image.h"
#include "ui/frame_strip.h"
#include "app/data_folders.h"
#include "ui/help_browser.h"
#include "ui/tool_icons.h"
#include "ui/preview_dialog.h"
#include "ui/psd_layers_dialog.h"
#include "formats/psd_file.h"
#include "ui/property_bar.h"
#include "ui/save_as_dialog.h"
#include "ui/save_style_panel.h"
#include "ui/start_panel.h"
#include "ui/strip_geometry.h"

namespace fw {
namespace {

using namespace window_text;

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

bool MeasureFrameCosts(const AnimHeader& document, std::vector<int64_t>& costs, const std::function<bool()>& going) {
  return SizeWorkerFrameCosts().measure(document, costs, going);
}

constexpr uint32_t kHideStartPanel = 1u << 4;

// The window that answers the PSD reader's layer question.
const MainWindow* g_psdAskerOwner = nullptr;

}  // namespace

MainWindow::MainWindow() {
  setObjectName(QStringLiteral("Framewright"));
  sink_ = std::make_unique<MessageBoxSink>(this);
  progressHook_ = std::make_unique<DialogProgressHook>(this);
  liveEdit_ = new LiveEdit(*this);
  sizeDisplay_ = std::make_unique<QueuedSizeDisplay>([this](int32_t bytes) { showSize(bytes); });
  SetEncodedSizeMeasure(&MeasureEncodedSize);
  SetFrameCostMeasure(&MeasureFrameCosts);
  InstallTransformUndo();
  InstallMergeQuestions(this);
  // A layered file coming back from live editing holds our own frames, one layer each: it is
  // read back without asking.
  SetPsdLayerAsker([this] {
    return liveEdit_ && liveEdit_->reloading() ? psd_choice::kDefaultLayers : AskPsdLayerChoice(this);
  });
  g_psdAskerOwner = this;
  // A picture larger than the limit may still be wanted (a large scan, a poster): the user decides.
  SetPictureLimitAsker([](const std::string& question) {
    return Messages().ask(0, question, "Framewright", Buttons::YesNo, Answer::No) == Answer::Yes;
  });
  strip_ = new FrameStrip(this);
  setCentralWidget(strip_);
  sizeDisplay_->setWantsFrameCosts(strip_->showFrameCosts());
  sizeDisplay_->setFrameCostReceiver([this](std::vector<int64_t> costs) {
    // A measurement of frames since removed or added is left for the one that follows.
    if (document() && static_cast<int>(costs.size()) == document()->frameCount) strip_->setFrameCosts(std::move(costs));
  });
  connect(strip_, &FrameStrip::frameCostsWanted, this, [this](bool on) {
    sizeDisplay_->setWantsFrameCosts(on);
    if (on && document()) RefreshSize(document(), false, sizeDisplay_.get());
  });
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
  webTimingWarning_ = new QLabel(this);
  webTimingWarning_->setObjectName(QStringLiteral("webTimingWarning"));
  webTimingWarning_->setStyleSheet(QStringLiteral("color: #b00000"));
  webTimingWarning_->hide();
  statusBar()->addPermanentWidget(webTimingWarning_);
  connect(strip_, &FrameStrip::selectionChanged, this, [this](int current) { setCurrentFrame(current); });
  connect(strip_, &FrameStrip::dropAt, this, [this](int insertion) { moveSelectionTo(insertion); });
  connect(strip_, &FrameStrip::zoomStepRequested, this, [this](int direction) {
    if (QAction* zoom = action(direction > 0 ? cmd::kZoomIn : cmd::kZoomOut); zoom && zoom->isEnabled()) zoom->trigger();
  });
  strip_->setCommandProvider({[this] { updateCommandStates(); }, [this](int id) { return action(id); }});
  connect(strip_, &FrameStrip::filesDropped, this, [this](int index, QStringList paths) {
    if (document()) {
      setCurrentFrame(index);
      dropIntoDocument(paths);
    } else {
      openFiles(paths);
    }
  });
  connect(propertyBar_, &PropertyBar::delayEdited, this, [this](int v) { setDelayOfSelection(v); });
  connect(propertyBar_, &PropertyBar::disposalChosen, this, [this](int m) { setDisposalOfCurrent(m); });
  connect(propertyBar_, &PropertyBar::transparencyToggled, this, [this](bool on) {
    if (on) chooseTransparency(current_);
    else setTransparencyOfCurrent(false);
  });
  connect(propertyBar_, &PropertyBar::transparentColourRequested, this, [this] { chooseTransparency(current_); });
  connect(propertyBar_, &PropertyBar::localPaletteToggled, this, [this](bool on) { setLocalPaletteOfCurrent(on); });
  connect(propertyBar_, &PropertyBar::trueColourToggled, this, [this](bool on) { setTrueColourOfCurrent(on); });
  propertyBar_->bindCommands([this](int id) { return action(id); });
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
  // A second window (a test's) may have taken the question over since.
  if (g_psdAskerOwner == this) {
    SetPsdLayerAsker(nullptr);
    SetPictureLimitAsker(nullptr);
    g_psdAskerOwner = nullptr;
  }
  CancelAndWait(worker::kDocument);
  if (preview_) preview_->close();
  state_.document.reset();
  ClearUndo();
}

QAction* MainWindow::makeAction(int id, const QString& text) {
  auto* a = new QAction(text, this);
  a->setData(id);
  a->setObjectName(QStringLiteral("c%1").arg(id));
  if (const char* tip = cmd::CommandTip(id)) a->setToolTip(QString::fromUtf8(tip));
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
                 cmd::kOrientVertical, cmd::kTransWindow, cmd::kTransFrame, cmd::kTransCustom, cmd::kFrameTips,
                 cmd::kShowComposed, cmd::kShowFrameCosts})
    actions_[id]->setCheckable(true);
  for (int id = 40060; id <= 40067; ++id) actions_[id]->setCheckable(true);
  for (int id = 40093; id <= 40098; ++id) actions_[id]->setCheckable(true);
  // Commands that live only on the toolbar.
  makeAction(cmd::kStopPreview, QStringLiteral("■"));
  makeAction(cmd::kActualSize, QStringLiteral("1:1"));
  makeAction(cmd::kEndLiveEdit, QString());
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
      {cmd::kReduceColours, QKeySequence(Qt::CTRL | Qt::Key_R)}, {cmd::kOptimize, QKeySequence(Qt::CTRL | Qt::Key_T)},
      {cmd::kMakeWebSafe, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
      {cmd::kSaveForSize, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S)}};
  // The desktop's own keys besides the traditional ones: zoom on Ctrl++ / Ctrl+= / Ctrl+- /
  // Ctrl+0, redo also on Ctrl+Shift+Z.
  const std::pair<int, QList<QKeySequence>> extraKeys[] = {
      {cmd::kZoomIn, {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}},
      {cmd::kZoomOut, {QKeySequence(Qt::CTRL | Qt::Key_Minus)}},
      {cmd::kActualSize, {QKeySequence(Qt::CTRL | Qt::Key_0)}},
      {cmd::kRedo, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}}};
  for (const auto& [id, extra] : extraKeys) {
    actions_[id]->setShortcuts(extra);
    actions_[id]->setShortcutContext(Qt::ApplicationShortcut);
  }
  for (const auto& [id, key] : keys) {
    QList<QKeySequence> all{key};
    for (const auto& [extraId, extra] : extraKeys)
      if (extraId == id) all += extra;
    actions_[id]->setShortcuts(all);
    actions_[id]->setShortcutContext(Qt::ApplicationShortcut);
  }
  pruneRecentFiles();
  rebuildRecentMenu();
}

void MainWindow::buildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("main"));
  bar->setObjectName(QStringLiteral("MainToolBar"));
  bar->setMovable(false);
  // Text beside the icons of the commands used most; the others show their icon alone, so
  // the bar fits the window's default width.
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  const int withText[] = {cmd::kOpen, cmd::kSave, cmd::kPreview, cmd::kOptimize};
  bool first = true;
  for (const auto& group : cmd::ToolBarGroups()) {
    if (!first) bar->addSeparator();
    first = false;
    for (int id : group) {
      QAction* a = actions_[id];
      a->setIcon(ToolIcon(id));
      // The menu text without its mnemonic "(&O)" and trailing dots.
      a->setIconText(a->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)|&|\\.\\.\\.$"))));
      a->setPriority(std::find(std::begin(withText), std::end(withText), id) != std::end(withText)
                         ? QAction::NormalPriority
                         : QAction::LowPriority);
      bar->addAction(a);
    }
  }
}

// --- state ---

void MainWindow::setModified(bool on) {
  modified_ = on;
  setWindowModified(on);
  if (QAction* save = actions_.value(cmd::kSave)) save->setEnabled(on);
}

void MainWindow::updateTitle() {
  const QString name = state_.fileName.empty() ? Text(msg::kUntitled)
                                               : QFileInfo(QString::fromStdString(state_.fileName)).fileName();
  // "[*]" is where Qt shows the unsaved-changes mark.
  setWindowTitle(QStringLiteral("%1[*] - Framewright").arg(name));
  setWindowModified(modified_);
}

QString MainWindow::statusText(int part) const { return status_[part]->text(); }

void MainWindow::updateStatus() {
  startPanel_->setVisible(!document() && !Prefs().bit(pref::kMoreFlags, kHideStartPanel));
  const AnimHeader* doc = document();
  if (!doc) {
    status_[0]->setText(Text(40169));
    for (int i = 1; i < 5; ++i) status_[i]->clear();
    webTimingWarning_->clear();
    webTimingWarning_->hide();
    return;
  }
  if (doc->selectedCount > 1) status_[0]->setText(Format(40285, doc->frameCount));
  else if (current_ >= 0) status_[0]->setText(Format(40171, current_ + 1, doc->frameCount));
  else status_[0]->setText(Format(40170, doc->frameCount));
  status_[1]->setText(Format(40280, doc->screenWidth, doc->screenHeight));
  double total = 0;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) total += f->delay;
  status_[2]->setText(Format(40177, total * 0.01));
  const int slowed = CountDelaysBrowsersChange(*doc, Prefs().timeBase());
  webTimingWarning_->setText(slowed ? Format(msg::kBrowsersSlowFrames, slowed) : QString());
  webTimingWarning_->setVisible(slowed > 0);
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
  const std::string grouped = GroupThousands(bytes, separator);
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
  actions_[cmd::kShowComposed]->setChecked(strip_->showComposed());
  actions_[cmd::kShowFrameCosts]->setChecked(strip_->showFrameCosts());
  RefreshLiveEditActions(*this, *liveEdit_);
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

void MainWindow::afterEdit(bool frameCountChanged, bool blockDataChanged, int onlyFrame) {
  setModified(true);
  AnimHeader* doc = document();
  if (doc) {
    CountSelected(*doc);
    if (current_ >= doc->frameCount) current_ = -1;
  }
  state_.currentFrame = current_;
  strip_->setCurrent(current_);
  if (!frameCountChanged && onlyFrame >= 0) strip_->frameChanged(onlyFrame);
  else if (frameCountChanged || blockDataChanged) strip_->documentChanged();
  else strip_->viewport()->update();
  propertyBar_->refresh(doc, current_, false);
  updateStatus();
  if (doc) {
    RefreshSize(doc, blockDataChanged, sizeDisplay_.get());
    RefreshColourUsage(doc);
  }
  updateCommandStates();
}

void MainWindow::documentEdited(int onlyFrame) {
  if (onlyFrame >= 0) afterEdit(false, true, onlyFrame);
  else afterEdit(true, true);
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

void MainWindow::noteKeptEdit(const KeptEdit& kept) {
  if (kept.expanded) statusBar()->showMessage(QString::fromUtf8(ExpandedNote()), 10000);
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
  const QString found = ManualPage(QString::fromLatin1(page));
  if (found.isEmpty()) {
    ShowMessage(std::string(page) == "index.html" ? 40231 : 40286);
    return;
  }
  // The tutorial works on the sample animations: the next Open starts among them.
  const QString samples = SamplesFolder();
  if (std::string(page) == "tutorial.html" && !samples.isEmpty())
    if (PreferenceStore* store = Prefs().store()) store->setText("InitDir", Path(samples));
  const QUrl url = QUrl::fromLocalFile(found);
  if (DesktopShowsHtml() && QDesktopServices::openUrl(url)) return;
  if (!helpBrowser_) helpBrowser_ = new HelpBrowser(this);
  helpBrowser_->showPage(url);
}

// --- dispatcher ---

void MainWindow::dispatch(int id) {
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
        auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
        // Only a step that changed something marks the document modified.
        if (UnoptimizeCommand(*document(), progress.get()) > 0) {
          document()->encodedSize = -1;
          afterEdit(true, true);
        } else {
          afterNothingChanged();
        }
      }
      break;
    case cmd::kReverse:
      if (document()) {
        stopWorkersAndPreview();
        KeptEdit kept;
        if (ReverseCommand(*document(), &kept)) {
          current_ = CurrentAfterSelect(*document(), -1);
          afterEdit(kept.expanded, true);
          noteKeptEdit(kept);
        } else {
          afterNothingChanged();
        }
      }
      break;
    case cmd::kBounce:
      if (document()) {
        stopWorkersAndPreview();
        KeptEdit kept;
        if (BounceCommand(*document(), &kept) > 0) {
          afterEdit(true, true);
          noteKeptEdit(kept);
        } else {
          afterNothingChanged();
        }
      }
      break;
    case cmd::kPreview:
    case cmd::kStopPreview: togglePreview(false); break;
    case cmd::kPreviewSelected: togglePreview(true); break;
    case cmd::kEditTiming:
      if (preview_) preview_->close();
      togglePreview(false, true);
      break;
    case cmd::kMakeWebSafe:
      if (!makeDelaysWebSafe() && document()) statusBar()->showMessage(Text(msg::kAlreadyWebSafe), 5000);
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
    case cmd::kShowComposed: strip_->setShowComposed(!strip_->showComposed()); break;
    case cmd::kShowFrameCosts: strip_->setShowFrameCosts(!strip_->showFrameCosts()); break;
    case cmd::kPreferences: runPreferences(); break;
    case cmd::kHelp: openHelpPage("index.html"); break;
    case cmd::kTutorial: openHelpPage("tutorial.html"); break;
    case cmd::kAbout:
      QMessageBox::about(this, QStringLiteral("Framewright"), Format(40310, "2.0"));
      break;
    case cmd::kComments: editComments(); break;
    case cmd::kOptimize: optimize(); break;
    case cmd::kSaveForSize: saveForSizeWithDialog(); break;
    case cmd::kReduceColours: reduceColoursWithDialog(); break;
    case cmd::kReduceFrames: reduceFramesWithDialog(); break;
    case cmd::kResizeAnimation: resizeWithDialog(false); break;
    case cmd::kResizeFrames: resizeWithDialog(true); break;
    case cmd::kIncreaseCanvas: increaseCanvasWithDialog(); break;
    case cmd::kMoveCropFrames: moveCropWithDialog(false); break;
    case cmd::kCropAnimation: moveCropWithDialog(true); break;
    case cmd::kLoadTiming: loadTimingWithDialog(); break;
    case cmd::kSaveTiming: saveTimingWithDialog(); break;
    case cmd::kLocalPaletteEdit: editLocalPalette(current_); break;
    case cmd::kGlobalPalette: editGlobalPalette(current_); break;
    case cmd::kChooseTransparent: chooseTransparency(current_); break;
    case cmd::kFrameProperties:
    case cmd::kGlobalFrameProperties:
    case cmd::kAnimProperties: showProperties(id); break;
    case 40111: openFilmstripWithDialog(); break;
    case cmd::kHtml: showHtmlCode(); break;
    case 40125: blendWithDialog(); break;
    case cmd::kEditPixels: EditPixelsOfCurrentFrame(*this); break;
    case cmd::kLiveEditFrame: liveEdit_->start(current_); break;
    case cmd::kLiveEditAnimation: liveEdit_->start(-1); break;
    case cmd::kEndLiveEdit: liveEdit_->end(); break;
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
