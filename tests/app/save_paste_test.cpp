// Save As styles and panels, and pasting pictures other programs copied.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/file_dispatch.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "app_test_case.h"
#include "support/test_support.h"
#include "ui/clipboard_frames.h"
#include "ui/save_as_dialog.h"
#include "ui/save_style_panel.h"
#include "ui/strip_geometry.h"

using namespace fw;

namespace {

QString WriteAnimation(const test::TempDir& dir, const std::string& name, int frames) {
  AnimPtr doc = test::NewDocument(20, 10, 16);
  for (int i = 0; i < frames; ++i) test::AddFrame(*doc, 0, 0, 20, 10, [&](int x, int) { return (x + i) % 16; });
  const std::string path = dir.file(name);
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

AnimPtr Load(const QString& path) { return LoadAnimationFile(path.toStdString()).document; }

}  // namespace

class SavePasteTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void stylesOfferedPerTypeAndRemembered();
  void panelBuildsFilmstripAndNumberedOptions();
  void typeChangeSwapsExtensionAndPanel();
  void typedExtensionDecidesTheType();
  void selectedOnlySamplesNameTheWrittenFiles();
  void filmstripAndNumberedSavesKeepTheName();
  void singleImageOfAnimationKeepsTheName();
  void saveAsMemoryKeepsJpegQuality();
  void pastePlainPictureAsFrame();

};

void SavePasteTest::stylesOfferedPerTypeAndRemembered() {
  using S = SaveStyle;
  QCOMPARE(OfferedSaveStyles(kSaveGif, 5), (std::vector<S>{S::Animation, S::SingleImages, S::Filmstrip}));
  QCOMPARE(OfferedSaveStyles(kSavePng, 1), (std::vector<S>{S::SingleImages}));
  QCOMPARE(OfferedSaveStyles(kSaveJpg, 5), (std::vector<S>{S::SingleImages, S::Filmstrip}));
  QVERIFY(OfferedSaveStyles(kSaveAvi, 5).empty());
  QVERIFY(OfferedSaveStyles(kSaveIco, 5).empty());
  const auto gif = OfferedSaveStyles(kSaveGif, 5);
  QCOMPARE(RememberedSaveStyle(gif, save_option::kSequence), S::SingleImages);
  QCOMPARE(RememberedSaveStyle(gif, save_option::kFilmstrip), S::Filmstrip);
  QCOMPARE(RememberedSaveStyle(gif, save_option::kAnimation), S::Animation);
  // Numbered files on a two-entry list are its first entry (the second-last).
  QCOMPARE(RememberedSaveStyle(OfferedSaveStyles(kSaveBmp, 5), save_option::kSequence), S::SingleImages);
  // 12 frames of 20 x 10: sqrt(2400) = 48, (48 + 10) / 20 = 2 columns, 6 strips.
  QCOMPARE(SquareStripCount(12, 20, 10), 6);
  QCOMPARE(SquareStripCount(1, 20, 10), 1);
}

void SavePasteTest::panelBuildsFilmstripAndNumberedOptions() {
  AnimPtr doc = test::NewDocument(20, 10, 4);
  for (int i = 0; i < 10; ++i) test::AddFrame(*doc, 0, 0, 20, 10, [](int, int) { return 1; });
  SaveStylePanel panel(*doc, save_option::WithStrips(save_option::kFilmstrip | save_option::kColumns, 4));
  panel.setType(kSaveGif);
  // The remembered filmstrip options come back.
  QCOMPARE(panel.style(), SaveStyle::Filmstrip);
  QCOMPARE(panel.options(), save_option::WithStrips(save_option::kFilmstrip | save_option::kColumns, 4));
  auto* filmstrip = panel.findChild<QWidget*>(QStringLiteral("FilmstripPanel"));
  auto* numbered = panel.findChild<QWidget*>(QStringLiteral("NumberedFilesPanel"));
  auto* strips = filmstrip->findChild<QSpinBox*>(QStringLiteral("c1069"));
  QVERIFY(strips);
  QCOMPARE(strips->maximum(), 10);
  strips->setValue(3);
  filmstrip->findChild<QRadioButton*>(QStringLiteral("c1073"))->setChecked(true);
  QCOMPARE(panel.options(), save_option::WithStrips(save_option::kFilmstrip, 3));
  // 10 frames in 3 rows: 4 per strip, 80 x 30.
  QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("c1070"))->text(),
           QStringLiteral("for total of 4 frame(s) per strip and 80x30 pixels."));

  auto* chooser = panel.findChild<QComboBox*>(QStringLiteral("c1280"));
  chooser->setCurrentIndex(1);
  QCOMPARE(panel.style(), SaveStyle::SingleImages);
  QCOMPARE(panel.options(), save_option::kSequence);
  panel.setTargetPath(QStringLiteral("/tmp/my.dir/anim.gif"));
  QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("c1235"))->text(), QStringLiteral("anim1.gif"));  // ten frames need one digit
  QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("c1236"))->text(), QStringLiteral("anim2.gif"));
  // A typed name with a "#" run sets the number's place and least width.
  numbered->findChild<QLineEdit*>(QStringLiteral("c1069"))->setText(QStringLiteral("frame###.gif"));
  QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("c1235"))->text(), QStringLiteral("frame001.gif"));
  QCOMPARE(panel.numberedTarget(QStringLiteral("/tmp/x/anim.gif")), QStringLiteral("/tmp/x/frame###.gif"));

  // A single frame leaves nothing to choose.
  AnimPtr one = test::NewDocument(20, 10, 4);
  test::AddFrame(*one, 0, 0, 20, 10, [](int, int) { return 1; });
  SaveStylePanel single(*one, save_option::kFilmstrip);
  single.setType(kSaveGif);
  QCOMPARE(single.options(), save_option::kNoStyle);
}

