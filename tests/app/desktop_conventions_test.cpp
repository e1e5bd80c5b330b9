// What a desktop user expects without reading the manual: the usual keys, the unsaved-changes
// mark, Qt's own dialogs in the interface's language, icons that fit the toolbar.
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "app_test_registry.h"
#include "app/app_icon.h"
#include "app/main_window.h"
#include "app/qt_translation.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "formats/save_document.h"
#include "support/test_support.h"
#include "ui/frame_strip.h"
#include "ui/tool_icons.h"

using namespace fw;

class DesktopConventionsTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void zoomAndRedoKeys();
  void titleCarriesTheModifiedMark();
  void qtDialogsSpeakChinese();
  void toolbarHasIconsAndFitsTheDefaultWindow();
};

namespace {

QString WriteGif(const test::TempDir& dir, int frames) {
  AnimPtr doc = test::NewDocument(40, 30, 4);
  for (int i = 0; i < frames; ++i) test::AddFrame(*doc, 0, 0, 40, 30, [i](int x, int) { return (x + i) % 4; });
  const std::string path = dir.file("anim.gif");
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

}  // namespace

void DesktopConventionsTest::zoomAndRedoKeys() {
  test::TempDir dir;
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QCOMPARE(w.openFiles({WriteGif(dir, 3)}), 1);
  QCOMPARE(w.strip()->zoom(), 0);
  QTest::keyClick(&w, Qt::Key_Equal, Qt::ControlModifier);
  QCOMPARE(w.strip()->zoom(), 1);
  QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
  QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
  QCOMPARE(w.strip()->zoom(), -1);
  QTest::keyClick(&w, Qt::Key_0, Qt::ControlModifier);
  QCOMPARE(w.strip()->zoom(), 0);
  // The traditional keys still work.
  QTest::keyClick(&w, Qt::Key_1, Qt::ControlModifier);
  QCOMPARE(w.strip()->zoom(), 1);

  const int delay = FirstImage(w.document())->delay;
  w.dispatch(40131);  // select all
  w.setDelayOfSelection(delay + 7);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QCOMPARE(FirstImage(w.document())->delay, delay);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(FirstImage(w.document())->delay, delay + 7);
}

void DesktopConventionsTest::titleCarriesTheModifiedMark() {
  test::TempDir dir;
  const QString path = WriteGif(dir, 2);
  MainWindow w;
  w.show();
  QCOMPARE(w.openFiles({path}), 1);
  QVERIFY(w.windowTitle().contains(QStringLiteral("[*]")));
  QVERIFY(!w.isWindowModified());
  w.dispatch(40131);
  w.setDelayOfSelection(33);
  QVERIFY(w.isWindowModified());
  QVERIFY(w.saveDocument());
  QVERIFY(!w.isWindowModified());
}

void DesktopConventionsTest::qtDialogsSpeakChinese() {
  if (!InstallQtTranslation(*QCoreApplication::instance())) QSKIP("Qt's Chinese translation is not installed");
  QFileDialog dialog(nullptr, QStringLiteral("x"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  auto* buttons = dialog.findChild<QDialogButtonBox*>();
  QVERIFY(buttons);
  const QString cancel = buttons->button(QDialogButtonBox::Cancel)->text();
  QVERIFY2(cancel.contains(QString::fromUtf8("取消")), qPrintable(cancel));
}

void DesktopConventionsTest::toolbarHasIconsAndFitsTheDefaultWindow() {
  MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  auto* bar = w.findChild<QToolBar*>(QStringLiteral("MainToolBar"));
  QVERIFY(bar);
  for (QAction* a : bar->actions()) {
    if (a->isSeparator()) continue;
    QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
    // The drawn icons are vectors: as sharp at 200% as at 100%.
    const QIcon drawn = DrawnToolIcon(a->data().toInt());
    QVERIFY2(!drawn.isNull(), qPrintable(a->objectName()));
    QCOMPARE(drawn.pixmap(QSize(48, 48)).size(), QSize(48, 48));
  }
  QVERIFY2(bar->sizeHint().width() <= w.width(),
           qPrintable(QStringLiteral("%1 > %2").arg(bar->sizeHint().width()).arg(w.width())));
  QVERIFY(!AppIcon().isNull());
}

FW_APP_TEST(DesktopConventionsTest)
#include "desktop_conventions_test.moc"
