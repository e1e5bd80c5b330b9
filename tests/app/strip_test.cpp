// The frame strip on its own and inside the window: lazy rendering, scrolling, the drag's
// autoscroll, the context menu, frame tips and the transparency display.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "support/test_support.h"
#include "core/compositor.h"
#include "ui/cell_cache.h"
#include "ui/composed_cells.h"
#include "ui/frame_strip.h"
#include "ui/frame_tip_popup.h"
#include "ui/frame_tip_text.h"
#include "ui/strip_geometry.h"
#include "core/number_text.h"
#include "gif/frame_costs.h"
#include "gif/gif_bytes.h"
#include "support/test_support.h"
#include <fstream>
#include <iterator>
#include <numeric>

using namespace fw;

namespace {

// A 640 x 480 animation of `frames` small frames (the cells are screen-sized whatever the
// frames hold, and small frames keep the test light).
AnimPtr LongDocument(int frames, int width = 640, int height = 480) {
  AnimPtr doc = test::NewDocument(width, height, 16);
  for (int i = 0; i < frames; ++i)
    test::AddFrame(*doc, i % 50, i % 40, 16, 12, [i](int x, int y) { return (x + y + i) % 16; }).delay = 10;
  return doc;
}

QStringList Texts(const QMenu& menu) {
  QStringList out;
  for (QAction* a : menu.actions())
    if (!a->isSeparator()) out << a->text();
  return out;
}

QAction* Find(const QMenu& menu, int id) {
  for (QAction* a : menu.findChildren<QAction*>())
    if (a->objectName() == QStringLiteral("c%1").arg(id)) return a;
  for (QAction* a : menu.actions()) {
    if (a->objectName() == QStringLiteral("c%1").arg(id)) return a;
    if (a->menu())
      for (QAction* b : a->menu()->actions())
        if (b->objectName() == QStringLiteral("c%1").arg(id)) return b;
  }
  return nullptr;
}

void Wheel(QWidget* target, int delta, Qt::KeyboardModifiers modifiers = {}) {
  const QPointF at(10, 10);
  QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                false);
  QApplication::sendEvent(target, &e);
}

void Move(QWidget* target, QPoint at, Qt::MouseButtons buttons) {
  QMouseEvent e(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &e);
}

}  // namespace

class StripTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void geometryHitTestAndInsertion();
  void dragInsertionAtTheEdgesAndScrollSteps();
  void dragPlansFollowTheSelection();
  void cellCacheKeepsTheCellsOfThePaintInProgress();
  void onlyVisibleCellsAreRendered();
  void openingALongAnimationPaintsOnlyTheFirstCells();
  void wheelAndKeysScroll();
  void wheelFollowsTheLayoutAndZooms();
  void orientationIsKeptAndResetsTheBars();
  void dragNearTheEdgeScrollsUntilReleased();
  void contextMenuFollowsTheSelection();
  void frameTipText();
  void frameTipFollowsThePointer();
  void transparencyDisplayModes();
  void composedCellsShowWhatTheViewerSees();
  void frameCostsAddUpToTheSavedFileAndFollowEdits();

};

void StripTest::geometryHitTestAndInsertion() {
  // 100 x 50 screen at 100%: cells of 58 along, strips of 12 + 108 + 8 across.
  StripGeometry g = ComputeStripGeometry(100, 50, 0, true, 7, 200);
  QCOMPARE(g.length, 58);
  QCOMPARE(g.thickness, 128);
  QCOMPARE(g.framesPerStrip, 3);
  QCOMPARE(g.stripCount, 3);
  QCOMPARE(StripHitTest(g, g.imageOffset, 10), -1);      // on the film edge
  QCOMPARE(StripHitTest(g, g.imageOffset + 1, 5), -1);   // in the gap
  QCOMPARE(StripHitTest(g, g.imageOffset + 1, 6), 0);
  QCOMPARE(StripHitTest(g, 128 + 20, 5 + 58), 4);
  QCOMPARE(StripHitTest(g, 2 * 128 + 20, 5 + 58), -1);  // past the last frame
  QCOMPARE(StripHitTest(g, 3 * 128 + 20, 10), -1);      // past the last strip
  QCOMPARE(StripInsertionIndex(g, 20, 0), 0);
  QCOMPARE(StripInsertionIndex(g, 20, 200), 3);
  QCOMPARE(StripInsertionIndex(g, 2 * 128 + 20, 200), 7);  // capped at the frame count
  // A window shorter than one cell still holds one frame per strip.
  QCOMPARE(ComputeStripGeometry(100, 50, 0, true, 7, 20).framesPerStrip, 1);
  int num = 0, den = 0;
  ZoomFraction(-7, num, den);
  QCOMPARE(num * 100 / den, 20);
  ZoomFraction(9, num, den);
  QCOMPARE(num * 100 / den, 400);
}

