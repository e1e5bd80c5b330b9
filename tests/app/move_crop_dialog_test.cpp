// The move/crop frames and crop animation dialogs: typed, stepped, aligned and dragged edits,
// and what confirming them does to the document and its undo history through the window.
#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/move_crop_dialog.h"
#include "ui/move_crop_view.h"
#include "ui/strip_geometry.h"

using namespace fw;
using namespace fw::test;

namespace {

// A 40 x 30 animation: a full frame and two offset frames.
AnimPtr Animation() {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return (x / 4 + y / 4) % 16; });
  test::AddFrame(*doc, 4, 6, 20, 10, [](int x, int) { return x % 16; });
  test::AddFrame(*doc, 10, 2, 10, 10, [](int x, int y) { return (x * y) % 16; });
  return doc;
}
QString WriteAnimation(const test::TempDir& dir) {
  const std::string path = dir.file("anim.gif");
  return SaveDocumentAs(path, *Animation()) ? QString::fromStdString(path) : QString();
}

void Drag(QWidget* widget, QPoint from, QPoint to) {
  QTest::mousePress(widget, Qt::LeftButton, {}, from);
  QMouseEvent move(QEvent::MouseMove, to, widget->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &move);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

}  // namespace

class MoveCropDialogTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }

  void typedValuesWaitAndAreCorrected();
  void arrowsAlignmentDragAndReset();
  void showCroppedResultIsRememberedPerMode();
  void largeScreensAreShownSmaller();
  void movingFramesMovesEverySelectedFrameAndUndoes();
  void croppingTheAnimationCutsTheScreenAndUndoes();

};

void MoveCropDialogTest::typedValuesWaitAndAreCorrected() {
  AnimPtr doc = Animation();
  MoveCropDialog d(*doc, 1, false, nullptr);
  QCOMPARE(Shown(d, 1016), 20);
  QCOMPARE(Shown(d, 1018), 4);
  QCOMPARE(Shown(d, 1019), 6);

  // A typed left beyond the right edge takes effect only after the typing delay, corrected.
  Type(d, 1017, 25);
  QCOMPARE(d.state().left, 0);
  QTRY_COMPARE_WITH_TIMEOUT(d.state().left, 19, 20000);
  QCOMPARE(Shown(d, 1017), 19);

  // An offset leaving no column on the screen is pulled back to keep one.
  Type(d, 1018, 100);
  Type(d, 1019, -50);
  d.commitTyped();
  QCOMPARE(d.state().x, 39);
  QCOMPARE(d.state().y, -9);
  QCOMPARE(Shown(d, 1019), -9);
}

void MoveCropDialogTest::arrowsAlignmentDragAndReset() {
  AnimPtr doc = Animation();
  MoveCropDialog d(*doc, 2, false, nullptr);
  // The arrows act at once.
  Control<QSpinBox>(d, 1016)->stepDown();
  QCOMPARE(d.state().right, 9);

  Control<QToolButton>(d, 40071)->click();  // align right: x = screen width - right
  QCOMPARE(d.state().x, 31);
  QCOMPARE(Shown(d, 1018), 31);
  Control<QToolButton>(d, 40076)->click();  // centre
  QCOMPARE(d.state().x, (40 + 0 - 9) / 2);
  QCOMPARE(d.state().y, (30 + 0 - 10) / 2);

  // Dragging inside the rectangle moves the frame by the distance in screen pixels.
  MoveCropView* view = d.view();
  view->resize(view->sizeHint());
  const int x = d.state().x, y = d.state().y;
  const QPoint centre = view->toWidget({x + 4, y + 5});
  Drag(view, centre, centre + QPoint(3, -2) * view->zoom());
  QCOMPARE(d.state().x, x + 3);
  QCOMPARE(d.state().y, y - 2);
  QCOMPARE(Shown(d, 1018), x + 3);
  // Near the bottom edge it moves that edge.
  const QPoint bottom = view->toWidget({d.state().x + 4, d.state().y + d.state().bottom}) - QPoint(0, 1);
  Drag(view, bottom, bottom - QPoint(0, 4) * view->zoom());
  QCOMPARE(d.state().bottom, 6);

  // Every display choice paints, the neighbours included (frame 2 is the last: no next one).
  for (int id : {1083, 1133, 1084}) Control<QCheckBox>(d, id)->setChecked(true);
  // Below the moved bottom edge lies frame pixel (2, 8), index 0: the cropped result leaves
  // the blank screen there.
  const QPoint cut = view->toWidget({d.state().x + 2, d.state().y + 8});
  for (bool cropped : {false, true}) {
    Control<QCheckBox>(d, 1215)->setChecked(cropped);
    QCOMPARE(view->grab().toImage().pixelColor(cut) == QColor(Qt::white), cropped);
  }

  Control<QPushButton>(d, 1190)->click();
  QCOMPARE(d.state().x, 10);
  QCOMPARE(d.state().right, 10);
  QCOMPARE(d.state().bottom, 10);
}

