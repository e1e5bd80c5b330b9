// The pixel editor run from the window: tools, one undo step per session, and its greying.
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "dialog_driving.h"
#include "formats/save_document.h"
#include "support/test_support.h"
#include "ui/frame_strip.h"
#include "ui/pixel_editor.h"
#include "ui/pixel_view.h"
#include "ui/show_colors.h"

using namespace fw;
using namespace fw::test;

namespace {

// Two 12 x 10 frames over 16 colours; frame 1 has a wall of index 1 in column 5 and a
// transparent index 15.
QString WriteGif(const test::TempDir& dir) {
  AnimPtr doc = test::NewDocument(12, 10, 16);
  test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int y) { return (x + y) % 16; });
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int) { return x == 5 ? 1 : 0; });
  f.controlFlags |= 1;
  f.transparentIndex = 15;
  const std::string path = dir.file("two.gif");
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

void ClickPixel(PixelEditor& e, int x, int y) {
  QTest::mouseClick(e.view(), Qt::LeftButton, {}, e.view()->pixelCentre(x, y));
}

void Pick(PixelEditor& e, int index) {
  auto* grid = e.findChild<ShowColors*>();
  QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(index).center());
}

}  // namespace

class PixelEditorTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void toolsEditACopyThatOkCommitsAsOneUndoStep();
  void cancelAndUnchangedOkLeaveNoStep();
  void trueColourFrameKeepsItsPlaneInStep();
  void enabledWithACurrentFrameInMenuAndContextMenu();
};

void PixelEditorTest::toolsEditACopyThatOkCommitsAsOneUndoStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  AnimHeader* doc = w.document();
  w.setCurrentFrame(1);
  const AnimPtr before = CopyAnimation(*doc, nullptr);
  const int steps = UndoCount();

  AnswerNextDialog<PixelEditor>([&](PixelEditor& e) {
    QCOMPARE(e.windowTitle(), QString::fromUtf8("编辑像素"));
    // The transparent index is the first colour, the set tool the first tool.
    QCOMPARE(e.currentIndex(), 15);
    QCOMPARE(e.tool(), int(PixelEditor::kSetTool));
    QVERIFY(Control<QToolButton>(&e, 40342)->isChecked());
    Pick(e, 7);
    QCOMPARE(e.currentIndex(), 7);
    ClickPixel(e, 0, 0);
    // Fill the area right of the wall with 9; the left part keeps 0.
    Control<QToolButton>(&e, 40343)->click();
    Pick(e, 9);
    ClickPixel(e, 8, 4);
    // Pick the wall's colour from the picture.
    Control<QToolButton>(&e, 40341)->click();
    ClickPixel(e, 5, 9);
    QCOMPARE(e.currentIndex(), 1);
    // Zoom buttons change the view's scale; the frame itself is untouched until OK.
    const int zoom = e.view()->zoom();
    Control<QToolButton>(&e, 40039)->click();
    QCOMPARE(e.view()->zoom(), zoom / 2);
    Control<QToolButton>(&e, 40038)->click();
    QCOMPARE(e.view()->zoom(), zoom);
    Control<QToolButton>(&e, 40069)->click();
    QCOMPARE(e.view()->zoom(), 1);
    QCOMPARE(ImageAt(w.document(), 1)->indexedImage->row(0)[0], 0);
    QVERIFY(e.changed());
    // The colour under the pointer is described when the shared picker setting asks for it.
    auto* tips = Control<QCheckBox>(&e, 1083);
    tips->setChecked(false);
    QVERIFY(e.tipFor(7).isEmpty());
    tips->setChecked(true);
    QCOMPARE(e.tipFor(15), QString::fromUtf8("#15: 透明"));
    QVERIFY(e.tipFor(7).startsWith(QStringLiteral("#7: R=")));
    e.accept();
  });
  w.dispatch(40343);
  const ImageBlock& f = *ImageAt(doc, 1);
  QCOMPARE(f.indexedImage->row(0)[0], 7);
  QCOMPARE(f.indexedImage->row(0)[1], 0);
  QCOMPARE(f.indexedImage->row(3)[6], 9);
  QCOMPARE(f.indexedImage->row(9)[11], 9);
  QCOMPARE(f.indexedImage->row(9)[5], 1);
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), steps + 1);
  QVERIFY(w.action(40001)->text().contains(QString::fromUtf8("编辑像素")));
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 6));

  w.dispatch(40001);
  QCOMPARE(QString::fromStdString(test::DocumentDifference(*doc, *before)), QString());
  w.dispatch(40120);
  QCOMPARE(ImageAt(doc, 1)->indexedImage->row(3)[6], 9);
}

void PixelEditorTest::cancelAndUnchangedOkLeaveNoStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  w.setCurrentFrame(0);
  const AnimPtr before = CopyAnimation(*w.document(), nullptr);
  AnswerNextDialog<PixelEditor>([](PixelEditor& e) {
    Pick(e, 3);
    ClickPixel(e, 2, 2);
    QVERIFY(e.changed());
    e.reject();
  });
  w.dispatch(40343);
  // Filling with the colour already there is no change either.
  AnswerNextDialog<PixelEditor>([](PixelEditor& e) {
    e.setTool(PixelEditor::kFillTool);
    Pick(e, 4);
    ClickPixel(e, 2, 2);
    QVERIFY(!e.changed());
    e.accept();
  });
  w.dispatch(40343);
  QCOMPARE(UndoCount(), 0);
  QVERIFY(!w.isModified());
  QCOMPARE(QString::fromStdString(test::DocumentDifference(*w.document(), *before)), QString());
}

void PixelEditorTest::trueColourFrameKeepsItsPlaneInStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  w.setCurrentFrame(0);
  w.setTrueColourOfCurrent(true);
  const ImageBlock& f = *ImageAt(w.document(), 0);
  QVERIFY(f.hasTrueColour());
  const std::vector<uint8_t> plane = f.trueColour;
  const Rgb colour = (*w.document()->globalPalette)[6];
  AnswerNextDialog<PixelEditor>([](PixelEditor& e) {
    Pick(e, 6);
    ClickPixel(e, 3, 2);
    e.accept();
  });
  w.dispatch(40343);
  const uint8_t* row = f.trueColour.data() + 2 * Stride24(12);
  QCOMPARE(f.indexedImage->row(2)[3], 6);
  QCOMPARE(row[9], colour.b);
  QCOMPARE(row[10], colour.g);
  QCOMPARE(row[11], colour.r);
  w.dispatch(40001);
  QVERIFY(ImageAt(w.document(), 0)->trueColour == plane);
}

void PixelEditorTest::enabledWithACurrentFrameInMenuAndContextMenu() {
  test::TempDir dir;
  MainWindow w;
  w.updateCommandStates();
  QVERIFY(!w.action(40343)->isEnabled());
  QVERIFY(w.action(40343)->toolTip().isEmpty() || !w.action(40343)->toolTip().contains(QString::fromUtf8("尚未提供")));
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  w.setCurrentFrame(-1);
  QVERIFY(!w.action(40343)->isEnabled());
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  QVERIFY(w.action(40343)->isEnabled());
  QMenu menu;
  w.strip()->buildContextMenu(menu);
  QAction* item = nullptr;
  for (QAction* a : menu.actions())
    if (a->data().toInt() == 40343) item = a;
  QVERIFY(item && item->isEnabled());
}

FW_APP_TEST(PixelEditorTest)
#include "pixel_editor_test.moc"