void StripTest::dragInsertionAtTheEdgesAndScrollSteps() {
  const StripGeometry g = ComputeStripGeometry(100, 50, 0, true, 7, 200);  // 3 strips of 128
  const int max = 3 * 128 - 200;
  // Before the client area: scroll back while possible, else the first strip.
  DragTarget t = DragInsertion(g, {50, max, 200}, -5, 200, 7, 16);
  QCOMPARE(t.autoscroll, -1);
  QCOMPARE(t.index, -1);
  t = DragInsertion(g, {0, max, 200}, -5, 200, 7, 16);
  QCOMPARE(t.autoscroll, 0);
  QCOMPARE(t.index, 3);
  QCOMPARE(t.strip, 0);  // the end of the first strip, not the start of the second
  // Beyond it: scroll on while possible, else the last strip.
  t = DragInsertion(g, {50, max, 200}, 205, 0, 7, 16);
  QCOMPARE(t.autoscroll, 1);
  QCOMPARE(t.index, -1);
  t = DragInsertion(g, {max, max, 200}, 205, 0, 7, 16);
  QCOMPARE(t.autoscroll, 0);
  QCOMPARE(t.index, 6);
  QCOMPARE(t.strip, 2);
  // Near an edge it scrolls and still shows where a drop would land.
  t = DragInsertion(g, {50, max, 200}, 5, 0, 7, 16);
  QCOMPARE(t.autoscroll, -1);
  QCOMPARE(t.index, 0);
  t = DragInsertion(g, {50, max, 200}, 190, 0, 7, 16);
  QCOMPARE(t.autoscroll, 1);
  QCOMPARE(t.index, 3);
  // The frame count at the start of the drag caps the slot.
  QCOMPARE(DragInsertion(g, {max, max, 200}, 100, 200, 5, 16).index, 5);

  // A tiny window still scrolls in the direction asked.
  QCOMPARE(ScrollDelta(ScrollStep::LineUp, 10), -1);
  QCOMPARE(ScrollDelta(ScrollStep::PageUp, 2), -1);
}

void StripTest::dragPlansFollowTheSelection() {
  AnimPtr doc = test::NewDocument(4, 4, 4);
  for (int i = 0; i < 6; ++i) test::AddFrame(*doc, 0, 0, 4, 4, [](int, int) { return 0; });
  SelectFrames(*doc, 1, kSelectPlain);
  QVERIFY(!PlanDragMove(*doc, 1, 1).moves);  // dropped where it is
  QVERIFY(!PlanDragMove(*doc, 1, 2).moves);  // right behind itself
  DragMove m = PlanDragMove(*doc, 1, 4);
  QVERIFY(m.moves);
  QCOMPARE(m.kind, undo_kind::kMoveFrame);
  QCOMPARE(m.newCurrent, 3);
  SelectFrames(*doc, 3, kSelectToggle);
  QVERIFY(!PlanDragMove(*doc, 1, 4).moves);  // next to a selected frame
  m = PlanDragMove(*doc, 1, 6);
  QVERIFY(m.moves);
  QCOMPARE(m.kind, undo_kind::kMoveFrames);
  QCOMPARE(m.formers, (std::vector<int>{1, 3}));
  QCOMPARE(m.newCurrent, 4);
  // Shift extends from the anchor, Ctrl toggles and moves the anchor.
  SelectFrames(*doc, 0, kSelectPlain);
  SelectFrames(*doc, 2, kSelectExtend);
  QCOMPARE(doc->selectedCount, 3);
  SelectFrames(*doc, 1, kSelectToggle);
  QCOMPARE(doc->selectedCount, 2);
  QCOMPARE(CurrentAfterSelect(*doc, 1), 0);
}

