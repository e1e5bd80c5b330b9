// The "Properties" sheet: which pages each way of opening it shows, what the fields do to the
// document, the refusals that keep a page open, and the undo step each confirmed page leaves.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/frame_planes.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/frame_strip.h"
#include "ui/property_bar.h"
#include "ui/index_chooser.h"
#include "ui/property_sheet.h"

using namespace fw;
using fw::test::AnswerNextDialog;

namespace {

template <typename W>
W* Control(QWidget* scope, int id) {
  W* w = scope->findChild<W*>(QStringLiteral("c%1").arg(id));
  if (!w) qFatal("control %d missing", id);
  return w;
}
void Type(QWidget* page, int id, const QString& text) { Control<QLineEdit>(page, id)->setText(text); }
void Type(QWidget* page, int id, int value) { Type(page, id, QString::number(value)); }
QString Shown(QWidget* page, int id) { return Control<QLineEdit>(page, id)->text(); }
QWidget* Page(PropertySheet& sheet, const char* name) { return sheet.findChild<QWidget*>(QLatin1String(name)); }

// Opens the sheet with `command` and lets `drive` fill it in; the sheet is confirmed unless
// `drive` closed it already.
void RunSheet(MainWindow& w, int command, std::function<void(PropertySheet&)> drive) {
  AnswerNextDialog<PropertySheet>([drive](PropertySheet& sheet) {
    drive(sheet);
    if (sheet.isVisible()) sheet.accept();
  });
  w.dispatch(command);
}

// 40 x 30: three frames with different delays and offsets.
QString WriteAnimation(const test::TempDir& dir) {
  AnimPtr doc = test::NewDocument(40, 30, 16);
  const int delays[] = {10, 20, 30};
  for (int i = 0; i < 3; ++i) {
    ImageBlock& f = test::AddFrame(*doc, i * 4, i * 2, 20, 10, [i](int x, int y) { return (x + y + i) % 16; });
    f.delay = delays[i];
  }
  const std::string path = dir.file("anim.gif");
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

void SelectOnly(MainWindow& w, int index) {
  SelectFrames(*w.document(), index, kSelectPlain);
  w.setCurrentFrame(index);
}

// Undo brings back `before` exactly, redo the edited document; both on the one new step.
void CheckOneUndoStep(MainWindow& w, const AnimHeader& before, int stepsBefore) {
  QCOMPARE(UndoCount(), stepsBefore + 1);
  AnimPtr after = CopyAnimation(*w.document(), nullptr);
  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*w.document(), before), std::string());
  w.dispatch(40120);
  QCOMPARE(test::DocumentDifference(*w.document(), *after), std::string());
}

}  // namespace

class PropertyDialogsTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void eachCommandOpensItsPages();
  void framePageFieldsReachTheFrame();
  void paletteAndTrueColourDropsAreOneStep();
  void transparencyGoesThroughTheChooser();
  void frameRefusalsKeepThePage();
  void severalFramesChangeOnlyEditedFields();
  void unchangedGlobalPageRecordsNothing();
  void lightStepsKeepTheBlendFlag();
  void animationPageFieldsReachTheHeader();
  void animationRefusalsKeepThePage();
  void doubleClickOpensFrameOrAnimationProperties();
};

void PropertyDialogsTest::eachCommandOpensItsPages() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  ClearSelection(*w.document());
  w.setCurrentFrame(-1);
  QVERIFY(!w.action(40009)->isEnabled());
  QVERIFY(w.action(40052)->isEnabled());
  QVERIFY(w.action(40008)->isEnabled());
  SelectOnly(w, 1);
  QVERIFY(w.action(40009)->isEnabled());
  const std::pair<int, const char*> expected[] = {{40009, "FramePage"}, {40052, "GlobalPage"}, {40008, "AnimationPage"}};
  for (const auto& [command, first] : expected) {
    QString shown;
    int pages = 0;
    RunSheet(w, command, [&](PropertySheet& sheet) {
      shown = sheet.currentPage()->objectName();
      pages = static_cast<int>(sheet.findChildren<PropertyPage*>().size());
      QCOMPARE(sheet.windowTitle(), QStringLiteral("Properties"));
      sheet.reject();
    });
    QCOMPARE(shown, QString::fromLatin1(first));
    QCOMPARE(pages, command == 40009 ? 3 : 2);
  }
  // The frame page shows the current frame.
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    QCOMPARE(Shown(page, 1000), QStringLiteral("20"));
    QCOMPARE(Shown(page, 1008), QStringLiteral("4"));
    QCOMPARE(Control<QLabel>(page, 1014)->text(), QStringLiteral("20"));
    sheet.reject();
  });
}

