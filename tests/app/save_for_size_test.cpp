// Save for size in the window: the plan runs on its worker with its progress shown, the
// chosen settings, size and quality are shown before anything changes, OK applies them as one
// undo step, and Cancel stops a running plan and leaves the document alone.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/byte_size.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "formats/save_document.h"
#include "gif/gif_writer.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/save_for_size_dialog.h"

using namespace fw;

namespace {

// Noisy full-screen frames in many colours: fewer colours make them much smaller.
QString Noisy(const test::TempDir& dir, int frames) {
  AnimPtr doc = test::NewDocument(64, 48, 256);
  uint32_t seed = 12345;
  for (int i = 0; i < frames; ++i)
    test::AddFrame(*doc, 0, 0, 64, 48, [&seed](int x, int) {
      seed = seed * 1103515245u + 12345u;
      return static_cast<int>((x * 4 + (seed >> 16) % 24) % 256);
    }).delay = 5;
  const std::string path = dir.file("noisy.gif");
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

template <typename W>
W* Child(QWidget& dialog, const char* name) {
  return dialog.findChild<W*>(QString::fromLatin1(name));
}

}  // namespace

class SaveForSizeTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void chosenSettingsAreShownThenAppliedAsOneStep();
  void cancelStopsThePlanAndChangesNothing();
};

void SaveForSizeTest::chosenSettingsAreShownThenAppliedAsOneStep() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({Noisy(dir, 6)}), 1);
  const int32_t before = EncodedSize(w.document(), true, nullptr);
  const int64_t target = before * 6 / 10;
  QString shown;
  QString progress;
  test::AnswerNextDialog<SaveForSizeDialog>([&](SaveForSizeDialog& d) {
    QVERIFY(!Child<QLineEdit>(d, "sizeTarget")->text().isEmpty());  // a starting suggestion
    Child<QLineEdit>(d, "sizeTarget")->setText(QString::number(target));
    QPushButton* apply = Child<QPushButton>(d, "sizeApply");
    QVERIFY(!apply->isEnabled());
    Child<QPushButton>(d, "sizeStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled(), 60000);
    shown = Child<QLabel>(d, "sizeResult")->text();
    progress = Child<QLabel>(d, "sizeProgress")->text();
    apply->click();
  });
  w.dispatch(40403);
  QVERIFY2(shown.contains(QStringLiteral("PSNR")), qPrintable(shown));
  QVERIFY2(shown.contains(QStringLiteral("色")), qPrintable(shown));  // a colour count was chosen
  QVERIFY(!progress.isEmpty());
  QVERIFY(w.isModified());
  const int32_t after = EncodedSize(w.document(), true, nullptr);
  QVERIFY(after <= target);
  QTRY_VERIFY_WITH_TIMEOUT(w.statusText(3).contains(QString::number(after % 1000)), 20000);
  // One step, named for the command, brings the original back.
  QVERIFY(QString::fromStdString(UndoMenuTexts().undoText).contains(QString::fromUtf8("按大小保存")));
  w.dispatch(40001);
  QCOMPARE(EncodedSize(w.document(), true, nullptr), before);
}

void SaveForSizeTest::cancelStopsThePlanAndChangesNothing() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({Noisy(dir, 30)}), 1);
  const int32_t before = EncodedSize(w.document(), true, nullptr);
  bool wasPlanning = false;
  test::AnswerNextDialog<SaveForSizeDialog>([&](SaveForSizeDialog& d) {
    Child<QLineEdit>(d, "sizeTarget")->setText(QStringLiteral("1K"));
    QVERIFY(d.startPlan());
    wasPlanning = d.planning();
    d.reject();
  });
  w.dispatch(40403);
  QVERIFY(wasPlanning);
  QVERIFY(!IsRunning(worker::kSizePlan));
  QVERIFY(!w.isModified());
  QCOMPARE(EncodedSize(w.document(), true, nullptr), before);

  // A size that is no size says so and starts nothing.
  test::AnswerNextDialog<SaveForSizeDialog>([&](SaveForSizeDialog& d) {
    Child<QLineEdit>(d, "sizeTarget")->setText(QStringLiteral("soon"));
    QVERIFY(!d.startPlan());
    QVERIFY(!d.planning());
    QVERIFY(!Child<QLabel>(d, "sizeResult")->text().isEmpty());
    d.reject();
  });
  w.dispatch(40403);
  QVERIFY(!w.isModified());
}

FW_APP_TEST(SaveForSizeTest)
#include "save_for_size_test.moc"
