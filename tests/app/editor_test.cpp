// The editor driven as a user drives it: commands by id, controls by objectName, offscreen.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/preference_store.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "formats/file_dispatch.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "support/test_support.h"
#include "ui/frame_strip.h"
#include "ui/property_bar.h"
#include "ui/strip_geometry.h"

using namespace fw;

namespace {

// Writes a GIF whose frames carry the given delays (the delays identify frames later).
QString WriteGif(const test::TempDir& dir, const std::string& name, std::vector<int> delays) {
  AnimPtr doc = test::NewDocument(16, 12, 16);
  for (size_t i = 0; i < delays.size(); ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 16, 12, [&](int x, int y) { return (x + y + int(i)) % 16; });
    f.delay = delays[i];
  }
  const std::string path = dir.file(name);
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

std::vector<int> Delays(const AnimHeader* doc) {
  std::vector<int> out;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) out.push_back(f->delay);
  return out;
}

}  // namespace

class EditorTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void wholeSessionOpenReorderDeleteUndoSave();
  void commandsAreGreyedByState();
  void saveChangesPromptCancelKeepsDocument();
  void propertyBarEditsAreUndoable();
  void insertedFramesBecomeTheTarget();
  void toolTipsNeverBorrowUnrelatedMessages();
  void recentFilesSurviveACancelAndLoseMissingFiles();
  void copyPasteGoesThroughTheClipboardRecord();

};

void EditorTest::wholeSessionOpenReorderDeleteUndoSave() {
  test::TempDir dir;
  const QString b = WriteGif(dir, "b.gif", {40, 50});
  const QString a = WriteGif(dir, "A.gif", {10, 20, 30});
  MainWindow w;
  w.show();
  // Chosen in the order b, A: loaded A first, case ignored; a merge is untitled and modified.
  QCOMPARE(w.openFiles({b, a}), 2);
  QCOMPARE(Delays(w.document()), (std::vector<int>{10, 20, 30, 40, 50}));
  QVERIFY(w.state().fileName.empty());
  QVERIFY(w.isModified());
  QVERIFY(w.windowTitle().startsWith(QString::fromUtf8(MessageText(40235))));

  // Click the first cell: it becomes current and the status bar says so.
  FrameStrip* strip = w.strip();
  QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->cellCentre(0));
  QCOMPARE(w.currentFrame(), 0);
  QCOMPARE(w.statusText(0), QString::fromUtf8("  帧 #1 of 5"));

  // Drag it behind the third frame with the mouse.
  QTest::mousePress(strip->viewport(), Qt::LeftButton, {}, strip->cellCentre(0));
  const QPoint c2 = strip->cellCentre(2), c3 = strip->cellCentre(3);
  const QPoint between = (c2 + c3) / 2;
  QMouseEvent move(QEvent::MouseMove, between, strip->viewport()->mapToGlobal(between), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(strip->viewport(), &move);
  QTest::mouseRelease(strip->viewport(), Qt::LeftButton, {}, between);
  QCOMPARE(Delays(w.document()), (std::vector<int>{20, 30, 10, 40, 50}));
  QCOMPARE(w.currentFrame(), 2);
  QCOMPARE(CurrentUndoKind(), undo_kind::kMoveFrame);

  // Delete it, then undo the delete and the move.
  w.dispatch(40012);
  QCOMPARE(Delays(w.document()), (std::vector<int>{20, 30, 40, 50}));
  QCOMPARE(w.currentFrame(), 2);  // the frame that now has the deleted index
  w.dispatch(40001);
  w.dispatch(40001);
  QCOMPARE(Delays(w.document()), (std::vector<int>{10, 20, 30, 40, 50}));
  QCOMPARE(w.document()->frameCount, 5);
  w.dispatch(40120);
  QCOMPARE(Delays(w.document()), (std::vector<int>{20, 30, 10, 40, 50}));

  // Save as GIF, reopen and compare; the document takes the name.
  const QString out = QString::fromStdString(dir.file("out.gif"));
  QVERIFY(w.saveDocumentAs(out));
  QVERIFY(!w.isModified());
  QCOMPARE(QString::fromStdString(w.state().fileName), out);
  LoadResult back = LoadAnimationFile(out.toStdString());
  QVERIFY(back.document);
  // Frame names follow the file they came from, so compare what a viewer shows.
  const std::string difference =
      test::TimelineDifference(test::ComposeTimeline(*w.document()), test::ComposeTimeline(*back.document));
  QVERIFY2(difference.empty(), difference.c_str());

  // Save as animated PNG keeps every frame and delay.
  const QString png = QString::fromStdString(dir.file("out.png"));
  QVERIFY(w.saveDocumentAs(png));
  LoadResult apng = LoadAnimationFile(png.toStdString());
  QVERIFY(apng.document);
  QCOMPARE(Delays(apng.document.get()), (std::vector<int>{20, 30, 10, 40, 50}));

  // Deleting every frame leaves no current frame and greys the frame commands.
  w.dispatch(40131);
  w.dispatch(40012);
  QCOMPARE(w.document()->frameCount, 0);
  QCOMPARE(w.currentFrame(), -1);
  w.updateCommandStates();
  QVERIFY(!w.action(40012)->isEnabled());
  QVERIFY(!w.action(1012)->isEnabled());
}

