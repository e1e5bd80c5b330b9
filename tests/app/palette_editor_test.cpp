// The palette editors and the transparency chooser, run from the window as the user runs them.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app/preferences/palette_choices.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/indexed_image.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "formats/pal_file.h"
#include "formats/save_document.h"
#include "imaging/fixed_palettes.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/index_chooser.h"
#include "ui/palette_editor.h"
#include "ui/property_bar.h"

using namespace fw;
using namespace fw::test;

namespace {

// Three 8 x 8 frames over a 16-colour global palette; pixel index (x + y + frame) % 16.
QString WriteGif(const test::TempDir& dir) {
  AnimPtr doc = test::NewDocument(8, 8, 16);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 8, 8, [&](int x, int y) { return (x + y + i) % 16; });
  const std::string path = dir.file("three.gif");
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

Rgb Shown(const ImageBlock& f, int index) { return EntryColour(f.indexedImage->colourTable[static_cast<size_t>(index)]); }

int Count(const ImageBlock& f, int index) {
  int n = 0;
  for (uint8_t p : test::FramePixels(f)) n += p == index;
  return n;
}

}  // namespace

class PaletteEditorTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void saveDialogStartsInSaveDirAndRemembersIt();
  void globalEditRecoloursItsFramesAsOneUndoStep();
  void localEditChangesOnlyItsFrame();
  void chooserMergesChosenIndicesIntoTheTransparentOne();
  void cancellingAfterTickingLeavesTheFrameOpaque();
  void fixedPaletteEditIsStoredAndExportable();
};

void PaletteEditorTest::globalEditRecoloursItsFramesAsOneUndoStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  AnimHeader* doc = w.document();
  w.setCurrentFrame(2);
  w.setLocalPaletteOfCurrent(true);
  const std::unique_ptr<Palette> before = doc->globalPalette->copy();
  const int steps = UndoCount();
  QVERIFY(w.action(40050)->isEnabled());

  // OK without an edit changes nothing and records nothing; the box's state is kept.
  AnswerNextDialog<PaletteEditor>([](PaletteEditor& e) {
    Control<QCheckBox>(&e, 1083)->setChecked(true);
    e.accept();
  });
  w.dispatch(40050);
  QCOMPARE(UndoCount(), steps);
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u));

  AnswerNextDialog<PaletteEditor>([](PaletteEditor& e) {
    QVERIFY(!Control<QSpinBox>(&e, 1069)->isEnabled());
    e.selectIndex(3);
    auto* red = Control<QSpinBox>(&e, 1069);
    QVERIFY(red->isEnabled());
    red->setValue(300);
    QCOMPARE(red->value(), 255);
    Control<QSpinBox>(&e, 1071)->setValue(-4);
    QCOMPARE(Control<QSpinBox>(&e, 1071)->value(), 0);
    e.accept();
  });
  w.dispatch(40050);
  const Rgb edited{255, (*before)[3].g, 0};
  QVERIFY((*doc->globalPalette)[3] == edited);
  QCOMPARE(UndoCount(), steps + 1);
  QVERIFY(w.isModified());
  QVERIFY(Shown(*ImageAt(doc, 0), 3) == edited);
  QVERIFY(Shown(*ImageAt(doc, 1), 3) == edited);
  // The frame with its own palette keeps its colours.
  QVERIFY(Shown(*ImageAt(doc, 2), 3) == (*before)[3]);

  w.dispatch(40001);
  QVERIFY(doc->globalPalette->sameEntries(*before));
  QVERIFY(Shown(*ImageAt(doc, 0), 3) == (*before)[3]);
  w.dispatch(40120);
  QVERIFY((*doc->globalPalette)[3] == edited);
}

