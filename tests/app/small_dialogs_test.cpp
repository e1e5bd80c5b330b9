// Open filmstrip, the HTML code dialog and blend, driven through the window.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/save_document.h"
#include "dialog_driving.h"
#include "support/test_support.h"
#include "ui/blend_dialog.h"
#include "ui/filmstrip_import_dialog.h"
#include "ui/html_code_dialog.h"

using namespace fw;
using namespace fw::test;

namespace {

template <typename Fill>
QString WriteGif(const test::TempDir& dir, const std::string& name, int width, int height, int frames, int delay,
                 Fill fill) {
  AnimPtr doc = test::NewDocument(width, height, 16);
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, width, height, [&](int x, int y) { return fill(i, x, y); });
    f.delay = delay;
  }
  const std::string path = dir.file(name);
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

uint8_t Pixel(const ImageBlock& frame, int x, int y) { return frame.indexedImage->row(y)[x]; }

}  // namespace

class SmallDialogsTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }

  void commandsAreOffered();
  void filmstripLayoutIsCheckedThenSplitsInTheChosenOrder();
  void filmstripCommandRefusesAnAnimation();
  void filmstripCancelKeepsThePicture();
  void htmlCodeFollowsTheFieldsAndIsCopied();
  void htmlCodeWithoutFileNameAsksForOne();
  void blendThroughTheWindowIsOneUndoStep();
  void blendCancelLeavesNoTrace();

};

void SmallDialogsTest::commandsAreOffered() {
  MainWindow w;
  w.updateCommandStates();
  QVERIFY(w.action(40111)->isEnabled());
  QVERIFY(!w.action(40082)->isEnabled());
  QVERIFY(!w.action(40125)->isEnabled());
  test::TempDir dir;
  QCOMPARE(w.openFiles({WriteGif(dir, "a.gif", 8, 8, 1, 10, [](int, int, int) { return 1; })}), 1);
  w.updateCommandStates();
  QVERIFY(w.action(40082)->isEnabled());
  QVERIFY(w.action(40125)->isEnabled());
}

// A 20 x 20 picture of four 10 x 10 tiles numbered 0 1 / 2 3.
int Tile(int, int x, int y) { return x / 10 + 2 * (y / 10); }

void SmallDialogsTest::filmstripLayoutIsCheckedThenSplitsInTheChosenOrder() {
  test::TempDir dir;
  MainWindow w;
  const QString path = WriteGif(dir, "tiles (2x2).gif", 20, 20, 1, 10, Tile);
  std::vector<int> refusals;
  bool focusFollowed = false;
  int framesWhileAsking = -1;
  AnswerNextDialog<FilmstripImportDialog>([&](FilmstripImportDialog& d) {
    // The name only suggests the layout: nothing is split before the user answers.
    framesWhileAsking = w.document()->frameCount;
    QCOMPARE(d.perRow(), 2);
    QCOMPARE(d.perColumn(), 2);
    QVERIFY(Control<QRadioButton>(d, 1073)->isChecked());
    Type(d, 1069, 3);
    d.accept();
    focusFollowed = d.focusWidget() == Control<QSpinBox>(d, 1069);
    Type(d, 1069, 2);
    Type(d, 1070, 3);
    d.accept();
    focusFollowed = focusFollowed && d.focusWidget() == Control<QSpinBox>(d, 1070);
    refusals = messages().ids();
    QVERIFY(d.isVisible());
    Type(d, 1070, 2);
    Control<QRadioButton>(d, 1074)->setChecked(true);
    d.accept();
  });
  QCOMPARE(w.openFilmstrip(path), 4);
  QCOMPARE(framesWhileAsking, 1);
  QCOMPARE(refusals, (std::vector<int>{40164, 40165}));
  QVERIFY(focusFollowed);
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->frameCount, 4);
  QCOMPARE(doc->screenWidth, 10);
  QCOMPARE(doc->screenHeight, 10);
  // Vertical: down the first column, then the second.
  std::vector<int> order;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) {
    QCOMPARE(f->width, 10);
    order.push_back(Pixel(*f, 5, 5));
  }
  QCOMPARE(order, (std::vector<int>{0, 2, 1, 3}));
  QVERIFY(w.isModified());
  QVERIFY(w.state().fileName.empty());
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 29));

  // The remembered orientation is offered next time.
  AnswerNextDialog<FilmstripImportDialog>([](FilmstripImportDialog& d) {
    QVERIFY(Control<QRadioButton>(d, 1074)->isChecked());
    Control<QRadioButton>(d, 1073)->setChecked(true);
    d.accept();
  });
  MainWindow again;
  QCOMPARE(again.openFilmstrip(path), 4);
  order.clear();
  for (const ImageBlock* f = FirstImage(again.document()); f; f = NextImage(f)) order.push_back(Pixel(*f, 0, 0));
  QCOMPARE(order, (std::vector<int>{0, 1, 2, 3}));
  QVERIFY(!Prefs().bit(pref::kOptionFlags, 1u << 29));
}