void EditorTest::commandsAreGreyedByState() {
  test::TempDir dir;
  const QString one = WriteGif(dir, "one.gif", {5, 6});
  MainWindow w;
  w.updateCommandStates();
  QVERIFY(w.action(1002)->isEnabled());
  for (int id : {1015, 1016, 40012, 1012, 40002, 40010, 40115, 40001, 40120}) QVERIFY2(!w.action(id)->isEnabled(), qPrintable(QString::number(id)));
  QCOMPARE(w.statusText(0), QString::fromUtf8(MessageText(40169)));
  // Every command is part of this build: nothing carries a "not in this version" tip, and
  // the frame editors wait for a frame.
  for (QAction* a : w.findChildren<QAction*>())
    QVERIFY2(!a->toolTip().contains(QString::fromUtf8("尚未提供")), qPrintable(a->text()));
  QVERIFY(!w.action(40337)->isEnabled());
  QVERIFY(!w.action(40343)->isEnabled());

  QCOMPARE(w.openFiles({one}), 1);
  QVERIFY(!w.isModified());
  QCOMPARE(w.windowTitle(), QStringLiteral("one.gif[*] - Framewright"));
  w.updateCommandStates();
  QVERIFY(!w.action(1015)->isEnabled());  // nothing to save yet
  QVERIFY(w.action(40115)->isEnabled());
  QVERIFY(!w.action(40012)->isEnabled());  // nothing selected
  QCOMPARE(w.statusText(0), QString::fromUtf8("  None of 2 frames"));
  QCOMPARE(w.statusText(1), QString::fromUtf8("  16 × 12"));
  QCOMPARE(w.statusText(2), QString::fromUtf8("  0.11 secs"));
  // Zoom stops at its ends.
  for (int i = 0; i < 6; ++i) w.dispatch(40038);
  QCOMPARE(w.strip()->zoom(), 3);
  QVERIFY(!w.action(40038)->isEnabled());
  QCOMPARE(w.statusText(4), QString::fromUtf8("  400%"));
  w.dispatch(40069);
  QCOMPARE(w.strip()->zoom(), 0);
  // The size worker's answer reaches the status bar.
  QTRY_VERIFY_WITH_TIMEOUT(w.statusText(3).contains(QStringLiteral("bytes")), 20000);
}

void EditorTest::saveChangesPromptCancelKeepsDocument() {
  test::TempDir dir;
  const QString one = WriteGif(dir, "one.gif", {5, 6});
  MainWindow w;
  w.openFiles({one});
  w.setCurrentFrame(0);
  SelectFrames(*w.document(), 0, kSelectPlain);
  w.dispatch(40012);
  QVERIFY(w.isModified());
  messages().sink.scriptedAnswers = {Answer::Cancel};
  w.dispatch(40021);
  QVERIFY(w.document());
  QCOMPARE(messages().ids(), std::vector<int>{40250});
  messages().sink.scriptedAnswers = {Answer::No};
  w.dispatch(40021);
  QVERIFY(!w.document());
  // The file on disk was not touched by the refused save.
  QCOMPARE(LoadAnimationFile(one.toStdString()).document->frameCount, 2);
}

