// The reduce-colours and reduce-frames dialogs as a user meets them: the controls and what they
// mean for the operation, the previews, and what OK and Cancel leave in the document and the
// undo history.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>

#include "app_test_registry.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/index_chooser.h"
#include "ui/reduce_colours_dialog.h"
#include "ui/reduce_frames_dialog.h"
#include "ui/show_anim_view.h"

using namespace fw;
using namespace fw::test;

namespace {

// 256 distinct colours spread over the picture, in several frames with different delays.
AnimPtr Colourful(int frames = 3) {
  AnimPtr doc = test::NewDocument(32, 24, 256);
  std::vector<Rgb> ramp(256);
  for (int i = 0; i < 256; ++i)
    ramp[static_cast<size_t>(i)] = Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>((i * 7) % 256)};
  doc->globalPalette->writeEntries(0, 256, ramp.data());
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 32, 24, [i](int x, int y) { return (x * 8 + y + i * 5) % 256; });
    f.delay = 10 + i;
  }
  return doc;
}

QString Save(const test::TempDir& dir, const AnimHeader& doc, const char* name) {
  const std::string path = dir.file(name);
  return SaveDocumentAs(path, const_cast<AnimHeader&>(doc)) ? QString::fromStdString(path) : QString();
}

int DistinctColoursShown(const AnimHeader& doc) {
  std::set<uint32_t> colours;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    for (uint8_t index : test::FramePixels(*f)) {
      const Rgb c = (*f->activePalette)[index];
      colours.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
    }
  return static_cast<int>(colours.size());
}

int DistinctColours(const QImage& picture) {
  std::set<QRgb> colours;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) colours.insert(picture.pixel(x, y));
  return static_cast<int>(colours.size());
}

int32_t TotalDelay(const AnimHeader& doc) {
  int32_t total = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) total += f->delay;
  return total;
}

class StoppingHook : public ProgressHook {
 public:
  void showWindow() override {}
  void setRange(int) override {}
  void setPosition(int) override { RequestProgressStop(); }
  void setText(const std::string&) override {}
  void pumpEvents() override { RequestProgressStop(); }
  void closeWindow() override {}
};

}  // namespace

class ReduceDialogsTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void choicesBecomeParametersAndAreRemembered();
  void previewsShowOriginalAndReduced();
  void refinedPaletteIsOfferedAndRemembered();
  void reducingThroughTheWindowIsOneUndoStep();
  void stoppedReductionLeavesDocumentAlone();
  void tinyPalettesAreRefused();
  void trialRunsOnItsWorkerAndIsCancelled();
  void reduceFramesKeepsRunningTimeAndUndoes();
  void reduceFramesRefusesBadIntervals();
};

void ReduceDialogsTest::refinedPaletteIsOfferedAndRemembered() {
  AnimPtr doc = Colourful();
  Prefs().write(pref::kReduceColours, (1u << 17) + 16u);
  ReduceColoursDialog dialog(*doc, 0, nullptr, nullptr);
  auto* refined = dialog.findChild<QCheckBox*>(QStringLiteral("refinedPalette"));
  QVERIFY(refined && refined->isChecked());
  QVERIFY(dialog.choice().refined);
  Control<QComboBox>(&dialog, 1076)->setEditText(QStringLiteral("16"));
  QVERIFY(dialog.apply());
  QCOMPARE(Prefs().read(pref::kReduceColours), (1u << 17) + 16u);
  QVERIFY(DistinctColoursShown(*doc) <= 16);
}

void ReduceDialogsTest::choicesBecomeParametersAndAreRemembered() {
  AnimPtr doc = Colourful();
  Prefs().write(pref::kReduceColours, 65536u + 32u);
  ReduceColoursDialog dialog(*doc, 0, nullptr, nullptr);
  auto* count = Control<QComboBox>(&dialog, 1076);
  QVERIFY(count && count->isEditable());
  // The count starts from the palette, only the dithering from the preference.
  QCOMPARE(count->currentText(), QStringLiteral("128"));
  QCOMPARE(count->count(), 6);
  QVERIFY(Control<QCheckBox>(&dialog, 1077)->isChecked());
  QVERIFY(Control(&dialog, 1270)->isEnabled());

  count->setEditText(QStringLiteral("1000"));
  QCOMPARE(dialog.choice().target, 256);
  QCOMPARE(count->currentText(), QStringLiteral("256"));
  count->setEditText(QStringLiteral("1"));
  QCOMPARE(dialog.choice().target, 2);
  QCOMPARE(count->currentText(), QStringLiteral("2"));

  count->setEditText(QStringLiteral("20"));
  Control<QCheckBox>(&dialog, 1077)->setChecked(false);
  // The lock button opens the chooser on the global palette; its set becomes the lock list.
  QString title;
  WhenModal<IndexChooser>([&](IndexChooser* chooser) {
    title = chooser->windowTitle();
    chooser->clickIndex(3);
    chooser->setTool(IndexChooser::kAddTool);
    chooser->clickIndex(250);
    chooser->accept();
  });
  Control<QPushButton>(&dialog, 1270)->click();
  QCOMPARE(title, QString::fromUtf8("选择锁定颜色"));
  QVERIFY(dialog.locks().anyLocked && dialog.locks().locked[3] && dialog.locks().locked[250]);
  QVERIFY(!dialog.locks().locked[4]);
  const Rgb locked = (*doc->globalPalette)[250];
  QVERIFY(dialog.apply());
  QCOMPARE(Prefs().read(pref::kReduceColours), 20u);
  QVERIFY(DistinctColoursShown(*doc) <= 20);
  bool lockedKept = false;
  for (int i = 0; i < doc->globalPalette->count(); ++i) lockedKept |= (*doc->globalPalette)[i] == locked;
  QVERIFY(lockedKept);
}