void SavePasteTest::typeChangeSwapsExtensionAndPanel() {
  AnimPtr doc = test::NewDocument(20, 10, 4);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 20, 10, [](int, int) { return 1; });
  SaveAsDialog dialog(*doc, "/tmp/some/walk.gif", kSaveGif, 0, save_option::kAnimation, nullptr);
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(name);
  QCOMPARE(name->text(), QStringLiteral("walk.gif"));
  QCOMPARE(dialog.options(), save_option::kAnimation);
  emit dialog.filterSelected(SaveTypeFilter(kSaveBmp));
  QCOMPARE(dialog.type(), int(kSaveBmp));
  QCOMPARE(name->text(), QStringLiteral("walk.bmp"));
  QCOMPARE(dialog.panel()->style(), SaveStyle::SingleImages);
  emit dialog.filterSelected(SaveTypeFilter(kSaveAvi));
  QCOMPARE(dialog.options(), save_option::kNoStyle);
  QCOMPARE(WithTypeExtension(QStringLiteral("a.b/name"), kSavePng), QStringLiteral("a.b/name.png"));
}

void SavePasteTest::typedExtensionDecidesTheType() {
  AnimPtr doc = test::NewDocument(20, 10, 4);
  for (int i = 0; i < 3; ++i) test::AddFrame(*doc, 0, 0, 20, 10, [](int, int) { return 1; });
  // The last export was PNG; an opened GIF still starts on GIF.
  SaveAsDialog dialog(*doc, "/tmp/some/walk.gif", kSavePng, 0, save_option::kAnimation, nullptr);
  QCOMPARE(dialog.type(), int(kSaveGif));
  auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(name);
  const struct {
    const char* typed;
    int type;
  } rows[] = {{"x.png", kSavePng}, {"x.jpeg", kSaveJpg}, {"notes.txt", kSaveJpg}, {"x.GIF", kSaveGif}, {"x", kSaveGif}};
  for (const auto& row : rows) {
    name->setText(QString::fromLatin1(row.typed));
    QCOMPARE(dialog.type(), row.type);
    QCOMPARE(dialog.selectedNameFilter(), SaveTypeFilter(row.type));
    QCOMPARE(name->text(), QString::fromLatin1(row.typed));
  }
  // An untitled document starts on the remembered type.
  SaveAsDialog untitled(*doc, "", kSavePng, 0, save_option::kNoStyle, nullptr);
  QCOMPARE(untitled.type(), int(kSavePng));
}

void SavePasteTest::selectedOnlySamplesNameTheWrittenFiles() {
  test::TempDir dir;
  const QString source = WriteAnimation(dir, "anim.gif", 12);
  MainWindow w;
  QCOMPARE(w.openFiles({source}), 1);
  SelectFrames(*w.document(), 2, kSelectPlain);
  SelectFrames(*w.document(), 10, kSelectToggle);
  SaveStylePanel panel(*w.document(), save_option::kSequence | save_option::kSelectedOnly);
  panel.setType(kSaveBmp);
  panel.setTargetPath(QString::fromStdString(dir.file("seq.bmp")));
  panel.findChild<QWidget*>(QStringLiteral("NumberedFilesPanel"))
      ->findChild<QRadioButton*>(QStringLiteral("c1073"))
      ->setChecked(true);
  QCOMPARE(panel.options(), save_option::kSequence | save_option::kSelectedOnly);
  const QString first = panel.findChild<QLabel*>(QStringLiteral("c1235"))->text();
  const QString second = panel.findChild<QLabel*>(QStringLiteral("c1236"))->text();
  QCOMPARE(first, QStringLiteral("seq03.bmp"));
  QCOMPARE(second, QStringLiteral("seq11.bmp"));
  QVERIFY(w.saveDocumentAs(QString::fromStdString(dir.file("seq.bmp")), kSaveBmp, panel.options()));
  QVERIFY(QFileInfo::exists(QString::fromStdString(dir.file(first.toStdString()))));
  QVERIFY(QFileInfo::exists(QString::fromStdString(dir.file(second.toStdString()))));
}