void PropertyDialogsTest::framePageFieldsReachTheFrame() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  SelectOnly(w, 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    Type(page, 1002, QStringLiteral("walk"));
    Type(page, 1000, 55);
    Control<QComboBox>(page, 1018)->setCurrentIndex(2);
    Type(page, 1008, -3);
    Type(page, 1009, 7);
    Control<QCheckBox>(page, 1005)->setChecked(true);
    Control<QCheckBox>(page, 1007)->setChecked(true);
    Control<QCheckBox>(page, 1257)->setChecked(false);
  });
  const ImageBlock* f = ImageAt(w.document(), 1);
  QCOMPARE(FrameName(*f), std::string("walk"));
  QCOMPARE(f->delay, 55);
  QCOMPARE(f->disposal(), 2);
  QCOMPARE(f->left, -3);
  QCOMPARE(f->top, 7);
  QVERIFY(f->interlaced());
  QVERIFY(UserInput(*f));
  QCOMPARE(f->blend, 0);
  QCOMPARE(ImageAt(w.document(), 0)->delay, 10);
  QCOMPARE(CurrentUndoKind(), undo_kind::kFrameProperties);
  QVERIFY(w.isModified());
  CheckOneUndoStep(w, *before, steps);
}

void PropertyDialogsTest::paletteAndTrueColourDropsAreOneStep() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  SelectOnly(w, 0);
  w.setLocalPaletteOfCurrent(true);
  w.setTrueColourOfCurrent(true);
  QVERIFY(ImageAt(w.document(), 0)->localPalette && ImageAt(w.document(), 0)->hasTrueColour());
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    QVERIFY(Control<QPushButton>(page, 1064)->isEnabled());
    Control<QCheckBox>(page, 1006)->setChecked(false);
    Control<QCheckBox>(page, 1295)->setChecked(false);
  });
  const ImageBlock* f = ImageAt(w.document(), 0);
  QVERIFY(!f->localPalette);
  QCOMPARE(f->activePalette, w.document()->globalPalette.get());
  QVERIFY(!f->hasTrueColour());
  CheckOneUndoStep(w, *before, steps);
}

void PropertyDialogsTest::transparencyGoesThroughTheChooser() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  SelectOnly(w, 2);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  // Ticking and cancelling the chooser unticks the box; nothing changes.
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    AnswerNextDialog<IndexChooser>([](IndexChooser& c) { c.reject(); });
    Control<QCheckBox>(page, 1004)->click();
    QVERIFY(!Control<QCheckBox>(page, 1004)->isChecked());
  });
  QCOMPARE(UndoCount(), steps);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());

  // A chosen index is applied only when the sheet is confirmed, in the page's one step.
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    AnswerNextDialog<IndexChooser>([](IndexChooser& c) {
      c.clickIndex(5);
      c.accept();
    });
    Control<QCheckBox>(page, 1004)->click();
    QVERIFY(Control<QCheckBox>(page, 1004)->isChecked());
    Type(page, 1000, 99);
  });
  const ImageBlock* f = ImageAt(w.document(), 2);
  QVERIFY(f->transparent());
  QCOMPARE(int(f->transparentIndex), 5);
  QCOMPARE(f->delay, 99);
  CheckOneUndoStep(w, *before, steps);
}

void PropertyDialogsTest::frameRefusalsKeepThePage() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  SelectOnly(w, 0);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  messages().sink.clear();
  messages().sink.scriptedAnswers = {Answer::Ok, Answer::Ok, Answer::No, Answer::Ok};
  RunSheet(w, 40009, [&](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "FramePage");
    Type(page, 1008, 65536);
    // Neither another tab nor OK leaves the page.
    sheet.findChild<QTabWidget*>(QStringLiteral("tabs"))->setCurrentIndex(2);
    QCOMPARE(sheet.currentPage(), page);
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(sheet.currentPage(), page);
    // -65535 is in range but lies wholly off the screen: the user may refuse.
    Type(page, 1008, -65535);
    sheet.accept();
    QVERIFY(sheet.isVisible());
    Type(page, 1008, 0);
    Type(page, 1000, 65536);
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(messages().ids(), (std::vector<int>{40223, 40223, 40225, 40227}));
    sheet.reject();
  });
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());

  // Confirming the clipping question takes the offset.
  messages().sink.scriptedAnswers = {Answer::Yes};
  RunSheet(w, 40009, [](PropertySheet& sheet) { Type(Page(sheet, "FramePage"), 1009, -65535); });
  QCOMPARE(ImageAt(w.document(), 0)->top, -65535);
}

