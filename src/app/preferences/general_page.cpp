#include "app/preferences/general_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/desktop_entry.h"
#include "core/message_sink.h"
#include "core/named_settings.h"
#include "core/preferences.h"

namespace fw {
namespace {

constexpr uint32_t kPreviewLoops = 1u << 12;        // word 6
constexpr uint32_t kFullScreenPreview = 1u << 20;   // word 6
constexpr uint32_t kNoAutoPreview = 1u << 21;       // word 6
constexpr uint32_t kHideStartPanel = 1u << 4;       // word 15
constexpr int kEditVerbFailed = 40154;
constexpr int64_t kMega = 1000 * 1000;
constexpr int64_t kMebi = 1024 * 1024;

QCheckBox* Box(int id, const char* text, bool on, QWidget* parent) {
  auto* box = Named(new QCheckBox(QString::fromUtf8(text), parent), id);
  box->setChecked(on);
  return box;
}

}  // namespace

QString EditorDisplayName(const QString& path) { return path.isEmpty() ? QString() : QFileInfo(path).fileName(); }

GeneralPage::GeneralPage(QWidget* parent) : PreferencePage(204, QString::fromUtf8("常规"), parent) {
  const Preferences& p = Prefs();
  shownFlags_ = p.raw(pref::kOptionFlags);
  shownHideStartPanel_ = p.bit(pref::kMoreFlags, kHideStartPanel);
  openPreview_ = Box(1236, "打开文件后显示动画预览", !p.bit(pref::kOptionFlags, kNoAutoPreview), this);
  loopPreview_ = Box(1204, "预览时总是循环播放", p.bit(pref::kOptionFlags, kPreviewLoops), this);
  fullScreen_ = Box(1205, "全屏预览", p.bit(pref::kOptionFlags, kFullScreenPreview), this);
  hideStartPanel_ = Box(1296, "隐藏开始面板", p.bit(pref::kMoreFlags, kHideStartPanel), this);
  interlace_ = Box(1084, "允许隔行扫描的帧", p.bit(pref::kOptionFlags, pref::kInterlaceAllowed), this);
  shownUndo_ = p.raw(pref::kUndoLevels);
  undoLevels_ = Named(new QSpinBox(this), 1069);
  undoLevels_->setRange(0, 9999);
  undoLevels_->setValue(static_cast<int>(std::min<uint32_t>(shownUndo_, 9999)));
  pictureLimit_ = new QSpinBox(this);
  pictureLimit_->setObjectName(QStringLiteral("pictureLimit"));
  pictureLimit_->setRange(1, 2147);
  pictureLimit_->setValue(static_cast<int>(Preferences::picturePixelLimit() / kMega));
  documentLimit_ = new QSpinBox(this);
  documentLimit_->setObjectName(QStringLiteral("documentLimit"));
  documentLimit_->setRange(1, 1 << 20);
  documentLimit_->setValue(static_cast<int>(Preferences::documentPixelLimit() / kMebi));
  verbInstalled_ = IsEditVerbInstalled();
  editVerb_ = Box(1092, "在文件管理器中为GIF文件加入 \"Edit with Framewright\"", verbInstalled_, this);

  editorName_ = Named(new QLabel(EditorDisplayName(QString::fromStdString(StoredEditorPath())), this), 1071);
  editorName_->setFrameShape(QFrame::StyledPanel);
  auto* choose = Named(new QPushButton(QString::fromUtf8("选择..."), this), 1292);
  connect(choose, &QPushButton::clicked, this, &GeneralPage::chooseEditor);

  auto* layout = new QVBoxLayout(this);
  for (QCheckBox* b : {openPreview_, loopPreview_, fullScreen_, hideStartPanel_, interlace_}) layout->addWidget(b);
  auto* undoRow = new QFormLayout;
  undoRow->addRow(QString::fromUtf8("撤消级别:"), undoLevels_);
  undoRow->addRow(QString::fromUtf8("单张图片最多像素 (百万):"), pictureLimit_);
  undoRow->addRow(QString::fromUtf8("每个动画最多像素 (×1048576):"), documentLimit_);
  layout->addLayout(undoRow);
  layout->addWidget(editVerb_);
  auto* editorBox = new QGroupBox(QString::fromUtf8("实时图像编辑器"), this);
  auto* editorRow = new QHBoxLayout(editorBox);
  editorRow->addWidget(editorName_, 1);
  editorRow->addWidget(choose);
  layout->addWidget(editorBox);
  layout->addStretch();
}

void GeneralPage::setEditorPath(const QString& path) {
  editorPath_ = path;
  editorName_->setText(EditorDisplayName(path));
}

void GeneralPage::chooseEditor() {
  const QString stored = QString::fromStdString(StoredEditorPath());
  const QString start = stored.isEmpty() ? QString::fromStdString(StoredInitialDirectory()) : QFileInfo(stored).path();
  QFileDialog dialog(this, QStringLiteral("Browse for CoEdit Image Editor"), start);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Programs here carry no extension: the chooser lists executable files instead.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilter(QStringLiteral("Applications (*)"));
  dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  setEditorPath(dialog.selectedFiles().front());
}

void GeneralPage::commit(PreferencesOutcome& outcome) {
  uint32_t flags = shownFlags_;
  auto set = [&flags](uint32_t bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); };
  set(kNoAutoPreview, !openPreview_->isChecked());
  set(kPreviewLoops, loopPreview_->isChecked());
  set(kFullScreenPreview, fullScreen_->isChecked());
  set(pref::kInterlaceAllowed, interlace_->isChecked());
  CommitFlags(pref::kOptionFlags, kNoAutoPreview | kPreviewLoops | kFullScreenPreview | pref::kInterlaceAllowed,
              shownFlags_, flags);
  outcome.interlaceChanged = ((shownFlags_ ^ flags) & pref::kInterlaceAllowed) != 0;
  CommitFlag(pref::kMoreFlags, kHideStartPanel, shownHideStartPanel_, hideStartPanel_->isChecked());
  CommitField(pref::kUndoLevels, ~0u, shownUndo_, static_cast<uint32_t>(undoLevels_->value()));
  if (pictureLimit_->value() != Preferences::picturePixelLimit() / kMega)
    Prefs().setPicturePixelLimit(int64_t{pictureLimit_->value()} * kMega);
  if (documentLimit_->value() != Preferences::documentPixelLimit() / kMebi)
    Prefs().setDocumentPixelLimit(int64_t{documentLimit_->value()} * kMebi);
  if (editVerb_->isChecked() && !verbInstalled_) {
    if (!InstallEditVerb()) ShowMessage(kEditVerbFailed);
  } else if (!editVerb_->isChecked() && verbInstalled_) {
    RemoveEditVerb();
  }
  if (!editorPath_.isEmpty()) StoreEditorPath(editorPath_.toStdString());
}

}  // namespace fw