void MoveCropDialogTest::showCroppedResultIsRememberedPerMode() {
  AnimPtr doc = Animation();
  {
    MoveCropDialog d(*doc, 0, false, nullptr);
    QVERIFY(!Control<QCheckBox>(d, 1215)->isChecked());
    Control<QCheckBox>(d, 1215)->setChecked(true);
  }
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 14));
  QVERIFY(!Prefs().bit(pref::kOptionFlags, 1u << 15));
  MoveCropDialog frames(*doc, 0, false, nullptr);
  QVERIFY(Control<QCheckBox>(frames, 1215)->isChecked());
  MoveCropDialog animation(*doc, 0, true, nullptr);
  QVERIFY(!Control<QCheckBox>(animation, 1215)->isChecked());
  QVERIFY(!Control<QSpinBox>(animation, 1018));  // no offset when cropping the animation
}

void MoveCropDialogTest::largeScreensAreShownSmaller() {
  AnimPtr doc = test::NewDocument(2000, 1000, 16);
  test::AddFrame(*doc, 0, 0, 1000, 500, [](int, int) { return 1; });
  MoveCropDialog d(*doc, 0, false, nullptr);
  MoveCropView* view = d.view();
  QVERIFY(view->zoom() < 1);
  QVERIFY(view->sizeHint().width() < 700);
  view->resize(view->sizeHint());
  // A drag covers more screen pixels than widget pixels.
  const QPoint from = view->toWidget({500, 250});
  Drag(view, from, from + QPoint(40, 0));
  QCOMPARE(d.state().x, int(std::lround(40 / view->zoom())));
}

void MoveCropDialogTest::movingFramesMovesEverySelectedFrameAndUndoes() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  SelectFrames(*w.document(), 1, kSelectPlain);
  SelectFrames(*w.document(), 2, kSelectExtend);
  w.setCurrentFrame(1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  QVERIFY(w.action(40072)->isEnabled());
  AnswerNextDialog<MoveCropDialog>([](MoveCropDialog& d) {
    Control<QToolButton>(d, 40070)->click();  // to the left edge
    Control<QToolButton>(d, 40072)->click();  // and the top
    Type(d, 1016, 10);
    d.accept();  // takes the typed right edge without waiting
  });
  w.dispatch(40072);
  // Frame 2 moved by the same (-4, -6) and was cut to the rectangle on the screen.
  QCOMPARE(Geometry(w.document()), (std::vector<FrameGeometry>{{0, 0, 40, 30}, {0, 0, 10, 10}, {6, 0, 4, 6}}));
  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
}

void MoveCropDialogTest::croppingTheAnimationCutsTheScreenAndUndoes() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteAnimation(dir)}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();

  // The whole screen: nothing changes, but the step is there to be seen.
  AnswerNextDialog<MoveCropDialog>([](MoveCropDialog& d) {
    Control<QPushButton>(d, 1216)->click();  // auto size: the frames' bounding box is the screen
    d.accept();
  });
  w.dispatch(40116);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
  QCOMPARE(UndoCount(), steps + 1);
  QVERIFY(!w.isModified());

  AnswerNextDialog<MoveCropDialog>([](MoveCropDialog& d) {
    Type(d, 1017, 5);
    Type(d, 1020, 5);
    Type(d, 1016, 25);
    Type(d, 1021, 20);
    d.accept();
  });
  w.dispatch(40116);
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->screenWidth, 20);
  QCOMPARE(doc->screenHeight, 15);
  QCOMPARE(Geometry(doc), (std::vector<FrameGeometry>{{0, 0, 20, 15}, {0, 1, 19, 10}, {5, 0, 10, 7}}));
  QVERIFY(w.isModified());
  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
}

FW_APP_TEST(MoveCropDialogTest)
#include "move_crop_dialog_test.moc"