// The strip, the status bar and the property bar must name the same frame after an insert,
// or a typed delay lands on a frame other than the one shown.
void EditorTest::insertedFramesBecomeTheTarget() {
  test::TempDir dir;
  const QString one = WriteGif(dir, "one.gif", {5, 6, 9});
  const QString two = WriteGif(dir, "two.gif", {3, 4});
  MainWindow w;
  w.show();
  w.openFiles({one});
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  QCOMPARE(w.insertFiles({two}), 1);
  QCOMPARE(Delays(w.document()), (std::vector<int>{5, 3, 4, 6, 9}));
  QCOMPARE(w.state().currentFrame, 1);
  std::vector<bool> selected;
  for (const ImageBlock* f = FirstImage(w.document()); f; f = NextImage(f)) selected.push_back(f->selected);
  QCOMPARE(selected, (std::vector<bool>{false, true, true, false, false}));
  auto* delay = w.propertyBar()->findChild<QLineEdit*>(QStringLiteral("c40046"));
  QCOMPARE(delay->text(), QString());  // the two inserted frames differ
  delay->setFocus();
  delay->selectAll();
  QTest::keyClicks(delay, QStringLiteral("8"));
  QTest::keyClick(delay, Qt::Key_Return);
  QCOMPARE(Delays(w.document()), (std::vector<int>{5, 8, 8, 6, 9}));
  // Dropped files go the same way.
  SelectFrames(*w.document(), 4, kSelectPlain);
  w.setCurrentFrame(4);
  w.dropIntoDocument({two});
  QCOMPARE(w.state().currentFrame, 4);
  QVERIFY(ImageAt(w.document(), 4)->selected && !ImageAt(w.document(), 6)->selected);
  QCOMPARE(delay->text(), QString());
  // Undoing the insert leaves no frame named that is not there.
  w.dispatch(40001);
  QCOMPARE(Delays(w.document()), (std::vector<int>{5, 8, 8, 6, 9}));
  QVERIFY(w.state().currentFrame < w.document()->frameCount);
  if (w.state().currentFrame >= 0) QVERIFY(ImageAt(w.document(), w.state().currentFrame)->selected);
}

void EditorTest::toolTipsNeverBorrowUnrelatedMessages() {
  MainWindow w;
  // Numbers shared with unrelated messages: reload, size computing, out of memory, AVI errors.
  for (int id : {40111, 40113, 40125, 40093, 40098}) {
    const QString tip = w.action(id)->toolTip();
    QVERIFY2(tip.isEmpty() || tip == w.action(id)->text().remove(QLatin1Char('&')) ||
                 !tip.contains(QString::fromUtf8(MessageText(id))),
             qPrintable(QString::number(id) + ": " + tip));
  }
  // Toolbar commands keep their own tips.
  QCOMPARE(w.action(1002)->toolTip(), QString::fromUtf8("打开文件(s) (Ctrl+O)"));
  QCOMPARE(w.action(40009)->toolTip(), QString::fromUtf8(MessageText(40009)));
}

void EditorTest::recentFilesSurviveACancelAndLoseMissingFiles() {
  MemoryPreferenceStore& store = useStoredPreferences();
  test::TempDir dir;
  const QString a = WriteGif(dir, "a.gif", {5, 6});
  const QString b = WriteGif(dir, "b.gif", {7});
  {
    MainWindow w;
    QCOMPARE(w.openFiles({a}), 1);
    QCOMPARE(w.openFiles({b}), 1);
    QCOMPARE(store.texts["File1"], b.toStdString());
    QCOMPARE(store.texts["File2"], a.toStdString());
    SelectFrames(*w.document(), 0, kSelectPlain);
    w.setCurrentFrame(0);
    w.setDisposalOfCurrent(2);
    QVERIFY(w.isModified());
    // Opening "a" asks to save "b" first; cancelling keeps both the document and the entry.
    messages().sink.scriptedAnswers = {Answer::Cancel};
    w.dispatch(40151);
    QCOMPARE(Delays(w.document()), std::vector<int>{7});
    QCOMPARE(store.texts["File2"], a.toStdString());
  }
  // A file deleted since leaves the list at the next start.
  QVERIFY(QFile::remove(b));
  MainWindow again;
  QCOMPARE(store.texts["File1"], a.toStdString());
  QVERIFY(!store.texts.count("File2"));
}