void StripTest::cellCacheKeepsTheCellsOfThePaintInProgress() {
  const QImage cell(10, 10, QImage::Format_ARGB32_Premultiplied);
  CellCache cache(10 * cell.sizeInBytes());
  int keys[101];
  // One paint may need more than the budget: nothing it drew is dropped meanwhile.
  cache.beginPaint();
  for (int k = 0; k < 20; ++k) cache.insert(&keys[k], cell);
  QCOMPARE(cache.size(), 20);
  // The next paint drops the least recently used cells, never one it used itself.
  cache.beginPaint();
  QVERIFY(cache.find(&keys[0]));
  cache.insert(&keys[100], cell);
  QCOMPARE(cache.size(), 10);
  QCOMPARE(cache.bytes(), 10 * cell.sizeInBytes());
  QVERIFY(cache.find(&keys[0]));
  QVERIFY(!cache.find(&keys[1]));
  QVERIFY(!cache.find(&keys[11]));
  QVERIFY(cache.find(&keys[12]));
  cache.remove(&keys[12]);
  QCOMPARE(cache.size(), 9);
}

void StripTest::onlyVisibleCellsAreRendered() {
  AnimPtr doc = LongDocument(500);
  FrameStrip strip;
  strip.resize(1000, 600);
  strip.show();
  strip.setDocument(doc.get());
  // Wider than tall: vertical strips of 668 pixels with one 488-pixel cell each, so the
  // viewport (less than 1000 wide) shows the first two strips.
  const StripGeometry& g = strip.geometry();
  QVERIFY(g.vertical);
  QCOMPARE(g.framesPerStrip, 1);
  QCOMPARE(g.thickness, 668);
  QVERIFY(strip.viewport()->width() > 668 + 17 && strip.viewport()->width() < 2 * 668);
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 2);
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 2);  // painted again from the cache

  // One strip further: only the strip that came into view is rendered.
  strip.horizontalScrollBar()->setValue(668);
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 3);
  strip.horizontalScrollBar()->setValue(0);
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 3);

  // A changed frame is rendered again, and only that one.
  strip.frameChanged(1);
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 4);
  // A zoom renders the cells at the new scale, still only the visible ones.
  strip.setZoom(-4);
  strip.viewport()->grab();
  const int visibleAt20 = strip.renderCount() - 4;
  QVERIFY(visibleAt20 > 0 && visibleAt20 < 100);
}

void StripTest::openingALongAnimationPaintsOnlyTheFirstCells() {
  test::TempDir dir;
  AnimPtr doc = LongDocument(500);
  const std::string path = dir.file("long.gif");
  QVERIFY(SaveDocumentAs(path, *doc));
  MainWindow w;
  QCOMPARE(w.openFiles({QString::fromStdString(path)}), 1);
  QCOMPARE(w.document()->frameCount, 500);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.strip()->viewport()->grab();
  const int rendered = w.strip()->renderCount();
  QVERIFY2(rendered >= 1 && rendered <= 4, qPrintable(QString::number(rendered)));
}

void StripTest::wheelAndKeysScroll() {
  // Taller than wide: horizontal strips stacked downwards, so the vertical bar crosses them.
  AnimPtr doc = LongDocument(60, 100, 120);
  FrameStrip strip;
  strip.resize(400, 300);
  strip.show();
  strip.setDocument(doc.get());
  QVERIFY(!strip.geometry().vertical);
  QScrollBar* bar = strip.verticalScrollBar();
  const int extent = strip.viewport()->height();
  QVERIFY(bar->maximum() > 2 * extent);
  Wheel(strip.viewport(), -120);
  QCOMPARE(bar->value(), extent / 16 + 1);
  Wheel(strip.viewport(), -240);
  QCOMPARE(bar->value(), 3 * (extent / 16 + 1));
  Wheel(strip.viewport(), 120);
  QCOMPARE(bar->value(), 3 * (extent / 16 + 1) - (extent / 16 - 1));
  // Half notches add up; a modifier leaves the wheel to others.
  const int before = bar->value();
  Wheel(strip.viewport(), -60);
  QCOMPARE(bar->value(), before);
  Wheel(strip.viewport(), -60);
  QCOMPARE(bar->value(), before + extent / 16 + 1);
  Wheel(strip.viewport(), -120, Qt::ControlModifier);
  QCOMPARE(bar->value(), before + extent / 16 + 1);

  QTest::keyClick(&strip, Qt::Key_Home);
  QCOMPARE(bar->value(), 0);
  QTest::keyClick(&strip, Qt::Key_PageDown);
  QCOMPARE(bar->value(), extent / 2 + 1);
  QTest::keyClick(&strip, Qt::Key_PageUp);
  QCOMPARE(bar->value(), 2);
  QTest::keyClick(&strip, Qt::Key_End);
  QCOMPARE(bar->value(), bar->maximum());

  // Shift+arrow extends the selection from the anchor and brings its strip into view.
  SelectFrames(*doc, 0, kSelectPlain);
  strip.setCurrent(0);
  QTest::keyClick(&strip, Qt::Key_Down, Qt::ShiftModifier);
  const int perStrip = strip.geometry().framesPerStrip;
  QCOMPARE(doc->selectedCount, perStrip + 1);
  QCOMPARE(bar->value(), 0);
}

