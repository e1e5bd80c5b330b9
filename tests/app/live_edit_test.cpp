// Live editing with a stand-in for the external editor: a small Pillow script that mirrors the
// picture it is handed and saves it in place, as an image editor's Save does.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app_test_registry.h"
#include "app/live_edit.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/named_settings.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "dialog_driving.h"
#include "formats/save_document.h"
#include "support/test_support.h"
#include "ui/editor_chooser.h"
#include "ui/strip_geometry.h"

using namespace fw;
using namespace fw::test;

namespace {

// Three 10 x 6 frames, 16 colours, pixel (x + 2y + frame) % 16, delays 10, 20, 30.
QString WriteGif(const test::TempDir& dir) {
  AnimPtr doc = test::NewDocument(10, 6, 16);
  for (int i = 0; i < 3; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 10, 6, [&](int x, int y) { return (x + 2 * y + i) % 16; });
    f.delay = 10 * (i + 1);
  }
  const std::string path = dir.file("three.gif");
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

// A program that mirrors the image it is given, in its own format. `mark` names a file the
// script touches once it ran.
QString WriteEditor(const test::TempDir& dir, const char* name) {
  const QString path = QString::fromStdString(dir.file(name));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return {};
  f.write("#!/usr/bin/python3\n"
          "import sys\n"
          "from PIL import Image\n"
          "im = Image.open(sys.argv[1])\n"
          "im.load()\n"
          "im.transpose(Image.Transpose.FLIP_LEFT_RIGHT).save(sys.argv[1])\n");
  f.close();
  f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
  return path;
}

Rgb Colour(const ImageBlock& f, int x, int y) { return (*f.activePalette)[f.indexedImage->row(y)[x]]; }

}  // namespace

class LiveEditTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }
  void frameComesBackMirroredAsOneUndoStep();
  void chooserAsksForTheEditorFirstAndMenuNamesIt();
  void wholeAnimationNeedsALayeredEditor();
  void fireworksGetsPngAndASecondStartEndsTheFirst();
  void unreadableSaveWaitsForTheNext();
};

void LiveEditTest::frameComesBackMirroredAsOneUndoStep() {
  test::TempDir dir;
  StoreEditorPath(WriteEditor(dir, "mirror").toStdString());
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  AnimHeader* doc = w.document();
  SelectFrames(*doc, 1, kSelectPlain);
  w.setCurrentFrame(1);
  const AnimPtr before = CopyAnimation(*doc, nullptr);
  LiveEdit& live = *w.liveEdit();
  QSignalSpy reloaded(&live, &LiveEdit::reloaded);
  w.updateCommandStates();
  QVERIFY(!w.action(40339)->isEnabled());
  w.dispatch(40337);
  QVERIFY(live.active());
  QCOMPARE(live.frameIndex(), 1);
  QVERIFY(live.filePath().endsWith(QStringLiteral(".gif")));
  QVERIFY(QFileInfo(live.filePath()).dir().dirName().startsWith(QStringLiteral("gif")));
  w.updateCommandStates();
  QVERIFY(w.action(40339)->isEnabled());
  QTRY_COMPARE_WITH_TIMEOUT(reloaded.count(), 1, 15000);

  const ImageBlock& edited = *ImageAt(doc, 1);
  const ImageBlock& was = *ImageAt(before.get(), 1);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) QVERIFY(Colour(edited, x, y) == Colour(was, 9 - x, y));
  QCOMPARE(edited.delay, 20);
  QCOMPARE(FrameName(edited), FrameName(was));
  QCOMPARE(doc->frameCount, 3);
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), 1);
  // The others are untouched.
  QCOMPARE(test::FramePixels(*ImageAt(doc, 0)), test::FramePixels(*ImageAt(before.get(), 0)));

  w.dispatch(40001);
  QCOMPARE(QString::fromStdString(test::DocumentDifference(*doc, *before)), QString());
  // Ending removes the files; the edit stays.
  const QString folder = live.folderPath();
  w.dispatch(40339);
  QVERIFY(!live.active());
  QVERIFY(!QFileInfo::exists(folder));
}

void LiveEditTest::chooserAsksForTheEditorFirstAndMenuNamesIt() {
  test::TempDir dir;
  const QString editor = WriteEditor(dir, "mirror");
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  SelectFrames(*w.document(), 0, kSelectPlain);
  w.setCurrentFrame(0);
  w.updateCommandStates();
  QCOMPARE(w.action(40337)->text(), QString::fromUtf8("实时图像编辑器..."));
  QVERIFY(!w.action(40336)->isVisible());
  // Cancel starts nothing and stores nothing.
  AnswerNextDialog<EditorChooser>([](EditorChooser& c) { c.reject(); });
  w.dispatch(40337);
  QVERIFY(!w.liveEdit()->active());
  QVERIFY(StoredEditorPath().empty());
  AnswerNextDialog<EditorChooser>([&](EditorChooser& c) {
    QCOMPARE(c.windowTitle(), QString::fromUtf8("选择实时图像编辑器"));
    c.findChild<QLineEdit*>(QStringLiteral("editorPath"))->setText(editor);
    c.accept();
  });
  w.dispatch(40337);
  QVERIFY(w.liveEdit()->active());
  QCOMPARE(QString::fromStdString(StoredEditorPath()), editor);
  w.updateCommandStates();
  QCOMPARE(w.action(40337)->text(), QString::fromUtf8("实时图像编辑器 mirror..."));
  // An editor that cannot be started: message 40361 names it, and nothing is left behind.
  const QString folder0 = w.liveEdit()->folderPath();
  StoreEditorPath(dir.file("no-such-editor"));
  messages().sink.clear();
  QVERIFY(!w.liveEdit()->start(0));
  QCOMPARE(messages().ids(), std::vector<int>{40361});
  QVERIFY(!w.liveEdit()->active());
  QVERIFY(!QFileInfo::exists(folder0));
  QVERIFY(w.liveEdit()->folderPath().isEmpty());
  StoreEditorPath(editor.toStdString());
  QVERIFY(w.liveEdit()->start(0));
  // Closing the document ends the live edit and removes its files.
  const QString folder = w.liveEdit()->folderPath();
  QVERIFY(w.closeDocument());
  QVERIFY(!w.liveEdit()->active());
  QVERIFY(!QFileInfo::exists(folder));
}