void ReduceDialogsTest::previewsShowOriginalAndReduced() {
  AnimPtr doc = Colourful(1);
  AnimPtr before = CopyAnimation(*doc, nullptr);
  ReduceColoursDialog dialog(*doc, 0, nullptr, nullptr);
  Control<QComboBox>(&dialog, 1076)->setEditText(QStringLiteral("8"));
  Control<QCheckBox>(&dialog, 1077)->setChecked(false);
  dialog.begin();
  // The trial runs on its worker; the dialog shows it when it is done.
  dialog.waitForTrial();
  auto* full = dialog.findChild<ShowAnimView*>(QStringLiteral("fullPane"));
  auto* reduced = dialog.findChild<ShowAnimView*>(QStringLiteral("reducedPane"));
  QVERIFY(full && reduced);
  QCOMPARE(full->partner(), reduced);
  QCOMPARE(DistinctColours(full->picture()), 256);
  QVERIFY(DistinctColours(reduced->picture()) <= 8);
  QVERIFY(dialog.trialCopy() && dialog.trialSize() > 0);
  QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("reducedSize"))->text().endsWith(QString::fromUtf8(" 字节")));
  QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("fullColours"))->text(), QString::fromUtf8("(256 颜色)"));
  QVERIFY(Control<QLabel>(&dialog, 1149)->text().startsWith(QString::fromUtf8("节省: ")));

  // Picking another count from the list runs a new trial at once.
  auto* count = Control<QComboBox>(&dialog, 1076);
  count->setCurrentIndex(count->findText(QStringLiteral("64")));
  emit count->activated(count->currentIndex());
  dialog.waitForTrial();
  QVERIFY(DistinctColours(reduced->picture()) > 8);
  QVERIFY(DistinctColours(reduced->picture()) <= 64);
  // A typed count waits for the pause after the last keystroke.
  const AnimHeader* copy = dialog.trialCopy();
  count->lineEdit()->setText(QStringLiteral("16"));
  emit count->lineEdit()->textEdited(QStringLiteral("16"));
  QCOMPARE(dialog.trialCopy(), copy);
  QTRY_VERIFY_WITH_TIMEOUT(DistinctColours(reduced->picture()) <= 16, 20000);  // a busy machine is slow, not wrong
  dialog.reject();
  QCOMPARE(test::DocumentDifference(*doc, *before), std::string());
}

void ReduceDialogsTest::reducingThroughTheWindowIsOneUndoStep() {
  test::TempDir dir;
  AnimPtr source = Colourful();
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({Save(dir, *source, "colourful.gif")}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int undoBefore = UndoCount();
  QVERIFY(w.action(cmd::kReduceColours)->isEnabled());

  WhenModal<ReduceColoursDialog>([](ReduceColoursDialog* d) {
    Control<QComboBox>(d, 1076)->setEditText(QStringLiteral("12"));
    Control<QCheckBox>(d, 1077)->setChecked(true);
    d->accept();
  });
  w.dispatch(cmd::kReduceColours);
  QVERIFY(DistinctColoursShown(*w.document()) <= 12);
  QCOMPARE(w.document()->frameCount, before->frameCount);
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), undoBefore + 1);
  QCOMPARE(CurrentUndoKind(), undo_kind::kReducePalette);
  QCOMPARE(Prefs().read(pref::kReduceColours), 65536u + 12u);

  w.dispatch(cmd::kUndo);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());

  // Cancel changes nothing.
  WhenModal<ReduceColoursDialog>([](ReduceColoursDialog* d) { d->reject(); });
  const int undoAfter = UndoCount();
  w.dispatch(cmd::kReduceColours);
  QCOMPARE(UndoCount(), undoAfter);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());
}

void ReduceDialogsTest::stoppedReductionLeavesDocumentAlone() {
  AnimPtr doc = Colourful();
  AnimPtr before = CopyAnimation(*doc, nullptr);
  StoppingHook hook;
  const int undoBefore = UndoCount();
  ReduceColoursDialog dialog(*doc, 0, &hook, nullptr);
  // Not begun: no trial to use, so OK reduces with a progress, and Escape stops it.
  Control<QComboBox>(&dialog, 1076)->setEditText(QStringLiteral("16"));
  QVERIFY(!dialog.apply());
  QVERIFY(!dialog.changed());
  QCOMPARE(UndoCount(), undoBefore);
  QCOMPARE(test::DocumentDifference(*doc, *before), std::string());
  QVERIFY(messages().ids().empty());
}