void StripTest::wheelFollowsTheLayoutAndZooms() {
  // Wider than tall: strips stand side by side and only the horizontal bar has anything to
  // scroll; the wheel must move it.
  MainWindow w;
  w.resize(500, 400);
  w.show();
  const test::TempDir dir;
  AnimPtr doc = LongDocument(120, 100, 60);
  const std::string path = dir.file("wide.gif");
  QVERIFY(SaveDocumentAs(path, *doc));
  QCOMPARE(w.openFiles({QString::fromStdString(path)}), 1);
  FrameStrip& strip = *w.strip();
  QVERIFY(strip.geometry().vertical);
  QScrollBar* across = strip.horizontalScrollBar();
  QVERIFY(across->maximum() > 0);
  QCOMPARE(strip.verticalScrollBar()->maximum(), 0);
  Wheel(strip.viewport(), -120);
  QVERIFY(across->value() > 0);
  const int scrolled = across->value();
  // Shift takes the other way, which has nothing to scroll here.
  Wheel(strip.viewport(), -120, Qt::ShiftModifier);
  QCOMPARE(across->value(), scrolled);
  // Ctrl zooms, in and out, as the menu's zoom commands do.
  QCOMPARE(strip.zoom(), 0);
  Wheel(strip.viewport(), 120, Qt::ControlModifier);
  QCOMPARE(strip.zoom(), 1);
  Wheel(strip.viewport(), -240, Qt::ControlModifier);
  QCOMPARE(strip.zoom(), -1);
}

void StripTest::orientationIsKeptAndResetsTheBars() {
  AnimPtr doc = LongDocument(60, 100, 120);
  FrameStrip strip;
  strip.resize(400, 300);
  strip.show();
  strip.setDocument(doc.get());
  QVERIFY(!strip.geometry().vertical);  // taller than wide
  strip.verticalScrollBar()->setValue(500);
  strip.setOrientation(4098);  // the same as the automatic choice
  QCOMPARE(strip.verticalScrollBar()->value(), 500);
  strip.setOrientation(4097);
  QVERIFY(strip.geometry().vertical);
  QCOMPARE(strip.verticalScrollBar()->value(), 0);
  QVERIFY(strip.horizontalScrollBar()->maximum() > 0);
  QCOMPARE(Prefs().raw(pref::kOptionFlags) & 0x30u, 0x10u);
  QCOMPARE(FrameStrip().orientation(), 4097);
  strip.setOrientation(0);
  QCOMPARE(Prefs().raw(pref::kOptionFlags) & 0x30u, 0u);
  QVERIFY(!strip.geometry().vertical);
}

