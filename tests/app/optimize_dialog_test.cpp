// The optimize command as a user meets it: the 24-bit warning, the dialog's options and its
// trial on a copy, and what OK and Cancel leave in the document and the undo history.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app_test_registry.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "core/frame_planes.h"
#include "core/preferences.h"
#include "core/true_colour_release.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "formats/save_document.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/optimize_dialog.h"
#include "ui/true_colour_warning.h"

using namespace fw;
using namespace fw::test;

namespace {

// Three full-screen frames of which only a small square moves: most of each later frame
// repeats the screen, and the last one repeats the second exactly.
AnimPtr RedundantAnimation() {
  AnimPtr doc = test::NewDocument(48, 40, 16);
  for (int i = 0; i < 4; ++i) {
    const int box = i == 3 ? 2 : i;
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 48, 40, [box](int x, int y) {
      if (x >= 10 + box * 8 && x < 16 + box * 8 && y >= 10 && y < 16) return 15;
      return (x / 4 + y / 4) % 8;
    });
    f.delay = 10 + i;
  }
  return doc;
}

QString Save(const test::TempDir& dir, const AnimHeader& doc, const char* name) {
  const std::string path = dir.file(name);
  return SaveDocumentAs(path, const_cast<AnimHeader&>(doc)) ? QString::fromStdString(path) : QString();
}

}  // namespace

class OptimizeDialogTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void optionsWordRoundTripsThroughTheControls();
  void enablingFollowsTheDocumentAndTheChoices();
  void trialShowsSavingsAndOkIsOneUndoStep();
  void animationThatCannotShrinkRecordsNothing();
  void cancelDuringTrialLeavesDocumentUntouched();
  void manualModeTrialsOnlyOnStart();
  void frameRemovalRetriesOnlyWhenItCanMatter();
  void trueColourWarningCancelKeepsAndContinueDrops();
  void approximatedFramesAreShownBesideTheSizes();
};

void OptimizeDialogTest::optionsWordRoundTripsThroughTheControls() {
  AnimPtr doc = RedundantAnimation();
  // A local palette somewhere, so that every palette control is in play.
  ImageBlock* second = NextImage(FirstImage(doc.get()));
  second->localPalette = std::make_unique<Palette>(*doc->globalPalette);
  second->activePalette = second->localPalette.get();

  for (uint32_t word : {optimize_bit::kDefault, 0u, 2u | 8u | 16u | 2048u, 2u | 4u | 8u | 32u | 64u | 1024u, 8u}) {
    Prefs().write(pref::kOptimizeOptions, word);
    OptimizeDialog dialog(*doc, nullptr, nullptr);
    QCOMPARE(dialog.options(), word);
    QCOMPARE(Control<QCheckBox>(&dialog, 1257)->isChecked(), bool(word & 2048));
  }
  OptimizeDialog dialog(*doc, nullptr, nullptr);
  dialog.setOptions(optimize_bit::kDefault);
  Control<QCheckBox>(&dialog, 1121)->setChecked(false);
  Control<QRadioButton>(&dialog, 1074)->setChecked(true);
  QCOMPARE(dialog.options(), (optimize_bit::kDefault & ~(2u | 1024u)) | 16u);
  // OK stores the word, manual mode included.
  Control<QCheckBox>(&dialog, 1257)->setChecked(true);
  dialog.apply();
  QCOMPARE(Prefs().read(pref::kOptimizeOptions), dialog.options());
  QVERIFY(dialog.options() & 2048);
}