void LiveEditTest::wholeAnimationNeedsALayeredEditor() {
  test::TempDir dir;
  StoreEditorPath(WriteEditor(dir, "mirror").toStdString());
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  w.dispatch(40336);
  QCOMPARE(messages().ids(), std::vector<int>{40360});
  QVERIFY(!w.liveEdit()->active());
  // An editor that takes layered files gets the whole animation as a PSD, and the menu offers
  // it. ImageMagick stands in for it: it mirrors every layer and writes the layered file back.
  const QString layered = QString::fromStdString(dir.file("photoshp.exe"));
  {
    QFile f(layered);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexec convert \"$1\" -flop \"$1\"\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
  }
  StoreEditorPath(layered.toStdString());
  w.updateCommandStates();
  QVERIFY(w.action(40336)->isVisible());
  QSignalSpy reloaded(w.liveEdit(), &LiveEdit::reloaded);
  w.dispatch(40336);
  QVERIFY(w.liveEdit()->active());
  QCOMPARE(w.liveEdit()->frameIndex(), -1);
  QVERIFY(w.liveEdit()->filePath().endsWith(QStringLiteral(".psd")));
  // What comes back replaces the frames and keeps their timing.
  QTRY_VERIFY_WITH_TIMEOUT(reloaded.count() >= 1, 15000);
  QCOMPARE(w.document()->frameCount, 3);
  for (int i = 0; i < 3; ++i) QCOMPARE(ImageAt(w.document(), i)->delay, 10 * (i + 1));
  w.dispatch(40001);
  QCOMPARE(w.document()->frameCount, 3);
}

void LiveEditTest::fireworksGetsPngAndASecondStartEndsTheFirst() {
  test::TempDir dir;
  StoreEditorPath(WriteEditor(dir, "FIREWORKS.EXE").toStdString());
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  QSignalSpy reloaded(w.liveEdit(), &LiveEdit::reloaded);
  QVERIFY(w.liveEdit()->start(2));
  QVERIFY(w.liveEdit()->filePath().endsWith(QStringLiteral(".png")));
  const QString first = w.liveEdit()->folderPath();
  QTRY_COMPARE_WITH_TIMEOUT(reloaded.count(), 1, 15000);
  QCOMPARE(ImageAt(w.document(), 2)->delay, 30);
  QVERIFY(w.liveEdit()->start(0));
  QVERIFY(!QFileInfo::exists(first));
  QCOMPARE(w.liveEdit()->frameIndex(), 0);
  QTRY_COMPARE_WITH_TIMEOUT(reloaded.count(), 2, 15000);
  QCOMPARE(UndoCount(), 2);
}

void LiveEditTest::unreadableSaveWaitsForTheNext() {
  test::TempDir dir;
  // An editor that does nothing: the test writes the file itself.
  const QString idle = QString::fromStdString(dir.file("idle"));
  {
    QFile f(idle);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
  }
  StoreEditorPath(idle.toStdString());
  const QString gif = WriteGif(dir);
  MainWindow w;
  QCOMPARE(w.openFiles({gif}), 1);
  const AnimPtr before = CopyAnimation(*w.document(), nullptr);
  QSignalSpy reloaded(w.liveEdit(), &LiveEdit::reloaded);
  QVERIFY(w.liveEdit()->start(0));
  const QString file = w.liveEdit()->filePath();
  QTest::qWait(50);
  test::WriteBytes(file.toStdString(), {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i', 'f'});
  QTest::qWait(LiveEdit::kPollMs + LiveEdit::kSettleMs + 500);
  QCOMPARE(reloaded.count(), 0);
  QVERIFY(w.liveEdit()->active());
  QCOMPARE(QString::fromStdString(test::DocumentDifference(*w.document(), *before)), QString());
  // The next save is read: here the three-frame file, whose first frame takes frame 0's place;
  // not while a dialog is open, which may hold on to the frames, but as soon as it closes.
  QDialog modal(&w);
  modal.setModal(true);
  modal.show();
  QVERIFY(QApplication::activeModalWidget() == &modal);
  test::WriteBytes(file.toStdString(), test::ReadBytes(gif.toStdString()));
  QTest::qWait(LiveEdit::kPollMs + LiveEdit::kSettleMs + 500);
  QCOMPARE(reloaded.count(), 0);
  modal.hide();
  QTRY_COMPARE_WITH_TIMEOUT(reloaded.count(), 1, 15000);
  QCOMPARE(w.document()->frameCount, 3);
}

FW_APP_TEST(LiveEditTest)
#include "live_edit_test.moc"
