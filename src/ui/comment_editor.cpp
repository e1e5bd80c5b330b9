#include "ui/comment_editor.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {

std::string FullCommentText(const ExtensionBlock& block) {
  std::string text;
  const std::vector<uint8_t>& data = block.data;
  for (size_t i = 0; i < data.size() && data[i] != 0;) {
    const size_t length = data[i];
    const size_t end = std::min(data.size(), i + 1 + length);
    text.append(reinterpret_cast<const char*>(data.data() + i + 1), end - i - 1);
    i = end;
  }
  return text;
}

QString CommentListText(const std::string& text) {
  const QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const qsizetype end = all.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  if (end < 0) return all;
  const QString rest = all.mid(end).trimmed();
  return rest.isEmpty() ? all.left(end) : all.left(end) + QStringLiteral(" ...");
}

bool CommentTextFits(const QString& text) { return text.toUtf8().size() <= 254; }

CommentEditor::CommentEditor(AnimHeader& document, QWidget* parent) : QDialog(parent), document_(document) {
  setObjectName(QStringLiteral("CommentEditor"));
  setWindowTitle(QString::fromUtf8("动画注释"));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("c1030"));
  auto* add = new QPushButton(QString::fromUtf8("添加(&A)..."), this);
  add->setObjectName(QStringLiteral("c1031"));
  auto* edit = new QPushButton(QString::fromUtf8("编辑(&E)..."), this);
  edit->setObjectName(QStringLiteral("c1032"));
  auto* remove = new QPushButton(QString::fromUtf8("删除(&D)"), this);
  remove->setObjectName(QStringLiteral("c1033"));
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(edit);
  buttons->addWidget(remove);
  buttons->addStretch();
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
  auto* row = new QHBoxLayout;
  row->addWidget(list_, 1);
  row->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(close);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::accept);
  connect(add, &QPushButton::clicked, this, [this] {
    QString text;
    if (askText({}, text)) addComment(text);
  });
  auto editCurrent = [this] {
    const int r = list_->currentRow();
    const std::vector<ExtensionBlock*> all = comments();
    if (r < 0 || r >= static_cast<int>(all.size())) return;
    const std::string old = FullCommentText(*all[static_cast<size_t>(r)]);
    QString text;
    if (askText(QString::fromUtf8(old.data(), static_cast<qsizetype>(old.size())), text)) editComment(r, text);
  };
  connect(edit, &QPushButton::clicked, this, editCurrent);
  connect(list_, &QListWidget::itemDoubleClicked, this, editCurrent);
  connect(remove, &QPushButton::clicked, this, [this] { deleteComment(list_->currentRow()); });
  auto enable = [this, edit, remove] {
    edit->setEnabled(list_->currentRow() >= 0);
    remove->setEnabled(list_->currentRow() >= 0);
  };
  connect(list_, &QListWidget::currentRowChanged, this, enable);
  refill();
  enable();
}

std::vector<ExtensionBlock*> CommentEditor::comments() const {
  std::vector<ExtensionBlock*> out;
  for (GifBlock* b = document_.blockList ? document_.blockList->next : nullptr; b; b = b->next)
    if (IsComment(*b)) out.push_back(static_cast<ExtensionBlock*>(b));
  return out;
}

void CommentEditor::refill() {
  const int row = list_->currentRow();
  list_->clear();
  for (const ExtensionBlock* c : comments()) list_->addItem(CommentListText(FullCommentText(*c)));
  list_->setCurrentRow(std::min(row, list_->count() - 1));
}

bool CommentEditor::askText(const QString& initial, QString& text) {
  QString value = initial;
  for (;;) {
    bool ok = false;
    value = QInputDialog::getText(this, QString::fromUtf8("注释"), QString(), QLineEdit::Normal, value, &ok);
    if (!ok) return false;
    if (CommentTextFits(value)) {
      text = value;
      return true;
    }
    Messages().ask(msg::kCommentTooLong, MessageText(msg::kCommentTooLong), MessageText(msg::kCommentTooLongCaption),
                   Buttons::Ok, Answer::Ok);
  }
}

bool CommentEditor::addComment(const QString& text) {
  if (!CommentTextFits(text)) return false;
  std::unique_ptr<ExtensionBlock> block = CreateExtensionBlock(block_kind::kComment);
  if (!block || !SetCommentText(*block, text.toUtf8().toStdString())) return false;
  // New comments follow the existing ones, ahead of the frames.
  const std::vector<ExtensionBlock*> all = comments();
  GifBlock* after = all.empty() ? document_.blockList : all.back();
  InsertAfter(after, block.release());
  changed_ = true;
  refill();
  list_->setCurrentRow(list_->count() - 1);
  return true;
}

bool CommentEditor::editComment(int row, const QString& text) {
  const std::vector<ExtensionBlock*> all = comments();
  if (row < 0 || row >= static_cast<int>(all.size()) || !CommentTextFits(text)) return false;
  if (!SetCommentText(*all[static_cast<size_t>(row)], text.toUtf8().toStdString())) return false;
  changed_ = true;
  refill();
  return true;
}

void CommentEditor::deleteComment(int row) {
  const std::vector<ExtensionBlock*> all = comments();
  if (row < 0 || row >= static_cast<int>(all.size())) return;
  RemoveBlock(all[static_cast<size_t>(row)]);
  changed_ = true;
  refill();
}

}  // namespace fw