void OptimizeDialogTest::enablingFollowsTheDocumentAndTheChoices() {
  AnimPtr doc = RedundantAnimation();
  {
    OptimizeDialog dialog(*doc, nullptr, nullptr);
    dialog.setOptions(optimize_bit::kDefault);
    // No local palette anywhere: nothing to remove.
    for (int id : {1124, 1073, 1074, 1075}) QVERIFY(!Control(&dialog, id)->isEnabled());
    QVERIFY(Control(&dialog, 1122)->isEnabled() && Control(&dialog, 1125)->isEnabled());
    Control<QCheckBox>(&dialog, 1121)->setChecked(false);
    QVERIFY(!Control(&dialog, 1122)->isEnabled() && !Control(&dialog, 1125)->isEnabled());
    QVERIFY(!Control(&dialog, 1268)->isEnabled());
    Control<QCheckBox>(&dialog, 1257)->setChecked(true);
    QVERIFY(Control(&dialog, 1268)->isEnabled());
  }
  ImageBlock* first = FirstImage(doc.get());
  first->localPalette = std::make_unique<Palette>(*doc->globalPalette);
  first->activePalette = first->localPalette.get();
  {
    OptimizeDialog dialog(*doc, nullptr, nullptr);
    dialog.setOptions(2 | 8);
    for (int id : {1124, 1073, 1074, 1075}) QVERIFY(Control(&dialog, id)->isEnabled());
    QVERIFY(Control<QRadioButton>(&dialog, 1073)->isChecked());
    Control<QCheckBox>(&dialog, 1124)->setChecked(false);
    for (int id : {1073, 1074, 1075}) QVERIFY(!Control(&dialog, id)->isEnabled());
  }
  // Without a global palette the local ones can only go into a new one.
  doc->globalPalette.reset();
  for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f))
    if (!f->localPalette) f->activePalette = nullptr;
  OptimizeDialog dialog(*doc, nullptr, nullptr);
  dialog.setOptions(2 | 8 | 16);
  QVERIFY(!Control(&dialog, 1073)->isEnabled() && !Control(&dialog, 1074)->isEnabled());
  QVERIFY(Control(&dialog, 1075)->isEnabled() && Control<QRadioButton>(&dialog, 1075)->isChecked());
  QCOMPARE(dialog.options() & (16u | 1024u), 1024u);
}

void OptimizeDialogTest::trialShowsSavingsAndOkIsOneUndoStep() {
  test::TempDir dir;
  AnimPtr source = RedundantAnimation();
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({Save(dir, *source, "redundant.gif")}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const test::ComposedTimeline seen = test::ComposeTimeline(*before);
  const int undoBefore = UndoCount();
  QVERIFY(w.action(cmd::kOptimize)->isEnabled());

  int32_t trialSize = -1;
  QString after, saved, percent;
  WhenModal<OptimizeDialog>([&](OptimizeDialog* d) {
    QSignalSpy shown(d, &OptimizeDialog::trialShown);
    if (d->trialSize() < 0) shown.wait(20000);
    trialSize = d->trialSize();
    after = Control<QLabel>(d, 1154)->text();
    saved = Control<QLabel>(d, 1155)->text();
    percent = Control<QLabel>(d, 1158)->text();
    d->accept();
  });
  w.dispatch(cmd::kOptimize);

  const int32_t original = EncodedSize(before.get(), true, nullptr);
  QVERIFY(trialSize > 0 && trialSize < original);
  QVERIFY(after.endsWith(QString::fromUtf8(" 字节")));
  QCOMPARE(QString(after).remove(QRegularExpression(QStringLiteral("[^0-9]"))), QString::number(trialSize));
  QVERIFY(!saved.isEmpty());
  QVERIFY(QRegularExpression(QStringLiteral("^\\(\\d+\\.\\d%\\)$")).match(percent).hasMatch());
  // The repeated last frame is gone with its delay folded in; what a viewer sees is the same.
  QCOMPARE(w.document()->frameCount, 3);
  QCOMPARE(test::TimelineDifference(test::ComposeTimeline(*w.document()), seen), std::string());
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), undoBefore + 1);
  QCOMPARE(CurrentUndoKind(), undo_kind::kOptimize);
  QCOMPARE(Prefs().read(pref::kOptimizeOptions), optimize_bit::kDefault);

  w.dispatch(cmd::kUndo);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());
}