void PropertyDialogsTest::severalFramesChangeOnlyEditedFields() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  SelectOnly(w, 0);
  SelectFrames(*w.document(), 1, kSelectExtend);
  w.setCurrentFrame(1);
  QCOMPARE(w.document()->selectedCount, 2);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  RunSheet(w, 40009, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "MultiFramePage");
    QVERIFY(page);
    // The frames differ in delay and offsets, and share their disposal and size.
    QCOMPARE(Shown(page, 1000), QString());
    QCOMPARE(Shown(page, 1008), QString());
    QCOMPARE(Control<QLabel>(page, 1014)->text(), QStringLiteral("20"));
    Control<QComboBox>(page, 1018)->setCurrentIndex(3);
    Type(page, 1009, 5);
  });
  for (int i = 0; i < 2; ++i) {
    const ImageBlock* f = ImageAt(w.document(), i);
    QCOMPARE(f->disposal(), 3);
    QCOMPARE(f->top, 5);
    QCOMPARE(f->delay, ImageAt(before.get(), i)->delay);
    QCOMPARE(f->left, ImageAt(before.get(), i)->left);
  }
  QCOMPARE(ImageAt(w.document(), 2)->disposal(), ImageAt(before.get(), 2)->disposal());
  QCOMPARE(CurrentUndoKind(), undo_kind::kAllFrameProperties);
  CheckOneUndoStep(w, *before, steps);

  // The global page's tri-state box applies to every frame once decided.
  AnimPtr beforeGlobal = CopyAnimation(*w.document(), nullptr);
  const int globalSteps = UndoCount();
  ImageAt(w.document(), 1)->descriptorFlags |= 0x40;
  ImageAt(beforeGlobal.get(), 1)->descriptorFlags |= 0x40;
  RunSheet(w, 40052, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "GlobalPage");
    QCOMPARE(Control<QCheckBox>(page, 1005)->checkState(), Qt::PartiallyChecked);
    Control<QCheckBox>(page, 1005)->click();
    Type(page, 1000, 7);
  });
  for (const ImageBlock* f = FirstImage(w.document()); f; f = NextImage(f)) {
    QVERIFY(f->interlaced());
    QCOMPARE(f->delay, 7);
  }
  QCOMPARE(CurrentUndoKind(), undo_kind::kGlobalFrameProperties);
  CheckOneUndoStep(w, *beforeGlobal, globalSteps);
}

void PropertyDialogsTest::unchangedGlobalPageRecordsNothing() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  const int steps = UndoCount();
  RunSheet(w, 40052, [](PropertySheet&) {});
  QCOMPARE(UndoCount(), steps);
  QVERIFY(!w.isModified());
}

// A delay edit keeps only a light shell of the frames; undoing it must not touch the blend flag
// of animated PNG frames, which the shell exchanges too.
void PropertyDialogsTest::lightStepsKeepTheBlendFlag() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  for (ImageBlock* f = FirstImage(w.document()); f; f = NextImage(f)) f->blend = 0;
  SelectOnly(w, 0);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  RunSheet(w, 40009, [](PropertySheet& sheet) { Type(Page(sheet, "FramePage"), 1000, 12); });
  QCOMPARE(CurrentUndoKind(), undo_kind::kFrameProperties);
  CheckOneUndoStep(w, *before, UndoCount() - 1);
  AnimPtr beforeGlobal = CopyAnimation(*w.document(), nullptr);
  RunSheet(w, 40052, [](PropertySheet& sheet) { Type(Page(sheet, "GlobalPage"), 1000, 13); });
  QCOMPARE(CurrentUndoKind(), undo_kind::kGlobalFrameProperties);
  CheckOneUndoStep(w, *beforeGlobal, UndoCount() - 1);
}