void SmallDialogsTest::filmstripCommandRefusesAnAnimation() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFilmstrip(WriteGif(dir, "two.gif", 10, 10, 2, 10, [](int i, int, int) { return i; })), 0);
  QCOMPARE(messages().ids(), std::vector<int>{40166});
  QCOMPARE(w.document()->frameCount, 2);
}

void SmallDialogsTest::filmstripCancelKeepsThePicture() {
  test::TempDir dir;
  MainWindow w;
  const QString path = WriteGif(dir, "tiles.gif", 20, 20, 1, 10, Tile);
  AnswerNextDialog<FilmstripImportDialog>([](FilmstripImportDialog& d) {
    QCOMPARE(d.perRow(), 1);
    QCOMPARE(d.perColumn(), 1);
    d.reject();
  });
  QCOMPARE(w.openFilmstrip(path), 0);
  QCOMPARE(w.document()->frameCount, 1);
  QCOMPARE(w.state().fileName, path.toStdString());
  QVERIFY(!w.isModified());
}

void SmallDialogsTest::htmlCodeFollowsTheFieldsAndIsCopied() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir, "anim.gif", 100, 50, 1, 10, [](int, int, int) { return 1; })}), 1);
  QString plain, full, copied;
  bool readOnly = false;
  AnswerNextDialog<HtmlCodeDialog>([&](HtmlCodeDialog& d) {
    QCOMPARE(Control<QLineEdit>(d, 1073)->text(), QStringLiteral("anim.gif"));
    readOnly = Control<QLineEdit>(d, 1073)->isReadOnly();
    plain = Control<QPlainTextEdit>(d, 1085)->toPlainText();
    Control<QLineEdit>(d, 1069)->setText(QStringLiteral("index.html"));
    Type(d, 1070, 2);
    Control<QLineEdit>(d, 1072)->setText(QString::fromUtf8("动画"));
    full = d.code();
    Control<QPushButton>(d, 1171)->click();
    copied = QApplication::clipboard()->text();
    Control<QPushButton>(d, 2)->click();
  });
  w.dispatch(40082);
  QVERIFY(readOnly);
  QCOMPARE(plain, QStringLiteral("<img src=\"anim.gif\" width=100 height=50 border=0>"));
  QCOMPARE(full, QString::fromUtf8("<a href=\"index.html\"><img src=\"anim.gif\" width=100 height=50 border=2 "
                                   "alt=\"动画\"></a>"));
  QCOMPARE(copied, full);
  QVERIFY(messages().ids().empty());
}

void SmallDialogsTest::htmlCodeWithoutFileNameAsksForOne() {
  HtmlCodeDialog d(QString(), 10, 20, nullptr);
  QVERIFY(!Control<QLineEdit>(d, 1073)->isReadOnly());
  QVERIFY(d.code().isEmpty());
  QApplication::clipboard()->setText(QStringLiteral("untouched"));
  d.copyCode();
  QCOMPARE(messages().ids(), std::vector<int>{40103});
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("untouched"));
  Control<QLineEdit>(d, 1073)->setText(QStringLiteral("x.gif"));
  QCOMPARE(d.code(), QStringLiteral("<img src=\"x.gif\" width=10 height=20 border=0>"));
}