void EditorTest::propertyBarEditsAreUndoable() {
  test::TempDir dir;
  const QString one = WriteGif(dir, "one.gif", {5, 5, 9});
  MainWindow w;
  w.show();
  w.openFiles({one});
  SelectFrames(*w.document(), 0, kSelectPlain);
  SelectFrames(*w.document(), 1, kSelectExtend);
  w.setCurrentFrame(0);
  auto* delay = w.propertyBar()->findChild<QLineEdit*>(QStringLiteral("c40046"));
  QVERIFY(delay);
  QCOMPARE(delay->text(), QStringLiteral("5"));  // shared by both selected frames
  delay->setFocus();
  delay->selectAll();
  QTest::keyClicks(delay, QStringLiteral("7"));
  QTest::keyClick(delay, Qt::Key_Return);
  QCOMPARE(Delays(w.document()), (std::vector<int>{7, 7, 9}));
  w.dispatch(40001);
  QCOMPARE(Delays(w.document()), (std::vector<int>{5, 5, 9}));

  // Out of range: the message, and 65535 in the frames.
  delay->selectAll();
  QTest::keyClicks(delay, QStringLiteral("70000"));
  QTest::keyClick(delay, Qt::Key_Return);
  QCOMPARE(messages().ids(), std::vector<int>{40155});
  QCOMPARE(Delays(w.document()), (std::vector<int>{65535, 65535, 9}));

  // Transparency off and back by undo; disposal; loop count.
  SelectFrames(*w.document(), 2, kSelectPlain);
  w.setCurrentFrame(2);
  ImageBlock* f = ImageAt(w.document(), 2);
  SetTransparency(*f, true);
  w.setTransparencyOfCurrent(false);
  QVERIFY(!ImageAt(w.document(), 2)->transparent());
  w.dispatch(40001);
  QVERIFY(ImageAt(w.document(), 2)->transparent());
  w.setDisposalOfCurrent(2);
  QCOMPARE(ImageAt(w.document(), 2)->disposal(), 2);
  w.dispatch(40001);
  QVERIFY(ImageAt(w.document(), 2)->disposal() != 2);
  const int loops = w.document()->playCount;
  w.setLoopCount(loops + 3);
  QCOMPARE(w.document()->playCount, loops + 3);
  w.dispatch(40001);
  QCOMPARE(w.document()->playCount, loops);
}

void EditorTest::copyPasteGoesThroughTheClipboardRecord() {
  test::TempDir dir;
  const QString one = WriteGif(dir, "one.gif", {11, 22, 33});
  MainWindow w;
  w.openFiles({one});
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  w.dispatch(1012);
  w.updateCommandStates();
  QVERIFY(w.action(40004)->isEnabled());
  SelectFrames(*w.document(), 0, kSelectPlain);
  w.setCurrentFrame(0);
  w.dispatch(40004);
  QCOMPARE(Delays(w.document()), (std::vector<int>{22, 11, 22, 33}));
  QCOMPARE(w.currentFrame(), 0);  // the pasted frame is selected
  w.dispatch(40001);
  QCOMPARE(Delays(w.document()), (std::vector<int>{11, 22, 33}));
  // Cut removes, paste into a fresh window brings it back.
  SelectFrames(*w.document(), 2, kSelectPlain);
  w.setCurrentFrame(2);
  w.dispatch(40002);
  QCOMPARE(Delays(w.document()), (std::vector<int>{11, 22}));
  MainWindow other;
  other.dispatch(40004);
  QVERIFY(other.document());
  QCOMPARE(Delays(other.document()), std::vector<int>{33});
  QVERIFY(other.isModified());
}

FW_APP_TEST(EditorTest)
#include "editor_test.moc"