void PaletteEditorTest::localEditChangesOnlyItsFrame() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  AnimHeader* doc = w.document();
  w.setCurrentFrame(1);
  QVERIFY(!w.action(40044)->isEnabled());
  w.setLocalPaletteOfCurrent(true);
  QVERIFY(w.action(40044)->isEnabled());
  QVERIFY(w.propertyBar()->findChild<QAbstractButton*>(QStringLiteral("c40044"))->isEnabled());
  const std::unique_ptr<Palette> global = doc->globalPalette->copy();
  const int steps = UndoCount();

  AnswerNextDialog<PaletteEditor>([](PaletteEditor& e) {
    e.selectIndex(5);
    e.setSelectedColour({1, 2, 3});
    e.accept();
  });
  w.dispatch(40044);
  const ImageBlock& local = *ImageAt(doc, 1);
  QVERIFY((*local.localPalette)[5] == (Rgb{1, 2, 3}));
  QVERIFY(Shown(local, 5) == (Rgb{1, 2, 3}));
  QVERIFY(doc->globalPalette->sameEntries(*global));
  QVERIFY(Shown(*ImageAt(doc, 0), 5) == (*global)[5]);
  QCOMPARE(UndoCount(), steps + 1);
  w.dispatch(40001);
  QVERIFY(local.localPalette->sameEntries(*global));
  QVERIFY(Shown(local, 5) == (*global)[5]);
}

void PaletteEditorTest::chooserMergesChosenIndicesIntoTheTransparentOne() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  AnimHeader* doc = w.document();
  w.setCurrentFrame(0);
  ImageBlock& f = *ImageAt(doc, 0);
  const std::vector<uint8_t> pixels = test::FramePixels(f);
  const int fives = Count(f, 5), sixes = Count(f, 6), sevens = Count(f, 7);
  auto* choose = w.propertyBar()->findChild<QAbstractButton*>(QStringLiteral("c40042"));
  QVERIFY(choose->isEnabled());

  // Select 5, add 6 and 7, add 6 again (kept once): 6 and 7 become 5, which turns transparent.
  AnswerNextDialog<IndexChooser>([](IndexChooser& c) {
    c.clickIndex(5);
    c.setTool(IndexChooser::kAddTool);
    c.clickIndex(6);
    c.clickIndex(7);
    c.clickIndex(6);
    QCOMPARE(c.chosen(), (std::vector<int>{5, 6, 7}));
    c.accept();
  });
  const int steps = UndoCount();
  QTest::mouseClick(choose, Qt::LeftButton);
  QVERIFY(f.transparent());
  QCOMPARE(int(f.transparentIndex), 5);
  QCOMPARE(Count(f, 5), fives + sixes + sevens);
  QCOMPARE(Count(f, 6) + Count(f, 7), 0);
  QCOMPARE(UndoCount(), steps + 1);
  QVERIFY(w.propertyBar()->findChild<QAbstractButton*>(QStringLiteral("c40041"))->isChecked());

  // The frame's own transparent index chosen again is no change and no step.
  AnswerNextDialog<IndexChooser>([](IndexChooser& c) {
    QCOMPARE(c.chosen(), std::vector<int>{5});
    QCOMPARE(c.tipText(5), QString::fromUtf8("#5: 透明"));
    c.clickIndex(5);
    c.accept();
  });
  w.dispatch(40042);
  QCOMPARE(UndoCount(), steps + 1);

  w.dispatch(40001);
  QVERIFY(!f.transparent());
  QCOMPARE(test::FramePixels(*ImageAt(doc, 0)), pixels);
}

void PaletteEditorTest::cancellingAfterTickingLeavesTheFrameOpaque() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  w.setCurrentFrame(1);
  auto* tick = w.propertyBar()->findChild<QAbstractButton*>(QStringLiteral("c40041"));
  const int steps = UndoCount();
  bool asked = false;
  AnswerNextDialog<IndexChooser>([&asked](IndexChooser& c) {
    asked = true;
    c.clickIndex(2);
    c.reject();
  });
  QTest::mouseClick(tick, Qt::LeftButton);
  QVERIFY(asked);
  QVERIFY(!ImageAt(w.document(), 1)->transparent());
  QVERIFY(!tick->isChecked());
  QCOMPARE(UndoCount(), steps);

  // An opaque frame's stored index chosen after ticking still switches transparency on.
  const int stored = ImageAt(w.document(), 1)->transparentIndex;
  AnswerNextDialog<IndexChooser>([stored](IndexChooser& c) {
    c.clickIndex(stored);
    c.accept();
  });
  QTest::mouseClick(tick, Qt::LeftButton);
  QVERIFY(ImageAt(w.document(), 1)->transparent());
  QVERIFY(tick->isChecked());
  QCOMPARE(UndoCount(), steps + 1);
}