void OptimizeDialogTest::animationThatCannotShrinkRecordsNothing() {
  test::TempDir dir;
  // One opaque frame using every palette entry: nothing to crop, shrink or remove.
  AnimPtr source = test::NewDocument(16, 16, 16);
  test::AddFrame(*source, 0, 0, 16, 16, [](int x, int y) { return (x * 7 + y * 3) % 16; });
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({Save(dir, *source, "tight.gif")}), 1);
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int undoBefore = UndoCount();

  QString saved = QStringLiteral("unset");
  bool arrived = false;
  WhenModal<OptimizeDialog>([&](OptimizeDialog* d) {
    QSignalSpy shown(d, &OptimizeDialog::trialShown);
    arrived = d->trialSize() >= 0 || shown.wait(20000);
    saved = Control<QLabel>(d, 1155)->text();
    d->accept();
  });
  w.dispatch(cmd::kOptimize);
  QVERIFY(arrived);
  QCOMPARE(saved, QString::fromUtf8("无"));
  QVERIFY(!w.isModified());
  QCOMPARE(UndoCount(), undoBefore);
  QCOMPARE(test::DocumentDifference(*w.document(), *before), std::string());
}

void OptimizeDialogTest::cancelDuringTrialLeavesDocumentUntouched() {
  // Big and noisy enough that the trial is still copying or encoding when Cancel comes.
  AnimPtr doc = test::NewDocument(320, 240, 256);
  uint32_t seed = 7;
  for (int i = 0; i < 40; ++i)
    test::AddFrame(*doc, 0, 0, 320, 240, [&](int, int) { return (seed = seed * 1103515245u + 12345u) >> 24; });
  AnimPtr before = CopyAnimation(*doc, nullptr);
  const int undoBefore = UndoCount();
  {
    OptimizeDialog dialog(*doc, nullptr, nullptr);
    dialog.begin();
    QVERIFY(dialog.trialRunning());
    dialog.reject();
    QVERIFY(!dialog.changed());
    QVERIFY(!IsRunning(worker::kOptimizeTrial));
    QCOMPARE(IsCancelled(worker::kOptimizeTrial), 0u);
  }
  QCOMPARE(test::DocumentDifference(*doc, *before), std::string());
  QCOMPARE(UndoCount(), undoBefore);
}

void OptimizeDialogTest::manualModeTrialsOnlyOnStart() {
  AnimPtr doc = RedundantAnimation();
  Prefs().write(pref::kOptimizeOptions, optimize_bit::kDefault | optimize_bit::kManualTrial);
  OptimizeDialog dialog(*doc, nullptr, nullptr);
  QSignalSpy shown(&dialog, &OptimizeDialog::trialShown);
  dialog.begin();
  QVERIFY(!dialog.trialRunning());
  QVERIFY(Control(&dialog, 1268)->isEnabled());
  Control<QPushButton>(&dialog, 1268)->click();
  QVERIFY(shown.wait(20000));
  QVERIFY(dialog.trialSize() > 0);
  QVERIFY(!Control(&dialog, 1268)->isEnabled());
  // A changed option makes the result stale: blanked, and OK must not apply it.
  Control<QCheckBox>(&dialog, 1125)->setChecked(false);
  QCOMPARE(dialog.trialSize(), -1);
  QVERIFY(Control<QLabel>(&dialog, 1154)->text().isEmpty());
  QVERIFY(Control(&dialog, 1268)->isEnabled());
  QVERIFY(!dialog.trialRunning());
  dialog.apply();
  QVERIFY(dialog.changed());
  // Without frame removal the repeated frame stays (as a one-pixel image).
  QCOMPARE(doc->frameCount, 4);
}