void ReduceDialogsTest::trialRunsOnItsWorkerAndIsCancelled() {
  AnimPtr doc = Colourful(1);
  // A large animation: the trial takes long enough to be seen running.
  for (int i = 0; i < 40; ++i)
    test::AddFrame(*doc, 0, 0, 32, 24, [i](int x, int y) { return (x * 3 + y * 5 + i) % 256; });
  AnimPtr before = CopyAnimation(*doc, nullptr);
  ReduceColoursDialog dialog(*doc, 0, nullptr, nullptr);
  dialog.show();
  // Showing the dialog starts a trial, and its result arrives while the interface goes on (a
  // loaded machine may finish it before the result is delivered, so nothing is asked in
  // between); the status line empties again.
  auto* status = dialog.findChild<QLabel*>(QStringLiteral("trialStatus"));
  QTRY_VERIFY_WITH_TIMEOUT(dialog.trialCopy() != nullptr, 20000);
  QVERIFY(status->text().isEmpty());
  // A new choice replaces the trial under way; closing the dialog stops the one running.
  auto* count = Control<QComboBox>(&dialog, 1076);
  count->setCurrentIndex(count->findText(QStringLiteral("8")));
  emit count->activated(count->currentIndex());
  count->setCurrentIndex(count->findText(QStringLiteral("16")));
  emit count->activated(count->currentIndex());
  dialog.reject();
  QVERIFY(!dialog.trialRunning());
  QCOMPARE(test::DocumentDifference(*doc, *before), std::string());
}

void ReduceDialogsTest::tinyPalettesAreRefused() {
  AnimPtr doc = test::NewDocument(8, 8, 2);
  test::AddFrame(*doc, 0, 0, 8, 8, [](int x, int) { return x % 2; });
  QVERIFY(!ReduceColoursDialog::Reducible(*doc));
  QCOMPARE(messages().ids(), std::vector<int>{40118});
  AnimPtr three = test::NewDocument(8, 8, 3);
  test::AddFrame(*three, 0, 0, 8, 8, [](int x, int) { return x % 3; });
  QVERIFY(ReduceColoursDialog::Reducible(*three));
}

void ReduceDialogsTest::reduceFramesKeepsRunningTimeAndUndoes() {
  test::TempDir dir;
  AnimPtr source = Colourful(10);
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({Save(dir, *source, "ten.gif")}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int32_t total = TotalDelay(*w.document());
  QVERIFY(w.action(cmd::kReduceFrames)->isEnabled());

  QString remaining;
  WhenModal<ReduceFramesDialog>([&](ReduceFramesDialog* d) {
    QCOMPARE(Control<QLabel>(d, 1225)->text(), QStringLiteral("10"));
    QCOMPARE(Control<QSpinBox>(d, 1069)->value(), 2);
    QCOMPARE(d->remainingText(), QStringLiteral("5"));
    Control<QSpinBox>(d, 1069)->setValue(3);
    remaining = Control<QLabel>(d, 1226)->text();
    d->accept();
  });
  w.dispatch(cmd::kReduceFrames);
  QCOMPARE(remaining, QStringLiteral("7"));
  QCOMPARE(w.document()->frameCount, 7);
  QCOMPARE(TotalDelay(*w.document()), total);
  // Frame 2 carries frame 3's delay.
  const ImageBlock* second = NextImage(FirstImage(before.get()));
  QCOMPARE(NextImage(FirstImage(w.document()))->delay, second->delay + NextImage(second)->delay);
  QCOMPARE(CurrentUndoKind(), undo_kind::kReduceFrames);
  w.dispatch(cmd::kUndo);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());

  // One frame cannot be thinned out.
  AnimPtr single = Colourful(1);
  MainWindow lone;
  QCOMPARE(lone.openFiles({Save(dir, *single, "one.gif")}), 1);
  QVERIFY(!lone.action(cmd::kReduceFrames)->isEnabled());
}

void ReduceDialogsTest::reduceFramesRefusesBadIntervals() {
  ReduceFramesDialog dialog(10, nullptr);
  auto* interval = Control<QSpinBox>(&dialog, 1069);
  // The arrows stay within the meaningful range.
  interval->setValue(10);
  interval->stepBy(1);
  QCOMPARE(interval->value(), 10);
  interval->setValue(2);
  interval->stepBy(-1);
  QCOMPARE(interval->value(), 2);
  // A typed one may not, and OK says so and stays.
  interval->setValue(11);
  QCOMPARE(dialog.remainingText(), QStringLiteral("?"));
  dialog.accept();
  QCOMPARE(messages().ids(), std::vector<int>{40251});
  QCOMPARE(dialog.result(), int(QDialog::Rejected));
  interval->setValue(1);
  QCOMPARE(dialog.remainingText(), QStringLiteral("?"));
  interval->setValue(10);
  QCOMPARE(dialog.remainingText(), QStringLiteral("9"));
  dialog.accept();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

FW_APP_TEST(ReduceDialogsTest)
#include "reduce_dialogs_test.moc"