void PaletteEditorTest::saveDialogStartsInSaveDirAndRemembersIt() {
  MemoryPreferenceStore& store = useStoredPreferences();
  test::TempDir dir;
  QVERIFY(QDir(QString::fromStdString(dir.path())).mkdir(QStringLiteral("sub")));
  const QString sub = QString::fromStdString(dir.file("sub"));
  store.texts["SaveDir"] = dir.path();
  const Rgb entries[2] = {{1, 2, 3}, {4, 5, 6}};
  const std::unique_ptr<Palette> palette = Palette::Create(entries, 2);
  PaletteEditorSubject subject;
  subject.palette = palette.get();
  PaletteEditor editor(subject, nullptr);
  AnswerNextDialog<QFileDialog>([&](QFileDialog& d) {
    QCOMPARE(d.windowTitle(), QString::fromUtf8("保存调色板"));
    QCOMPARE(d.nameFilters(), QStringList{QStringLiteral("PAL Palette Files (*.pal)")});
    QCOMPARE(d.directory().absolutePath(), QString::fromStdString(dir.path()));
    d.selectFile(sub + QStringLiteral("/x.pal"));
    QMetaObject::invokeMethod(&d, "accept");
  });
  editor.findChild<QPushButton*>(QStringLiteral("c1287"))->click();
  const std::unique_ptr<Palette> saved = ReadPalFile((sub + QStringLiteral("/x.pal")).toStdString());
  QVERIFY(saved && saved->sameEntries(*palette));
  QCOMPARE(QString::fromStdString(store.texts["SaveDir"]), sub);
}

void PaletteEditorTest::fixedPaletteEditIsStoredAndExportable() {
  test::TempDir dir;
  MemoryPreferenceStore store;
  Prefs().load(&store);
  const Rgb entries[4] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  QVERIFY(StoreFixedPalette(*Palette::Create(entries, 4)));
  PaletteChoices choices(0x880000u | 1024u, false, false);
  QVERIFY(Control<QAbstractButton>(&choices, 1291)->isEnabled());

  const std::string exported = dir.file("edited.pal");
  AnswerNextDialog<PaletteEditor>([&exported](PaletteEditor& e) {
    QCOMPARE(e.count(), 4);
    e.selectIndex(2);
    e.setSelectedColour({200, 100, 50});
    QVERIFY(e.exportTo(QString::fromStdString(exported)));
    e.accept();
  });
  QVERIFY(choices.editFixedPalette());
  QCOMPARE(store.binaries["FixedPal"].size(), size_t{1028});
  const std::unique_ptr<Palette> stored = StoredFixedPalette();
  QVERIFY(stored);
  QVERIFY((*stored)[2] == (Rgb{200, 100, 50}));
  QVERIFY((*stored)[1] == entries[1]);
  const std::unique_ptr<Palette> file = ReadPalFile(exported);
  QVERIFY(file && file->sameEntries(*stored));

  // Cancelling stores nothing.
  AnswerNextDialog<PaletteEditor>([](PaletteEditor& e) {
    e.selectIndex(0);
    e.setSelectedColour({0, 0, 0});
    e.reject();
  });
  QVERIFY(!choices.editFixedPalette());
  QVERIFY((*StoredFixedPalette())[0] == entries[0]);
  Prefs().load(nullptr);
}

FW_APP_TEST(PaletteEditorTest)
#include "palette_editor_test.moc"
