// The window's start panel, its placement between runs and the comment editor.
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QToolButton>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app/window_placement.h"
#include "core/anim_document.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/file_dispatch.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "support/test_support.h"
#include "ui/comment_editor.h"
#include "ui/frame_strip.h"
#include "ui/help_browser.h"
#include "ui/property_bar.h"
#include "ui/start_panel.h"
#include "ui/strip_geometry.h"

using namespace fw;

class ShellTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void startPanelShowsOnlyWithoutDocument();
  void placementSurvivesARestart();
  void commentsAreEditedAndSaved();
  void propertyBarTrueColourAndCommandButtons();
  void timingFilesRetimeAndDropWithPictures();
  void helpWithoutABrowserShowsOurOwnWindow();

};

void ShellTest::startPanelShowsOnlyWithoutDocument() {
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  test::AddFrame(*doc, 0, 0, 8, 8, [](int, int) { return 1; });
  const std::string path = dir.file("one.gif");
  QVERIFY(SaveDocumentAs(path, *doc));

  MainWindow w;
  w.show();
  StartPanel* panel = w.startPanel();
  QVERIFY(panel->isVisible());
  {
    // On its own, so the click does not open the window's file dialog.
    StartPanel alone(nullptr);
    QSignalSpy spy(&alone, &StartPanel::command);
    QTest::mouseClick(alone.findChild<QPushButton*>(QStringLiteral("c40013")), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.front().front().toInt(), 40013);
  }

  QCOMPARE(w.openFiles({QString::fromStdString(path)}), 1);
  QVERIFY(!panel->isVisible());
  w.dispatch(40021);  // restart: back to no document
  QVERIFY(panel->isVisible());
  // The preference hides it for good.
  Prefs().setBits(pref::kMoreFlags, 1u << 4, true);
  w.updateCommandStates();
  w.dispatch(40069);
  QVERIFY(!panel->isVisible());
}

void ShellTest::placementSurvivesARestart() {
  MemoryPreferenceStore store;
  QVERIFY(!RestoreWindowPlacement(*std::make_unique<QWidget>(), &store));
  {
    MainWindow first;
    first.setGeometry(60, 70, 640, 420);
    first.show();
    StoreWindowPlacement(first, &store);
  }
  MainWindow second;
  QVERIFY(RestoreWindowPlacement(second, &store));
  second.show();
  QCOMPARE(second.size(), QSize(640, 420));
}

void ShellTest::commentsAreEditedAndSaved() {
  QCOMPARE(CommentListText("one line"), QStringLiteral("one line"));
  QCOMPARE(CommentListText("first\r\nsecond"), QStringLiteral("first ..."));
  QCOMPARE(CommentListText("only\n"), QStringLiteral("only"));
  QVERIFY(CommentTextFits(QString(254, 'a')));
  QVERIFY(!CommentTextFits(QString(255, 'a')));
  // 85 Chinese characters take 255 bytes: too long for one sub-block.
  QVERIFY(!CommentTextFits(QString(85, QChar(0x6CE8))));

  test::TempDir dir;
  AnimPtr doc = test::NewDocument(8, 8, 4);
  test::AddFrame(*doc, 0, 0, 8, 8, [](int, int) { return 1; });
  CommentEditor editor(*doc, nullptr);
  QCOMPARE(editor.list()->count(), 0);
  QVERIFY(editor.addComment(QStringLiteral("made by hand")));
  QVERIFY(editor.addComment(QString::fromUtf8("第二条\nmore")));
  QVERIFY(!editor.addComment(QString(300, 'x')));
  QCOMPARE(editor.list()->count(), 2);
  QCOMPARE(editor.list()->item(1)->text(), QString::fromUtf8("第二条 ..."));
  QVERIFY(editor.editComment(0, QStringLiteral("edited")));
  QVERIFY(editor.changed());
  // Comments go ahead of the frames.
  QVERIFY(IsComment(*doc->blockList->next));

  const std::string path = dir.file("commented.gif");
  Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true);
  QVERIFY(SaveDocumentAs(path, *doc));
  AnimPtr back = LoadAnimationFile(path).document;
  QVERIFY(back);
  std::vector<std::string> texts;
  for (GifBlock* b = back->blockList->next; b; b = b->next)
    if (IsComment(*b)) texts.push_back(FullCommentText(static_cast<ExtensionBlock&>(*b)));
  QCOMPARE(texts, (std::vector<std::string>{"edited", "第二条\nmore"}));

  CommentEditor again(*back, nullptr);
  again.deleteComment(0);
  QCOMPARE(again.list()->count(), 1);
  QCOMPARE(back->frameCount, 1);

  // A comment split over several sub-blocks reads whole.
  auto block = CreateExtensionBlock(block_kind::kComment);
  block->data = {3, 'a', 'b', 'c', 2, 'd', 'e', 0};
  QCOMPARE(FullCommentText(*block), std::string("abcde"));
}