void StripTest::dragNearTheEdgeScrollsUntilReleased() {
  AnimPtr doc = LongDocument(60, 100, 120);
  FrameStrip strip;
  strip.resize(400, 300);
  strip.show();
  strip.setDocument(doc.get());
  int dropped = -1;
  connect(&strip, &FrameStrip::dropAt, &strip, [&](int at) { dropped = at; });
  QWidget* view = strip.viewport();
  QScrollBar* bar = strip.verticalScrollBar();
  const QPoint start = strip.cellCentre(0);
  QTest::mousePress(view, Qt::LeftButton, {}, start);
  QVERIFY(!strip.autoscrolling());
  // Near the bottom edge: the view scrolls one line per tick, towards the pointer.
  const QPoint nearBottom(start.x(), view->height() - 3);
  Move(view, nearBottom, Qt::LeftButton);
  QVERIFY(strip.autoscrolling());
  QCOMPARE(bar->value(), 0);
  strip.autoscrollStep();
  strip.autoscrollStep();
  QCOMPARE(bar->value(), 2 * (view->height() / 16 + 1));
  QVERIFY(strip.insertionMarker() >= 0);
  // Below the window the marker goes away while it scrolls.
  Move(view, QPoint(start.x(), view->height() + 40), Qt::LeftButton);
  QVERIFY(strip.autoscrolling());
  QCOMPARE(strip.insertionMarker(), -1);
  // Back inside, it stops.
  Move(view, QPoint(start.x(), view->height() / 2), Qt::LeftButton);
  QVERIFY(!strip.autoscrolling());
  const int marker = strip.insertionMarker();
  QVERIFY(marker > 0);
  Move(view, nearBottom, Qt::LeftButton);
  QVERIFY(strip.autoscrolling());
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(start.x(), view->height() / 2));
  QVERIFY(!strip.autoscrolling());
  QVERIFY(dropped > 0);
}

void StripTest::contextMenuFollowsTheSelection() {
  test::TempDir dir;
  AnimPtr source = LongDocument(3);
  const std::string path = dir.file("three.gif");
  QVERIFY(SaveDocumentAs(path, *source));
  MainWindow w;
  w.openFiles({QString::fromStdString(path)});
  {
    QMenu menu;
    w.strip()->buildContextMenu(menu);
    QCOMPARE(Texts(menu), (QStringList{QString::fromUtf8("粘贴帧(&P)"), QString::fromUtf8("动画属性(&A)..."),
                                       QString::fromUtf8("全局帧属性(&G)...")}));
    // Greyed as in the main menu: nothing to paste yet.
    QVERIFY(!Find(menu, 40004)->isEnabled());
  }
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  QMenu menu;
  w.strip()->buildContextMenu(menu);
  const QStringList texts = Texts(menu);
  QCOMPARE(texts.mid(0, 4), (QStringList{QString::fromUtf8("复制(&C)"), QString::fromUtf8("剪切(&T)"),
                                         QString::fromUtf8("删除(&D)"), QString::fromUtf8("粘贴在(&P)")}));
  QVERIFY(texts.contains(QString::fromUtf8("旋转")));
  for (int id : {1012, 40002, 40012, 40004, 40008, 40009, 40052, 40074, 40073, 40075, 40076, 40077, 40072, 328, 40135,
                 40343, 40337})
    QVERIFY2(Find(menu, id), qPrintable(QString::number(id)));
  // The window's own actions: the same greying, texts and dispatch.
  QVERIFY(Find(menu, 40012) == w.action(40012));
  QVERIFY(Find(menu, 40074)->isEnabled());
  QVERIFY(Find(menu, 40337)->isEnabled());
  QVERIFY(Find(menu, 40343)->isEnabled());
  QCOMPARE(Find(menu, 40337)->text(), w.action(40337)->text());
  Find(menu, 40012)->trigger();
  QCOMPARE(w.document()->frameCount, 2);

  // A right click opens it at the pointer.
  QTest::mouseClick(w.strip()->viewport(), Qt::RightButton, {}, w.strip()->cellCentre(0));
  auto* shown = w.strip()->findChild<QMenu*>(QStringLiteral("StripMenu"));
  QVERIFY(shown && shown->isVisible());
  shown->close();
}

