// The resize and canvas dialogs: their fields, their refusals, and what confirming them does
// to the document and its undo history through the window.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/canvas_dialog.h"
#include "ui/frame_strip.h"
#include "ui/resize_dialog.h"
#include "ui/strip_geometry.h"

using namespace fw;
using namespace fw::test;

namespace {

// A 40 x 30 animation: a full frame, an offset transparent frame, and a small offset frame.
QString WriteAnimation(const test::TempDir& dir) {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return (x / 4 + y / 4) % 16; });
  ImageBlock& clear = test::AddFrame(*doc, 4, 6, 20, 10, [](int x, int) { return x < 10 ? 3 : 15; });
  SetTransparency(clear, true);
  clear.transparentIndex = 15;
  test::AddFrame(*doc, 10, 2, 10, 10, [](int x, int y) { return (x * y) % 16; });
  const std::string path = dir.file("anim.gif");
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

void SelectOnly(MainWindow& w, int index) {
  SelectFrames(*w.document(), index, kSelectPlain);
  w.setCurrentFrame(index);
}

}  // namespace

class ResizeDialogTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }

  void linkedFieldsFollowPixelsPercentAndAspect();
  void choicesAreRememberedAndTrueColourForcesBicubic();
  void bicubicWarningCanSendTheUserBack();
  void resizingTheAnimationIsOneUndoStep();
  void bicubicResizeThroughTheWindowUndoesExactly();
  void frameResizeTouchesOnlySelectedFrames();
  void canvasRefusesSizesBelowTheLargestFrame();
  void canvasIncreaseGrowsTheScreenAndUndoes();

};

void ResizeDialogTest::linkedFieldsFollowPixelsPercentAndAspect() {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int, int) { return 1; });
  ResizeDialog d(*doc, false, 40, 30, nullptr);
  QCOMPARE(Control<QLabel>(d, 1069)->text(), QStringLiteral("40"));
  QCOMPARE(Control<QLabel>(d, 1085)->text(), QStringLiteral("30"));
  QVERIFY(!Control<QCheckBox>(d, 1083)->isChecked());

  // Without the aspect lock each side moves alone.
  Type(d, 1070, 50);
  QCOMPARE(Shown(d, 1087), 125);
  QCOMPARE(Shown(d, 1086), 30);
  QCOMPARE(Shown(d, 1088), 100);

  // Locking re-applies the width: the height follows it.
  Control<QCheckBox>(d, 1083)->setChecked(true);
  QCOMPARE(Shown(d, 1086), 38);  // (50 * 30 + 20) / 40
  QCOMPARE(Shown(d, 1088), 125);

  // Percent entry with the lock: both sides at 50 %.
  Type(d, 1088, 50);
  QCOMPARE(Shown(d, 1070), 20);
  QCOMPARE(Shown(d, 1086), 15);
  QCOMPARE(Shown(d, 1087), 50);

  // Limits: a side never falls below one pixel nor grows beyond 10000.
  Type(d, 1087, 0);
  QCOMPARE(Shown(d, 1070), 1);
  QCOMPARE(Shown(d, 1086), 1);
  Type(d, 1070, 20000);
  QCOMPARE(Shown(d, 1070), 10000);
  QCOMPARE(Shown(d, 1086), 7500);

  const ScaleRecord s = d.scale();
  QCOMPARE(s.oldWidth, 40);
  QCOMPARE(s.oldHeight, 30);
  QCOMPARE(s.newWidth, 10000);
  QCOMPARE(s.newHeight, 7500);
  QVERIFY(!s.selectedOnly);
}

void ResizeDialogTest::choicesAreRememberedAndTrueColourForcesBicubic() {
  AnimPtr doc = test::NewDocument(16, 16, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 16, 16, [](int, int) { return 1; });
  {
    ResizeDialog d(*doc, false, 16, 16, nullptr);
    QVERIFY(Control<QRadioButton>(d, 1073)->isChecked());
    Control<QCheckBox>(d, 1083)->setChecked(true);
    Control<QRadioButton>(d, 1074)->setChecked(true);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
  }
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 7));
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 8));
  {
    ResizeDialog d(*doc, false, 16, 16, nullptr);
    QVERIFY(Control<QCheckBox>(d, 1083)->isChecked());
    QVERIFY(Control<QRadioButton>(d, 1074)->isChecked());
    // A cancelled dialog stores nothing.
    Control<QRadioButton>(d, 1073)->setChecked(true);
    d.reject();
  }
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 8));

  Prefs().write(pref::kOptionFlags, Prefs().raw(pref::kOptionFlags) & ~(1u << 8));
  SetTrueColourPlane(f, std::vector<uint8_t>(16 * Stride24(16), 0x80));
  ResizeDialog d(*doc, false, 16, 16, nullptr);
  QVERIFY(!Control<QRadioButton>(d, 1073)->isEnabled());
  QVERIFY(Control<QRadioButton>(d, 1074)->isChecked());
  QVERIFY(d.bicubic());
}