void OptimizeDialogTest::frameRemovalRetriesOnlyWhenItCanMatter() {
  AnimPtr doc = RedundantAnimation();
  Prefs().write(pref::kOptimizeOptions, optimize_bit::kDefault);
  OptimizeDialog dialog(*doc, nullptr, nullptr);
  QSignalSpy shown(&dialog, &OptimizeDialog::trialShown);
  dialog.begin();
  QVERIFY(shown.wait(20000));
  const int32_t withRemoval = dialog.trialSize();
  auto* removal = Control<QCheckBox>(&dialog, 1125);
  // The trial removed the repeated frame: without removal the result differs.
  removal->setChecked(false);
  QVERIFY(shown.wait(20000));
  QVERIFY(dialog.trialSize() > withRemoval);
  // That result holds the repeated frame as one pixel, so switching back must try again.
  removal->setChecked(true);
  QVERIFY(shown.wait(20000));
  QCOMPARE(dialog.trialSize(), withRemoval);

  // Nothing repeats in a single frame: toggling removal cannot change the result.
  AnimPtr single = test::NewDocument(16, 16, 16);
  test::AddFrame(*single, 0, 0, 16, 16, [](int x, int y) { return (x + y) % 16; });
  OptimizeDialog other(*single, nullptr, nullptr);
  QSignalSpy otherShown(&other, &OptimizeDialog::trialShown);
  other.begin();
  QVERIFY(otherShown.wait(20000));
  Control<QCheckBox>(&other, 1125)->setChecked(false);
  Control<QCheckBox>(&other, 1125)->setChecked(true);
  QVERIFY(!other.trialRunning());
  QVERIFY(!otherShown.wait(200));
  QVERIFY(other.trialSize() >= 0);
}

void OptimizeDialogTest::trueColourWarningCancelKeepsAndContinueDrops() {
  test::TempDir dir;
  AnimPtr source = RedundantAnimation();
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({Save(dir, *source, "deep.gif")}), 1);
  ImageBlock* first = FirstImage(w.document());
  QVERIFY(ExpandToTrueColour(*first) != 0);
  QVERIFY(KeepsTrueColour(*w.document()));
  const int frames = w.document()->frameCount;

  bool dialogShown = false;
  WhenModal<TrueColourWarning>([](TrueColourWarning* warning) { Control<QPushButton>(warning, 2)->click(); });
  WhenModal<OptimizeDialog>([&](OptimizeDialog* d) {
    dialogShown = true;
    d->reject();
  });
  w.dispatch(cmd::kOptimize);
  QVERIFY(!dialogShown);
  QVERIFY(first->hasTrueColour());
  QVERIFY(!w.isModified());
  // The watcher for the optimize dialog is still waiting: this time it comes.
  WhenModal<TrueColourWarning>([](TrueColourWarning* warning) { Control<QPushButton>(warning, 1)->click(); });
  w.dispatch(cmd::kOptimize);
  QVERIFY(dialogShown);
  QVERIFY(!KeepsTrueColour(*w.document()));
  QCOMPARE(w.document()->frameCount, frames);
  QVERIFY(w.isModified());
}

void OptimizeDialogTest::approximatedFramesAreShownBesideTheSizes() {
  // 256 drawn colours, then two frames with 128 colours of their own each: more than one
  // palette holds, so the adaptive palette must approximate.
  AnimPtr doc = test::NewDocument(32, 32, 256);
  test::AddFrame(*doc, 0, 0, 32, 32, [](int x, int y) { return (y * 32 + x) % 256; });
  for (int k = 0; k < 2; ++k) {
    std::vector<Rgb> own(128);
    for (int i = 0; i < 128; ++i) own[size_t(i)] = {uint8_t(2 * i), uint8_t(60 + k * 90), uint8_t(250 - i)};
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 32, 32, [k](int x, int y) { return (y * 32 + x + k) % 128; });
    SetLocalPalette(f, Palette::Create(own.data(), 128));
  }
  Prefs().write(pref::kOptimizeOptions, optimize_bit::kDefault);
  OptimizeDialog dialog(*doc, nullptr, nullptr);
  QSignalSpy shown(&dialog, &OptimizeDialog::trialShown);
  dialog.begin();
  QVERIFY(shown.wait(20000));
  auto* approximated = dialog.findChild<QLabel*>(QStringLiteral("approximatedFrames"));
  QVERIFY(approximated);
  QVERIFY2(QRegularExpression(QStringLiteral("\\d+")).match(approximated->text()).hasMatch(),
           qPrintable(approximated->text()));

  // Merging only where lossless changes no colour, and says nothing.
  Control<QRadioButton>(&dialog, 1073)->setChecked(true);
  QVERIFY(shown.wait(20000));
  QVERIFY(approximated->text().isEmpty());
  dialog.reject();
}

FW_APP_TEST(OptimizeDialogTest)
#include "optimize_dialog_test.moc"
