#pragma once
// The animation's comment blocks: listed by their first line, added, edited and deleted.
#include <QDialog>
#include <QString>
#include <string>
#include <vector>

class QListWidget;

namespace fw {

struct AnimHeader;
struct ExtensionBlock;

// Every data sub-block of a comment joined (files may split long comments).
std::string FullCommentText(const ExtensionBlock& block);
// How the list shows a comment: its first line, and " ..." when more lines follow.
QString CommentListText(const std::string& text);
// A comment block holds one sub-block of at most 254 bytes of text.
bool CommentTextFits(const QString& text);

class CommentEditor : public QDialog {
  Q_OBJECT
 public:
  CommentEditor(AnimHeader& document, QWidget* parent);

  bool changed() const { return changed_; }
  // The list's operations, also used by the buttons after asking for the text.
  bool addComment(const QString& text);
  bool editComment(int row, const QString& text);
  void deleteComment(int row);
  QListWidget* list() const { return list_; }

 private:
  std::vector<ExtensionBlock*> comments() const;
  void refill();
  // Asks for a comment's text until it fits or the user cancels.
  bool askText(const QString& initial, QString& text);

  AnimHeader& document_;
  QListWidget* list_;
  bool changed_ = false;
};

}  // namespace fw