void PropertyDialogsTest::animationPageFieldsReachTheHeader() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  RunSheet(w, 40008, [](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "AnimationPage");
    QCOMPARE(Control<QLabel>(page, 1023)->text(), QStringLiteral("3"));
    QCOMPARE(Shown(page, 1021), QStringLiteral("40"));
    // The frames reach 8 + 20 across and 4 + 10 down.
    Control<QPushButton>(page, 1063)->click();
    QCOMPARE(Shown(page, 1021), QStringLiteral("28"));
    QCOMPARE(Shown(page, 1022), QStringLiteral("14"));
    Type(page, 1021, 64);
    Type(page, 1022, 48);
    Type(page, 1025, 4);
    Control<QCheckBox>(page, 1092)->setChecked(true);
    AnswerNextDialog<IndexChooser>([](IndexChooser& c) {
      c.clickIndex(9);
      c.accept();
    });
    Control<QPushButton>(page, 1227)->click();
  });
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->screenWidth, 64);
  QCOMPARE(doc->screenHeight, 48);
  QCOMPARE(doc->playCount, 4);
  QCOMPARE(int(doc->backgroundIndex), 9);
  QCOMPARE(doc->hideFirstFrame, 1);
  QCOMPARE(doc->frameCount, 3);
  QVERIFY(w.statusText(1).contains(QStringLiteral("64")));
  QCOMPARE(UndoCount(), steps + 1);
  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());
  QCOMPARE(int(w.document()->backgroundIndex), int(before->backgroundIndex));
  QCOMPARE(w.document()->hideFirstFrame, before->hideFirstFrame);
}

void PropertyDialogsTest::animationRefusalsKeepThePage() {
  test::TempDir dir;
  MainWindow w;
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  messages().sink.clear();
  messages().sink.scriptedAnswers = {Answer::Ok, Answer::No, Answer::Ok, Answer::Ok};
  RunSheet(w, 40008, [&](PropertySheet& sheet) {
    QWidget* page = Page(sheet, "AnimationPage");
    Type(page, 1021, 65536);
    sheet.accept();
    QVERIFY(sheet.isVisible());
    Type(page, 1021, 10);  // narrower than the frames: the user refuses the clipping
    sheet.accept();
    QVERIFY(sheet.isVisible());
    Type(page, 1021, 40);
    Type(page, 1022, -1);
    sheet.accept();
    Type(page, 1022, 30);
    Type(page, 1025, 65537);
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(messages().ids(), (std::vector<int>{40199, 40201, 40203, 40206}));
    Type(page, 1025, 65536);
  });
  QCOMPARE(w.document()->playCount, 65536);
  QCOMPARE(w.document()->screenWidth, 40);
}

void PropertyDialogsTest::doubleClickOpensFrameOrAnimationProperties() {
  test::TempDir dir;
  MainWindow w;
  w.show();
  QVERIFY(w.openFiles({WriteAnimation(dir)}) > 0);
  FrameStrip* strip = w.strip();
  QString shown;
  auto record = [&shown](PropertySheet& sheet) {
    shown = sheet.currentPage()->objectName();
    sheet.reject();
  };
  AnswerNextDialog<PropertySheet>(record);
  QTest::mouseDClick(strip->viewport(), Qt::LeftButton, {}, strip->cellCentre(1));
  QCOMPARE(shown, QStringLiteral("FramePage"));
  QCOMPARE(w.currentFrame(), 1);

  ClearSelection(*w.document());
  w.setCurrentFrame(-1);
  shown.clear();
  AnswerNextDialog<PropertySheet>(record);
  const QPoint outside(strip->viewport()->width() - 2, strip->viewport()->height() - 2);
  QCOMPARE(strip->hitTest(outside), -1);
  QTest::mouseDClick(strip->viewport(), Qt::LeftButton, {}, outside);
  QCOMPARE(shown, QStringLiteral("AnimationPage"));

  // The property bar's buttons are the same commands.
  shown.clear();
  AnswerNextDialog<PropertySheet>(record);
  w.propertyBar()->findChild<QToolButton*>(QStringLiteral("c40008"))->click();
  QCOMPARE(shown, QStringLiteral("AnimationPage"));
}

FW_APP_TEST(PropertyDialogsTest)
#include "property_dialogs_test.moc"