void StripTest::frameTipText() {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  ImageBlock& f = test::AddFrame(*doc, 3, 4, 16, 12, [](int, int) { return 1; });
  f.delay = 7;
  SetDisposal(f, kDisposalBackground);
  SetTransparency(f, true);
  SetLocalPalette(f, doc->globalPalette->copy());
  const uint32_t all = 0xFFFFFFFFu;
  QCOMPARE(QString::fromStdString(FrameTipText(f, 2, all, 100)),
           QString::fromUtf8("帧 3 \n大小: 16 x 12\n偏移: (3 , 4)\n延迟: 7/100秒\n删除: 还原背景\n透明\n本地调色板\n位数: 8"));
  // Only the chosen lines, the first without its line break; delays shown in hundredths.
  f.delay = 70;
  QCOMPARE(QString::fromStdString(FrameTipText(f, 2, tip_item::kSize | tip_item::kDelay, 1000)),
           QString::fromUtf8("大小: 16 x 12\n延迟: 7/100秒"));
  QCOMPARE(FrameTipText(f, 2, tip_item::kOn, 100), std::string());
  SetDisposal(f, kDisposalPrevious);
  SetTransparency(f, false);
  SetLocalPalette(f, nullptr);
  f.activePalette = doc->globalPalette.get();
  QCOMPARE(QString::fromStdString(FrameTipText(f, 0, tip_item::kDisposal | tip_item::kTransparency |
                                                         tip_item::kPaletteType, 100)),
           QString::fromUtf8("删除: 恢复到以前\n没有透明度\n全局调色板"));
  SetDisposal(f, kDisposalLeave);
  f.trueColour.assign(Stride24(16) * 12, 0);
  f.alpha.assign(Stride8(16) * 12, 255);
  QCOMPARE(QString::fromStdString(FrameTipText(f, 0, tip_item::kDisposal | tip_item::kTransparency |
                                                         tip_item::kBitsPerPixel, 100)),
           QString::fromUtf8("删除: 保持原样\nAlpha通道\n位数: 32"));

  QCOMPARE(TipPicture(800, 200).width, 400);
  QCOMPARE(TipPicture(800, 200).height, 100);
  QCOMPARE(TipPicture(300, 200).width, 300);  // never enlarged
  QCOMPARE(TipPicture(120, 1200).height, 400);
}

void StripTest::frameTipFollowsThePointer() {
  AnimPtr doc = LongDocument(4, 100, 50);
  FrameStrip strip;
  strip.resize(500, 400);
  strip.show();
  strip.setDocument(doc.get());
  strip.setShowComposed(false);  // the stored frames' pictures (composedCells checks the other)
  FrameTipPopup* tip = strip.tipPopup();
  QWidget* view = strip.viewport();
  Move(view, strip.cellCentre(1), Qt::NoButton);
  QVERIFY(!tip->isVisible());  // tips are off

  Prefs().write(pref::kFrameTips, tip_item::kNumber | tip_item::kSize);
  strip.toggleFrameTips();
  QVERIFY(strip.frameTipsOn());
  QVERIFY(Prefs().bit(pref::kFrameTips, tip_item::kOn));
  const QPoint over = strip.cellCentre(1);
  Move(view, over, Qt::NoButton);
  QVERIFY(tip->isVisible());
  QCOMPARE(tip->text(), QString::fromUtf8("帧 2 \n大小: 16 x 12"));
  QCOMPARE(tip->pos(), view->mapToGlobal(over) + QPoint(12, 22));
  QCOMPARE(tip->picture().size(), QSize(16, 12));
  // Another frame with the same text gets its own picture.
  Prefs().write(pref::kFrameTips, tip_item::kOn | tip_item::kSize);
  Move(view, strip.cellCentre(2), Qt::NoButton);
  const QImage second = tip->picture();
  Move(view, over, Qt::NoButton);
  QCOMPARE(tip->text(), QString::fromUtf8("大小: 16 x 12"));
  QVERIFY(tip->picture() != second);
  // Off a frame, on a press and when turned off, it hides.
  Move(view, QPoint(2, 2), Qt::NoButton);
  QVERIFY(!tip->isVisible());
  Move(view, over, Qt::NoButton);
  QVERIFY(tip->isVisible());
  QTest::mousePress(view, Qt::LeftButton, {}, over);
  QVERIFY(!tip->isVisible());
  QTest::mouseRelease(view, Qt::LeftButton, {}, over);
  QVERIFY(tip->isVisible());
  strip.toggleFrameTips();
  QVERIFY(!tip->isVisible());
  QVERIFY(!Prefs().bit(pref::kFrameTips, tip_item::kOn));
}

