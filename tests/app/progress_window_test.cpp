// The progress window of long operations: when it appears, what it holds back, and what
// Escape and Cancel leave behind.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "app_test_registry.h"
#include "app/gui_services.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/progress.h"
#include "dialog_driving.h"
#include "formats/save_document.h"
#include "support/test_support.h"
#include "ui/frame_strip.h"
#include "ui/progress_window.h"

using namespace fw;
using namespace fw::test;

namespace {

QString WriteFrames(const test::TempDir& dir, const char* name, int frames) {
  AnimPtr doc = test::NewDocument(64, 64, 16);
  for (int i = 0; i < frames; ++i)
    test::AddFrame(*doc, 0, 0, 64, 64, [&](int x, int y) { return (x * y + i) % 16; });
  const std::string path = dir.file(name);
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

// Presses Escape on `target` at the n-th event pass while an operation runs.
void EscapeAfterPasses(MainWindow& w, QWidget* target, int passes) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  auto count = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [&w, timer, target, passes, count] {
    ProgressWindow* window = w.progressHook()->window();
    if (!window || !window->running() || ++*count < passes) return;
    timer->stop();
    timer->deleteLater();
    QTest::keyClick(target, Qt::Key_Escape);
  });
  timer->start();
}

}  // namespace

class ProgressWindowTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void slowOperationShowsTheWindowAndEscapeStopsIt();
  void cancelButtonStopsAndWindowInputIsHeldBack();
  void escapeWhileOpeningKeepsTheFramesRead();
  void escapeWhileSavingLeavesTheOldFile();
};

void ProgressWindowTest::slowOperationShowsTheWindowAndEscapeStopsIt() {
  MainWindow w;
  w.show();
  bool seen = false;
  int steps = 0;
  auto progress = CreateProgress(w.progressHook(), progress_flag::kOwnWindow);
  SetProgressText(progress.get(), "slow");
  StartProgress(progress.get(), 400);
  ProgressWindow* window = w.progressHook()->window();
  QVERIFY(window);
  QVERIFY(!window->isVisible());  // not before the operation has run for a moment
  QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
           Qt::WaitCursor);
  QTimer::singleShot(800, [&] {
    seen = window->isVisible();
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("c1118"))->property("text").toString(), QStringLiteral("slow"));
    QTest::keyClick(window, Qt::Key_Escape);
  });
  for (; steps < 400; ++steps) {
    QThread::msleep(5);
    if (!StepProgress(progress.get())) break;
  }
  QVERIFY(seen);
  QVERIFY(steps < 400);
  QVERIFY(!ProgressContinues());
  CloseProgress(progress.get());
  QVERIFY(ProgressContinues());
  QVERIFY(!window->isVisible());
  QVERIFY(!QApplication::overrideCursor());
  // A quick operation shows nothing at all.
  progress = CreateProgress(w.progressHook(), progress_flag::kOwnWindow);
  StartProgress(progress.get(), 3);
  for (int i = 0; i < 3; ++i) QVERIFY(StepProgress(progress.get()));
  QVERIFY(!window->isVisible());
  // Dropped without being closed, the object still takes its window and cursor along.
  progress.reset();
  QVERIFY(!window->running());
  QVERIFY(!QApplication::overrideCursor());
}

void ProgressWindowTest::cancelButtonStopsAndWindowInputIsHeldBack() {
  test::TempDir dir;
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({WriteFrames(dir, "three.gif", 3)}), 1);
  const int selectedBefore = w.document()->selectedCount;
  auto progress = CreateProgress(w.progressHook(), progress_flag::kOwnWindow);
  StartProgress(progress.get(), 200);
  w.progressHook()->window()->setShowDelay(0);
  bool clicked = false;
  QTimer::singleShot(100, [&] {
    // Select all (Ctrl+A) and a click on the strip are held back while the operation runs.
    QTest::keyClick(w.strip(), Qt::Key_A, Qt::ControlModifier);
    QTest::mouseClick(w.strip()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    auto* cancel = w.progressHook()->window()->findChild<QPushButton*>(QStringLiteral("c2"));
    QVERIFY(cancel && cancel->isVisible());
    cancel->click();
    clicked = true;
  });
  int steps = 0;
  for (; steps < 200; ++steps) {
    QThread::msleep(5);
    if (!StepProgress(progress.get())) break;
  }
  QVERIFY(clicked);
  QVERIFY(steps < 200);
  CloseProgress(progress.get());
  QCOMPARE(w.document()->selectedCount, selectedBefore);
  QCOMPARE(w.currentFrame(), -1);
}

void ProgressWindowTest::escapeWhileOpeningKeepsTheFramesRead() {
  test::TempDir dir;
  const QString path = WriteFrames(dir, "long.gif", 80);
  MainWindow w;
  w.show();
  EscapeAfterPasses(w, &w, 20);
  const int read = w.openFiles({path});
  QCOMPARE(read, 1);
  QVERIFY(w.document());
  QVERIFY2(w.document()->frameCount > 0 && w.document()->frameCount < 80,
           qPrintable(QString::number(w.document()->frameCount)));
  QVERIFY(messages().ids().empty());
  QVERIFY(ProgressContinues());
  QVERIFY(!w.progressHook()->window()->running());
}

void ProgressWindowTest::escapeWhileSavingLeavesTheOldFile() {
  test::TempDir dir;
  const QString path = WriteFrames(dir, "long.gif", 80);
  const std::vector<uint8_t> before = test::ReadBytes(path.toStdString());
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({path}), 1);
  SelectFrames(*w.document(), 0, kSelectPlain);
  w.setCurrentFrame(0);
  w.dispatch(40076);  // flip the first frame so the saved file would differ
  QVERIFY(w.isModified());
  EscapeAfterPasses(w, &w, 10);
  QVERIFY(!w.saveDocument());
  QVERIFY(w.isModified());
  QVERIFY(test::ReadBytes(path.toStdString()) == before);
  QVERIFY(ProgressContinues());
}

FW_APP_TEST(ProgressWindowTest)
#include "progress_window_test.moc"