void ResizeDialogTest::bicubicWarningCanSendTheUserBack() {
  AnimPtr doc = test::NewDocument(16, 16, 16);
  test::AddFrame(*doc, 2, 2, 8, 8, [](int, int) { return 1; });
  ResizeDialog d(*doc, false, 16, 16, nullptr);
  Control<QRadioButton>(d, 1074)->setChecked(true);
  messages().sink.scriptedAnswers = {Answer::Cancel, Answer::Ok};
  d.accept();
  QCOMPARE(messages().ids(), std::vector<int>{198});
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QVERIFY(!Prefs().bit(pref::kOptionFlags, 1u << 8));  // not stored while the dialog stays open
  d.accept();
  QCOMPARE(d.result(), int(QDialog::Accepted));
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 8));

  // Nearest neighbour, or frames restored to the background, need no warning.
  messages().sink.clear();
  Control<QRadioButton>(d, 1073)->setChecked(true);
  d.accept();
  ImageAt(doc.get(), 0)->controlFlags = static_cast<uint8_t>((ImageAt(doc.get(), 0)->controlFlags & ~0x1C) | (2 << 2));
  Control<QRadioButton>(d, 1074)->setChecked(true);
  d.accept();
  QVERIFY(messages().ids().empty());
}

void ResizeDialogTest::resizingTheAnimationIsOneUndoStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  QVERIFY(w.action(40092)->isEnabled());
  const int steps = UndoCount();

  AnswerNextDialog<ResizeDialog>([](ResizeDialog& d) {
    Control<QCheckBox>(d, 1083)->setChecked(true);
    Type(d, 1087, 50);
    d.accept();
  });
  w.dispatch(40092);
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->screenWidth, 20);
  QCOMPARE(doc->screenHeight, 15);
  // The strip's cells follow the new screen size.
  QCOMPARE(w.strip()->geometry().zoomedWidth, 20);
  QCOMPARE(w.strip()->geometry().zoomedHeight, 15);
  QCOMPARE(Geometry(doc), (std::vector<FrameGeometry>{{0, 0, 20, 15}, {2, 3, 10, 5}, {5, 1, 5, 5}}));
  // Nearest neighbour picks source pixels: the transparent frame keeps its index and colours.
  const ImageBlock* clear = ImageAt(doc, 1);
  QVERIFY(clear->transparent());
  QCOMPARE(clear->transparentIndex, uint8_t(15));
  QCOMPARE(test::FramePixels(*clear)[4], uint8_t(3));
  QCOMPARE(test::FramePixels(*clear)[6], uint8_t(15));
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), steps + 1);

  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
  QCOMPARE(w.strip()->geometry().zoomedWidth, 40);
}

void ResizeDialogTest::bicubicResizeThroughTheWindowUndoesExactly() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  AnswerNextDialog<ResizeDialog>([](ResizeDialog& d) {
    Control<QRadioButton>(d, 1074)->setChecked(true);
    Type(d, 1070, 60);
    Type(d, 1086, 45);
    d.accept();  // the offset frames bring the warning, answered OK
  });
  w.dispatch(40092);
  QCOMPARE(messages().ids(), std::vector<int>{198});
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->screenWidth, 60);
  QCOMPARE(Geometry(doc), (std::vector<FrameGeometry>{{0, 0, 60, 45}, {6, 9, 30, 15}, {15, 3, 15, 15}}));
  // The transparent frame stays transparent where its centre pixels were.
  const ImageBlock* clear = ImageAt(doc, 1);
  QVERIFY(clear->transparent());
  QCOMPARE(test::FramePixels(*clear)[29], clear->transparentIndex);
  QVERIFY(test::FramePixels(*clear)[0] != clear->transparentIndex);

  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
}

