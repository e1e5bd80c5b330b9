#pragma once
// Live editing: one frame (40337) or the whole animation (40336) goes to an external image
// editor through a private temporary file; every time the editor saves it, the file is read
// back into the document as one undo step. At most one live edit runs at a time; ending it
// (40339, closing the document, a new live edit, leaving the program) removes the files. The
// editor itself is only started, never stopped.
#include <QDateTime>
#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace fw {

class MainWindow;

class LiveEdit : public QObject {
  Q_OBJECT
 public:
  explicit LiveEdit(MainWindow& window);
  ~LiveEdit() override;

  // Starts on a frame index, or -1 for the whole animation; false when nothing was started.
  bool start(int frameIndex);
  void end();
  bool active() const { return active_; }
  int frameIndex() const { return frame_; }
  QString filePath() const { return file_; }
  QString folderPath() const { return folder_; }
  // True while the file is being read back.
  bool reloading() const { return reloading_; }
  // Reads the file back when it changed since it was last read (what the watcher and the
  // poll both end in).
  void reloadIfChanged();

  // How often the file is looked at besides the change notifications, and how long a change
  // settles before it is read (editors write in several steps).
  static constexpr int kPollMs = 2000, kSettleMs = 500;

 signals:
  // After each reload that changed the document.
  void reloaded();

 private:
  struct Stamp {
    QDateTime modified;
    qint64 size = -1;
    bool operator==(const Stamp&) const = default;
  };
  Stamp stampNow() const;
  bool writeFile(const QString& editor);
  void watch();
  void somethingChanged();
  // A poll only reads a file that has stopped changing; a settled notification reads at once.
  void check(bool polling);
  void reload();

  MainWindow& window_;
  bool active_ = false;
  bool reloading_ = false;
  int frame_ = -1;
  QString folder_, file_;
  Stamp lastRead_;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* poll_;
  QTimer* settle_;
};

// The live-edit items' texts, presence and greying, refreshed as the menus open.
void RefreshLiveEditActions(MainWindow& window, const LiveEdit& live);

}  // namespace fw