void SmallDialogsTest::blendThroughTheWindowIsOneUndoStep() {
  test::TempDir dir;
  MainWindow w;
  // Two 20 x 10 frames of 10 each under one 10 x 10 frame of 20, placed at x = 15.
  QCOMPARE(w.openFiles({WriteGif(dir, "base.gif", 20, 10, 2, 10, [](int i, int, int) { return 2 + i; })}), 1);
  const QString other = WriteGif(dir, "over.gif", 10, 10, 1, 20, [](int, int, int) { return 7; });
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  AnswerNextDialog<BlendDialog>([](BlendDialog& d) {
    // Frame by frame and looping are the first choices.
    QVERIFY(Control<QRadioButton>(d, 1074)->isChecked());
    QVERIFY(Control<QCheckBox>(d, 1249)->isChecked());
    Control<QRadioButton>(d, 1073)->setChecked(true);
    // Dragging the second animation's picture sets the offset in screen pixels.
    QWidget* preview = d.findChild<QWidget*>(QStringLiteral("MyShowImage"));
    QVERIFY(preview);
    const double scale = std::min(preview->width() / 20.0, preview->height() / 10.0);
    const QPoint from(2, 2), to = from + QPoint(int(std::lround(15 * scale)), 0);
    QTest::mousePress(preview, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, preview->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(preview, &move);
    QTest::mouseRelease(preview, Qt::LeftButton, {}, to);
    QCOMPARE(Control<QSpinBox>(d, 1069)->value(), 15);
    QCOMPARE(Control<QSpinBox>(d, 1070)->value(), 0);
    Control<QCheckBox>(d, 1249)->setChecked(false);
    d.accept();
  });
  QVERIFY(w.blendWith(other));
  const AnimHeader* doc = w.document();
  QCOMPARE(doc->screenWidth, 25);
  QCOMPARE(doc->screenHeight, 10);
  QCOMPARE(doc->frameCount, 2);
  int frame = 0;
  for (const ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++frame) {
    QCOMPARE(f->width, 25);
    QCOMPARE(f->delay, 10);
    QCOMPARE(int(Pixel(*f, 5, 5)), 2 + frame);  // the first animation's own frame
    QCOMPARE(int(Pixel(*f, 20, 5)), 7);         // the other one drawn over it
  }
  QVERIFY(w.isModified());
  QCOMPARE(UndoCount(), steps + 1);
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 22));
  QVERIFY(!Prefs().bit(pref::kOptionFlags, 1u << 23));

  w.dispatch(40001);
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
}

void SmallDialogsTest::blendCancelLeavesNoTrace() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir, "base.gif", 20, 10, 2, 10, [](int i, int, int) { return 2 + i; })}), 1);
  const QString other = WriteGif(dir, "over.gif", 10, 10, 1, 20, [](int, int, int) { return 7; });
  AnimPtr before = CopyAnimation(*w.document(), nullptr);
  const int steps = UndoCount();
  const uint32_t flags = Prefs().raw(pref::kOptionFlags);
  AnswerNextDialog<BlendDialog>([](BlendDialog& d) {
    Control<QRadioButton>(d, 1074)->setChecked(true);
    d.reject();
  });
  QVERIFY(!w.blendWith(other));
  QCOMPARE(test::DocumentDifference(*before, *w.document()), std::string());
  QCOMPARE(UndoCount(), steps);
  QCOMPARE(Prefs().raw(pref::kOptionFlags), flags);
  QVERIFY(!w.isModified());
  // A file that cannot be read changes nothing either.
  QVERIFY(!w.blendWith(QString::fromStdString(dir.file("missing.gif"))));
  QCOMPARE(UndoCount(), steps);
}

FW_APP_TEST(SmallDialogsTest)
#include "small_dialogs_test.moc"