void SavePasteTest::filmstripAndNumberedSavesKeepTheName() {
  test::TempDir dir;
  const QString source = WriteAnimation(dir, "anim.gif", 12);
  MainWindow w;
  QCOMPARE(w.openFiles({source}), 1);
  const QString strip = QString::fromStdString(dir.file("strip.gif"));
  QVERIFY(w.saveDocumentAs(strip, kSaveGif, save_option::WithStrips(save_option::kFilmstrip, 3)));
  AnimPtr picture = Load(strip);
  QVERIFY(picture);
  QCOMPARE(picture->frameCount, 1);
  QCOMPARE(picture->screenWidth, 4 * 20);
  QCOMPARE(picture->screenHeight, 3 * 10);
  QCOMPARE(QString::fromStdString(w.state().fileName), source);

  QVERIFY(w.saveDocumentAs(QString::fromStdString(dir.file("seq.bmp")), kSaveBmp, save_option::kSequence));
  for (int k = 1; k <= 12; ++k)
    QVERIFY2(QFileInfo::exists(QString::fromStdString(dir.file(QString::asprintf("seq%02d.bmp", k).toStdString()))),
             qPrintable(QString::number(k)));
  QCOMPARE(QString::fromStdString(w.state().fileName), source);

  // The whole animation as GIF takes the new name.
  const QString whole = QString::fromStdString(dir.file("whole.gif"));
  QVERIFY(w.saveDocumentAs(whole, kSaveGif, save_option::kAnimation));
  QCOMPARE(QString::fromStdString(w.state().fileName), whole);
  QCOMPARE(Load(whole)->frameCount, 12);
}

void SavePasteTest::singleImageOfAnimationKeepsTheName() {
  test::TempDir dir;
  const QString source = WriteAnimation(dir, "ten.gif", 10);
  MainWindow w;
  QCOMPARE(w.openFiles({source}), 1);
  const QString jpeg = QString::fromStdString(dir.file("first.jpg"));
  QVERIFY(w.saveDocumentAs(jpeg));
  QVERIFY(QFileInfo::exists(jpeg));
  QCOMPARE(QString::fromStdString(w.state().fileName), source);
  QVERIFY(!w.isModified());
}

void SavePasteTest::saveAsMemoryKeepsJpegQuality() {
  test::TempDir dir;
  const QString source = WriteAnimation(dir, "two.gif", 2);
  MainWindow w;
  QCOMPARE(w.openFiles({source}), 1);
  Prefs().write(pref::kSaveAsMemory, 7u << 8 | kSaveGif);
  QVERIFY(w.saveDocumentAs(QString::fromStdString(dir.file("s.bmp")), kSaveBmp, save_option::kSequence));
  const uint32_t memory = Prefs().read(pref::kSaveAsMemory);
  QCOMPARE(memory & 0xFF, uint32_t(kSaveBmp));
  QCOMPARE(memory >> 8 & 0xFF, 7u);
  QCOMPARE(memory >> 16, save_option::kSequence);
}

void SavePasteTest::pastePlainPictureAsFrame() {
  QImage picture(9, 5, QImage::Format_RGB32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) picture.setPixel(x, y, x < 4 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
  auto* data = new QMimeData;
  data->setImageData(picture);
  QApplication::clipboard()->setMimeData(data);

  MainWindow w;
  QVERIFY(w.action(40004)->isEnabled() || (w.updateCommandStates(), w.action(40004)->isEnabled()));
  w.dispatch(40004);
  QVERIFY(w.document());
  QCOMPARE(w.document()->frameCount, 1);
  const ImageBlock* frame = FirstImage(w.document());
  QCOMPARE(frame->width, 9);
  QCOMPARE(frame->height, 5);
  const Palette* palette = frame->activePalette;
  auto colour = [&](int x, int y) {
    const uint8_t i = frame->indexedImage->row(y)[x];
    const Rgb& c = (*palette)[i];
    return qRgb(c.r, c.g, c.b);
  };
  QCOMPARE(colour(0, 0), qRgb(255, 0, 0));
  QCOMPARE(colour(8, 4), qRgb(0, 0, 255));
  QVERIFY(w.isModified());
  // Pasting into a document is one undo step.
  w.dispatch(40004);
  QCOMPARE(w.document()->frameCount, 2);
  w.dispatch(40001);
  QCOMPARE(w.document()->frameCount, 1);
}

FW_APP_TEST(SavePasteTest)
#include "save_paste_test.moc"
