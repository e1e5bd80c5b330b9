// Frame edits through the window on animations whose frames store only what changed: cut,
// paste, delete, drag and insert keep what every frame shows, as one undo step each; and a
// command that is refused leaves neither a modified mark nor a step behind.
#include <QStatusBar>
#include <QTest>
#include <cstdlib>

#include "app_test_registry.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "gif/byte_sink.h"
#include "gif/gif_writer.h"
#include "imaging/keep_pictures.h"
#include "support/test_support.h"
#include "ui/strip_geometry.h"

namespace fw {
namespace {

using Pictures = std::vector<std::vector<uint32_t>>;

std::vector<uint8_t> Bytes(AnimHeader& doc) {
  MemorySink sink;
  WriteGifStream(sink, doc, nullptr);
  return sink.bytes;
}

// A GIF whose later frames store only what changed: FFmpeg's own, else one drawn here.
QString DependentGif(const test::TempDir& dir, const char* name, const char* source) {
  const std::string path = dir.file(name);
  const std::string command = std::string("ffmpeg -v error -f lavfi -i ") + source +
                              " -vf 'split[a][b];[a]palettegen[p];[b][p]paletteuse' -y '" + path + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) == 0) return QString::fromStdString(path);
  AnimPtr doc = test::NewDocument(16, 8, 16);
  test::AddFrame(*doc, 0, 0, 16, 8, [](int x, int y) { return 1 + (x + y) % 4; });
  for (int i = 0; i < 5; ++i) test::AddFrame(*doc, i * 3, 2, 2, 2, [i](int, int) { return 8 + i; });
  MemorySink sink;
  WriteGifStream(sink, *doc, nullptr);
  test::WriteBytes(path, sink.bytes);
  return QString::fromStdString(path);
}

void Select(MainWindow& w, int index) {
  SelectFrames(*w.document(), index, kSelectPlain);
  w.setCurrentFrame(index);
}

}  // namespace

class KeepPicturesWindowTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void refusedCommandLeavesNoTrace();
  void cutPasteDeleteDragAndInsertKeepPictures();
};

void KeepPicturesWindowTest::refusedCommandLeavesNoTrace() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({DependentGif(dir, "a.gif", "testsrc2=s=32x24:r=5:d=1")}), 1);
  QVERIFY(!w.isModified());
  const size_t saved = MaxPlaneBytes();
  SetMaxPlaneBytes(64);  // no screen-sized canvas can be made
  w.dispatch(cmd::kUnoptimize);
  SetMaxPlaneBytes(saved);
  QCOMPARE(messages().ids(), std::vector<int>{40134});
  QVERIFY(!w.isModified());
  QCOMPARE(UndoCount(), 0);
  w.dispatch(cmd::kUnoptimize);
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), 1);
}

void KeepPicturesWindowTest::cutPasteDeleteDragAndInsertKeepPictures() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({DependentGif(dir, "a.gif", "testsrc2=s=32x24:r=5:d=1")}), 1);
  AnimHeader& doc = *w.document();
  const Pictures p = test::ComposePictures(doc, nullptr);
  const std::vector<uint8_t> original = Bytes(doc);
  QVERIFY(p.size() >= 5);

  // Cut frame 2: the rest show what they showed; the note says why the file grew.
  Select(w, 1);
  w.dispatch(cmd::kCut);
  Pictures wanted = p;
  wanted.erase(wanted.begin() + 1);
  QCOMPARE(test::ComposePictures(doc, nullptr), wanted);
  QCOMPARE(w.statusBar()->currentMessage(), QString::fromUtf8(ExpandedNote()));
  QCOMPARE(UndoCount(), 1);

  // Paste it back before frame 4: it shows the picture it showed where it came from.
  Select(w, 3);
  w.dispatch(cmd::kPaste);
  wanted.insert(wanted.begin() + 3, p[1]);
  QCOMPARE(test::ComposePictures(doc, nullptr), wanted);

  // Undo twice brings back the original bytes; the first step alone the cut state.
  w.dispatch(cmd::kUndo);
  w.dispatch(cmd::kUndo);
  QCOMPARE(Bytes(doc), original);

  // Delete, and a drag of frame 2 to the end.
  Select(w, 2);
  w.dispatch(cmd::kDelete);
  wanted = p;
  wanted.erase(wanted.begin() + 2);
  QCOMPARE(test::ComposePictures(doc, nullptr), wanted);
  w.dispatch(cmd::kUndo);
  QCOMPARE(Bytes(doc), original);
  Select(w, 1);
  w.moveSelectionTo(doc.frameCount);
  wanted = p;
  wanted.erase(wanted.begin() + 1);
  wanted.push_back(p[1]);
  QCOMPARE(test::ComposePictures(doc, nullptr), wanted);
  w.dispatch(cmd::kUndo);
  QCOMPARE(Bytes(doc), original);

  // Inserting a file between frames leaves the frames after it as they were (the same file,
  // so that no palette merge changes colours).
  const QString other = DependentGif(dir, "b.gif", "testsrc2=s=32x24:r=5:d=1");
  Select(w, 2);
  QVERIFY(w.insertFiles({other}) > 0);
  const Pictures after = test::ComposePictures(doc, nullptr);
  const size_t added = after.size() - p.size();
  QVERIFY(added > 0);
  for (size_t i = 0; i < p.size(); ++i) QCOMPARE(after[i < 2 ? i : i + added], p[i]);
  w.dispatch(cmd::kUndo);
  QCOMPARE(Bytes(doc), original);
}

}  // namespace fw

FW_APP_TEST(fw::KeepPicturesWindowTest)
#include "keep_pictures_window_test.moc"