void ResizeDialogTest::frameResizeTouchesOnlySelectedFrames() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  SelectOnly(w, 2);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  AnswerNextDialog<ResizeDialog>([](ResizeDialog& d) {
    // Measured against the current frame's 10 x 10.
    QCOMPARE(Control<QLabel>(d, 1069)->text(), QStringLiteral("10"));
    QCOMPARE(d.windowTitle(), QString::fromUtf8("调整帧"));
    Type(d, 1070, 40);
    Type(d, 1086, 30);
    d.accept();
  });
  w.dispatch(40135);
  const AnimHeader* doc = w.document();
  QCOMPARE(Geometry(doc), (std::vector<FrameGeometry>{{0, 0, 40, 30}, {4, 6, 20, 10}, {40, 6, 40, 30}}));
  QCOMPARE(test::FramePixels(*ImageAt(doc, 0)), test::FramePixels(*ImageAt(before.get(), 0)));
  // The screen fits the extent of every frame.
  QCOMPARE(doc->screenWidth, 80);
  QCOMPARE(doc->screenHeight, 36);

  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());

  // An unchanged size closes the dialog without an undo step.
  const int steps = UndoCount();
  AnswerNextDialog<ResizeDialog>([](ResizeDialog& d) { d.accept(); });
  w.dispatch(40135);
  QCOMPARE(UndoCount(), steps);
}

void ResizeDialogTest::canvasRefusesSizesBelowTheLargestFrame() {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 10 + i * 5, 20 - i * 5, [](int, int) { return 1; });
  SelectFrames(*doc, 0, kSelectPlain);
  SelectFrames(*doc, 1, kSelectToggle);
  CanvasDialog d(*doc, nullptr);
  QCOMPARE(Control<QLabel>(d, 1307)->text(), QString::fromUtf8("当前大小:变量(多选)"));
  QCOMPARE(Shown(d, 1308), 15);
  QCOMPARE(Shown(d, 1310), 20);
  // The arrows stop at the minimum; typing does not, and OK refuses it.
  Control<QSpinBox>(d, 1308)->stepDown();
  QCOMPARE(Shown(d, 1308), 15);

  Type(d, 1308, 12);
  Type(d, 1310, 8);
  d.accept();
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QCOMPARE(Shown(d, 1308), 15);  // the width first; the height is refused on the next try
  QCOMPARE(Shown(d, 1310), 8);
  d.accept();
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QCOMPARE(Shown(d, 1310), 20);
  Type(d, 1308, 10000);
  d.accept();
  QCOMPARE(d.result(), int(QDialog::Accepted));
  QCOMPARE(d.newWidth(), 10000);

  SelectFrames(*doc, 1, kSelectPlain);
  CanvasDialog one(*doc, nullptr);
  QCOMPARE(Control<QLabel>(one, 1307)->text(), QString::fromUtf8("当前大小: 15 x 15"));
}

void ResizeDialogTest::canvasIncreaseGrowsTheScreenAndUndoes() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  SelectOnly(w, 1);
  SelectFrames(*w.document(), 2, kSelectExtend);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  QVERIFY(w.action(328)->isEnabled());
  AnswerNextDialog<CanvasDialog>([](CanvasDialog& d) {
    Type(d, 1308, 40);
    Type(d, 1310, 12);
    d.accept();
  });
  w.dispatch(328);
  const AnimHeader* doc = w.document();
  // Positions stay; the content keeps the top left; the screen grows to the largest extent.
  QCOMPARE(Geometry(doc), (std::vector<FrameGeometry>{{0, 0, 40, 30}, {4, 6, 40, 12}, {10, 2, 40, 12}}));
  QCOMPARE(doc->screenWidth, 50);
  QCOMPARE(doc->screenHeight, 30);
  const std::vector<uint8_t> pixels = test::FramePixels(*ImageAt(doc, 1));
  QCOMPARE(pixels[0], uint8_t(3));
  QCOMPARE(pixels[39], uint8_t(15));       // new area at the right: the transparent index
  QCOMPARE(pixels[11 * 40], uint8_t(15));  // and below
  QCOMPARE(test::FramePixels(*ImageAt(doc, 2))[10], doc->backgroundIndex);

  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
}

FW_APP_TEST(ResizeDialogTest)
#include "resize_dialog_test.moc"