void ShellTest::propertyBarTrueColourAndCommandButtons() {
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(6, 4, 4);
  for (int i = 0; i < 2; ++i) test::AddFrame(*doc, 0, 0, 6, 4, [&](int x, int) { return (x + i) % 4; });
  const std::string path = dir.file("two.gif");
  QVERIFY(SaveDocumentAs(path, *doc));
  MainWindow w;
  QCOMPARE(w.openFiles({QString::fromStdString(path)}), 1);
  SelectFrames(*w.document(), 1, kSelectPlain);
  w.setCurrentFrame(1);
  auto* bar = w.propertyBar();
  auto* trueColour = bar->findChild<QToolButton*>(QStringLiteral("c40347"));
  // Only offered when 24-bit data is kept for exports.
  QVERIFY(!trueColour->isEnabled());
  Prefs().setBits(pref::kOptionFlags, 1u << 25, true);
  w.setCurrentFrame(1);
  QVERIFY(trueColour->isEnabled());
  QVERIFY(!trueColour->isChecked());

  trueColour->click();
  ImageBlock* frame = ImageAt(w.document(), 1);
  QVERIFY(!frame->trueColour.empty());
  QVERIFY(trueColour->isChecked());
  const std::vector<uint8_t> planes = frame->trueColour;
  trueColour->click();
  QVERIFY(ImageAt(w.document(), 1)->trueColour.empty());
  w.dispatch(40001);  // the 24-bit data comes back
  QCOMPARE(ImageAt(w.document(), 1)->trueColour, planes);
  w.dispatch(40001);  // and then goes, as before it was made
  QVERIFY(ImageAt(w.document(), 1)->trueColour.empty());

  // A one-frame edit makes only that frame's cell again (stored frames; composed cells after
  // it change with it).
  w.strip()->setShowComposed(false);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.strip()->viewport()->repaint();
  const int rendered = w.strip()->renderCount();
  w.setDisposalOfCurrent(2);
  w.strip()->viewport()->repaint();
  QCOMPARE(w.strip()->renderCount() - rendered, 1);

  // The command buttons follow the window's actions: greyed while their dialogs are missing,
  // the global palette editor's availability follows the document.
  auto* frameProperties = bar->findChild<QToolButton*>(QStringLiteral("c40009"));
  QVERIFY(frameProperties->defaultAction() == w.action(40009));
  QCOMPARE(frameProperties->isEnabled(), w.action(40009)->isEnabled());
  QCOMPARE(frameProperties->text(), QString::fromUtf8("帧属性"));
  // Choosing the transparent colour is offered for one current frame.
  QVERIFY(bar->findChild<QToolButton*>(QStringLiteral("c40042"))->isEnabled());
}

void ShellTest::timingFilesRetimeAndDropWithPictures() {
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(4, 4, 4);
  for (int d : {10, 20, 30}) test::AddFrame(*doc, 0, 0, 4, 4, [](int, int) { return 1; }).delay = d;
  const std::string gif = dir.file("three.gif");
  QVERIFY(SaveDocumentAs(gif, *doc));
  const std::string timing = dir.file("t.txt");
  test::WriteBytes(timing, {'5', ',', '7'});
  auto delays = [](const AnimHeader* d) {
    std::vector<int> out;
    for (const ImageBlock* f = FirstImage(d); f; f = NextImage(f)) out.push_back(f->delay);
    return out;
  };
  MainWindow w;
  QCOMPARE(w.openFiles({QString::fromStdString(gif)}), 1);
  QVERIFY(w.action(324)->isEnabled() || (w.updateCommandStates(), w.action(324)->isEnabled()));
  QVERIFY(w.loadTiming(QString::fromStdString(timing)));
  QCOMPARE(delays(w.document()), (std::vector<int>{5, 7, 30}));
  QVERIFY(w.isModified());
  w.dispatch(40001);
  QCOMPARE(delays(w.document()), (std::vector<int>{10, 20, 30}));
  QVERIFY(!w.loadTiming(QString::fromStdString(dir.file("missing.txt"))));

  // One drop with a picture and a timing file: the file retimes, the picture is inserted.
  w.setCurrentFrame(-1);
  w.dropIntoDocument({QString::fromStdString(timing), QString::fromStdString(gif)});
  QCOMPARE(delays(w.document()), (std::vector<int>{5, 7, 30, 10, 20, 30}));
}

void ShellTest::helpWithoutABrowserShowsOurOwnWindow() {
  // No xdg-open on the path: the desktop cannot show the manual.
  const test::TempDir empty;
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(empty.path()));
  MainWindow w;
  w.show();
  w.dispatch(40023);
  HelpBrowser* help = w.helpBrowser();
  QVERIFY(help && help->isVisible());
  QTextBrowser* text = help->browser();
  QVERIFY(text->source().path().endsWith(QStringLiteral("/index.html")));
  QVERIFY(!text->toPlainText().isEmpty());
  // The manual's links lead to its other pages inside the same window.
  const int before = text->toPlainText().size();
  text->setSource(QUrl(QStringLiteral("tutorial.html")));
  QVERIFY(text->source().path().endsWith(QStringLiteral("tutorial.html")));
  QVERIFY(text->toPlainText().size() != before);
  w.dispatch(40127);  // the tutorial reuses the window
  qputenv("PATH", path);
  QCOMPARE(w.helpBrowser(), help);
  QVERIFY(text->source().path().endsWith(QStringLiteral("/tutorial.html")));
}

FW_APP_TEST(ShellTest)
#include "shell_test.moc"