void StripTest::transparencyDisplayModes() {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  // Index 3 is transparent in the left half of the frame.
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 8, 6, [](int x, int) { return x < 4 ? 3 : 5; });
  SetTransparentIndex(f, 3);
  SetTransparency(f, true);
  FrameStrip strip;
  strip.resize(200, 200);
  strip.show();
  strip.setDocument(doc.get());
  const QPoint cell = strip.cellCentre(0) - QPoint(2, 0);  // in the transparent half
  const QPoint opaque = strip.cellCentre(0) + QPoint(2, 0);
  auto pixel = [&](QPoint at) { return strip.viewport()->grab().toImage().pixelColor(at).rgb(); };
  const QRgb face = strip.palette().color(QPalette::Button).rgb();
  QCOMPARE(pixel(cell), face);
  QCOMPARE(pixel(opaque), qRgb(5, 250, 35));

  strip.transparencyCommand(40089);  // the colour the transparent index holds
  QCOMPARE(pixel(cell), qRgb(3, 252, 21));
  QCOMPARE(Prefs().read(pref::kStripTransparency) >> 24, 1u);

  QColor offered;
  strip.setColourChooser([&](QColor initial, QWidget*) -> std::optional<QColor> {
    offered = initial;
    return QColor(10, 200, 30);
  });
  strip.transparencyCommand(40090);
  QCOMPARE(strip.transparencyMode(), 2);
  QCOMPARE(pixel(cell), qRgb(10, 200, 30));
  QCOMPARE(pixel(opaque), qRgb(5, 250, 35));
  QCOMPARE(Prefs().read(pref::kStripTransparency), 0x02000000u | 30u << 16 | 200u << 8 | 10u);
  // A cancelled chooser changes nothing; the window background keeps the chosen colour.
  strip.setColourChooser([&](QColor initial, QWidget*) -> std::optional<QColor> {
    offered = initial;
    return std::nullopt;
  });
  strip.transparencyCommand(40090);
  QCOMPARE(offered, QColor(10, 200, 30));
  QCOMPARE(strip.transparencyMode(), 2);
  strip.transparencyCommand(40088);
  QCOMPARE(pixel(cell), face);
  QCOMPARE(Prefs().read(pref::kStripTransparency), 0x00000000u | 30u << 16 | 200u << 8 | 10u);
  // A new strip starts from the stored setting.
  strip.setColourChooser([](QColor, QWidget*) -> std::optional<QColor> { return QColor(10, 200, 30); });
  strip.transparencyCommand(40090);
  FrameStrip again;
  QCOMPARE(again.transparencyMode(), 2);
  QCOMPARE(again.transparencyDisplay().colour, QColor(10, 200, 30));
}

void StripTest::composedCellsShowWhatTheViewerSees() {
  MemoryPreferenceStore& store = useStoredPreferences();
  // A full first frame, then patches with holes that show it through.
  AnimPtr doc = test::NewDocument(12, 8, 16);
  test::AddFrame(*doc, 0, 0, 12, 8, [](int x, int y) { return 1 + (x + y) % 3; });
  for (int i = 0; i < 3; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 2 + 3 * i, 2, 3, 4, [i](int x, int y) { return (x + y) % 2 ? 0 : 8 + i; });
    SetTransparency(f, true);
    SetDisposal(f, i == 1 ? kDisposalBackground : kDisposalLeave);
  }
  FrameStrip strip;
  strip.resize(600, 400);
  strip.show();
  strip.setDocument(doc.get());
  QVERIFY(strip.showComposed());  // on by default
  const QColor face = strip.palette().color(QPalette::Button);
  const QRgb outline = StoredRectangleColour().rgb();
  Compositor compositor(*doc);
  int index = 0;
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next(), ++index) {
    const QImage expected = RenderCell(*canvas, strip.transparencyDisplay(), face, 1, 1).convertToFormat(QImage::Format_ARGB32);
    const QImage cell = strip.renderFrame(index, 1, 1);
    QCOMPARE(cell.size(), QSize(12, 8));
    const ImageBlock& f = *ImageAt(doc.get(), index);
    int outlined = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool edge = x >= f.left && x < f.left + f.width && y >= f.top && y < f.top + f.height &&
                          (x == f.left || x == f.left + f.width - 1 || y == f.top || y == f.top + f.height - 1);
        if (cell.pixel(x, y) == outline && edge) ++outlined;
        else QCOMPARE(cell.pixel(x, y), expected.pixel(x, y));
      }
    QCOMPARE(outlined > 0, index > 0);  // the full first frame needs no outline
  }
  // The painted strip takes its cells from the same renderer, and the tip its picture.
  strip.viewport()->grab();
  QCOMPARE(strip.renderCount(), 4);
  Prefs().write(pref::kFrameTips, tip_item::kOn | tip_item::kSize);
  strip.applyFrameTipSetting();
  Move(strip.viewport(), strip.cellCentre(2), Qt::NoButton);
  QCOMPARE(strip.tipPopup()->picture().size(), QSize(12, 8));

  // Off: the stored frames, and the choice is kept for the next strip.
  strip.setShowComposed(false);
  QCOMPARE(strip.renderFrame(2, 1, 1).size(), QSize(3, 4));
  QCOMPARE(store.number("StripShowsComposed"), std::optional<uint32_t>(0));
  FrameStrip next;
  QVERIFY(!next.showComposed());
}

void StripTest::frameCostsAddUpToTheSavedFileAndFollowEdits() {
  MemoryPreferenceStore& store = useStoredPreferences();
  test::TempDir dir;
  AnimPtr source = test::NewDocument(48, 36, 32);
  for (int i = 0; i < 5; ++i)
    test::AddFrame(*source, 0, 0, 48 - 8 * i, 36 - 6 * i, [i](int x, int y) { return (x * (i + 1) + y * y) % 32; });
  const std::string path = dir.file("in.gif");
  QVERIFY(SaveDocumentAs(path, *source));

  MainWindow w;
  QCOMPARE(w.openFiles({QString::fromStdString(path)}), 1);
  QVERIFY(!w.strip()->showFrameCosts());  // off unless asked for
  QCOMPARE(w.strip()->frameCost(0), int64_t{-1});
  w.dispatch(40402);
  QVERIFY(w.action(40402)->isChecked());
  QCOMPARE(store.numbers["StripShowsFrameCosts"], 1u);
  QTRY_VERIFY_WITH_TIMEOUT(w.strip()->frameCost(4) >= 0, 20000);

  // The costs are the frames' bytes in the file Save writes, whose size the status bar shows.
  const std::string saved = dir.file("out.gif");
  QVERIFY(w.saveDocumentAs(QString::fromStdString(saved)));
  std::ifstream in(saved, std::ios::binary);
  const test::Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const test::WalkedGif walked = test::WalkGif(bytes);
  QVERIFY(walked.ok);
  QTRY_COMPARE_WITH_TIMEOUT(w.document()->encodedSize, static_cast<int32_t>(bytes.size()), 20000);
  QTRY_VERIFY_WITH_TIMEOUT(w.strip()->frameCost(4) >= 0, 20000);
  int64_t sum = 0;
  for (int i = 0; i < 5; ++i) sum += w.strip()->frameCost(i);
  const int64_t header = static_cast<int64_t>(walked.images.front().at) - 8;  // before the first control block
  QCOMPARE(sum, int64_t{w.document()->encodedSize} - header - 1);
  // The tip gains the frame's line.
  const std::string tip = FrameTipText(*ImageAt(w.document(), 1), 1, tip_item::kSize, 100, w.strip()->frameCost(1));
  QVERIFY(tip.find(GroupThousands(w.strip()->frameCost(1), ',')) != std::string::npos);

  // An edit of one frame encodes that frame alone again.
  const int64_t before = SizeWorkerFrameCosts().encodes();
  const int64_t untouched = w.strip()->frameCost(0);
  SelectFrames(*w.document(), 2, kSelectPlain);
  w.setCurrentFrame(2);
  w.dispatch(40076);  // flip horizontally
  QTRY_VERIFY_WITH_TIMEOUT(w.strip()->frameCost(2) >= 0, 20000);
  QCOMPARE(SizeWorkerFrameCosts().encodes(), before + 1);
  QCOMPARE(w.strip()->frameCost(0), untouched);

  // Off: the worker measures no more; the choice is stored for the next strip.
  w.dispatch(40402);
  QCOMPARE(store.numbers["StripShowsFrameCosts"], 0u);
  FrameStrip other;
  QVERIFY(!other.showFrameCosts());
  store.numbers["StripShowsFrameCosts"] = 1;
  FrameStrip another;
  QVERIFY(another.showFrameCosts());
}

FW_APP_TEST(StripTest)
#include "strip_test.moc"
