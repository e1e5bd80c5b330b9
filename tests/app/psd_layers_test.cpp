// The layered-PSD question (dialog 200) on a file ImageMagick layered: what each answer makes of
// the layers, and that the answer is remembered for the next import and for batch runs.
#include <QCheckBox>
#include <QProcess>
#include <QRadioButton>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/preferences.h"
#include "dialog_driving.h"
#include "formats/file_dispatch.h"
#include "formats/psd_file.h"
#include "support/test_support.h"
#include "ui/psd_layers_dialog.h"

using namespace fw;
using namespace fw::test;

namespace {

// A white 20 x 16 background, a blue 8 x 6 layer at (2, 3) and a green 6 x 4 layer at (10, 8).
QString MakePsd(const test::TempDir& dir) {
  const QString path = QString::fromStdString(dir.file("layered.psd"));
  const int status = QProcess::execute(
      QStringLiteral("convert"),
      {QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("20x16"), QStringLiteral("xc:white"), QStringLiteral(")"),
       QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("8x6"), QStringLiteral("xc:blue"), QStringLiteral("-repage"),
       QStringLiteral("+2+3"), QStringLiteral(")"), QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("6x4"),
       QStringLiteral("xc:lime"), QStringLiteral("-repage"), QStringLiteral("+10+8"), QStringLiteral(")"), QStringLiteral("("),
       QStringLiteral("-clone"), QStringLiteral("0-2"), QStringLiteral("-background"), QStringLiteral("white"),
       QStringLiteral("-flatten"), QStringLiteral(")"), QStringLiteral("-insert"), QStringLiteral("0"), QStringLiteral("-depth"),
       QStringLiteral("8"), path});
  return status == 0 ? path : QString();
}

// The colour a frame shows at (x, y) of its own rectangle.
Rgb At(const ImageBlock& f, int x, int y) { return (*f.activePalette)[f.indexedImage->row(y)[x]]; }

const Rgb kWhite{255, 255, 255}, kBlue{0, 0, 255}, kGreen{0, 255, 0};

struct Rect {
  int left, top, width, height;
  bool operator==(const Rect&) const = default;
};
Rect Of(const ImageBlock& f) { return {f.left, f.top, f.width, f.height}; }

}  // namespace

class PsdLayersTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }
  void eachChoiceGivesItsFrames();
  void choiceIsRememberedAndUsedByBatch();
};

void PsdLayersTest::eachChoiceGivesItsFrames() {
  test::TempDir dir;
  const QString psd = MakePsd(dir);
  QVERIFY(!psd.isEmpty());
  MainWindow w;
  auto open = [&](std::function<void(PsdLayersDialog&)> answer) {
    AnswerNextDialog<PsdLayersDialog>([answer](PsdLayersDialog& d) { answer(d); });
    return w.openFiles({psd});
  };

  // Cancel ends the import.
  QCOMPARE(open([](PsdLayersDialog& d) { d.reject(); }), 0);
  QVERIFY(!w.document());

  QCOMPARE(open([](PsdLayersDialog& d) {
             QCOMPARE(d.windowTitle(), QString::fromUtf8("处理带层的PSD"));
             Control<QRadioButton>(&d, 1073)->setChecked(true);
             // The layer styles only mean something for layers.
             QVERIFY(!Control<QRadioButton>(&d, 1196)->isEnabled());
             d.accept();
           }),
           1);
  QCOMPARE(w.document()->frameCount, 1);
  const ImageBlock& flat = *FirstImage(w.document());
  QVERIFY((Of(flat) == Rect{0, 0, 20, 16}));
  QVERIFY(At(flat, 0, 0) == kWhite && At(flat, 3, 4) == kBlue && At(flat, 11, 9) == kGreen);

  // Each layer a frame of its own, enlarged to the canvas.
  QCOMPARE(open([](PsdLayersDialog& d) {
             Control<QRadioButton>(&d, 1074)->setChecked(true);
             Control<QRadioButton>(&d, 1197)->setChecked(true);
             Control<QCheckBox>(&d, 1257)->setChecked(true);
             d.accept();
           }),
           1);
  QCOMPARE(w.document()->frameCount, 3);
  for (const ImageBlock* f = FirstImage(w.document()); f; f = NextImage(f)) QVERIFY((Of(*f) == Rect{0, 0, 20, 16}));
  QVERIFY(At(*ImageAt(w.document(), 1), 3, 4) == kBlue);
  QVERIFY(At(*ImageAt(w.document(), 2), 11, 9) == kGreen);

  // The composite: each frame the layer's own rectangle, showing the layers so far.
  QCOMPARE(open([](PsdLayersDialog& d) {
             Control<QRadioButton>(&d, 1196)->setChecked(true);
             Control<QCheckBox>(&d, 1257)->setChecked(false);
             d.accept();
           }),
           1);
  QCOMPARE(w.document()->frameCount, 3);
  QVERIFY((Of(*ImageAt(w.document(), 1)) == Rect{2, 3, 8, 6}));
  QVERIFY((Of(*ImageAt(w.document(), 2)) == Rect{10, 8, 6, 4}));
  QVERIFY(At(*ImageAt(w.document(), 1), 0, 0) == kBlue);

  // Blended over the background, which goes unless it is kept.
  QCOMPARE(open([](PsdLayersDialog& d) {
             Control<QRadioButton>(&d, 1195)->setChecked(true);
             QVERIFY(Control<QCheckBox>(&d, 1083)->isEnabled());
             Control<QCheckBox>(&d, 1083)->setChecked(false);
             d.accept();
           }),
           1);
  QCOMPARE(w.document()->frameCount, 2);
  const ImageBlock& blue = *FirstImage(w.document());
  QVERIFY(At(blue, 0, 0) == kWhite && At(blue, 3, 4) == kBlue && At(blue, 11, 9) == kWhite);
  QCOMPARE(open([](PsdLayersDialog& d) {
             QVERIFY(Control<QRadioButton>(&d, 1195)->isChecked());
             Control<QCheckBox>(&d, 1083)->setChecked(true);
             d.accept();
           }),
           1);
  QCOMPARE(w.document()->frameCount, 3);
}

void PsdLayersTest::choiceIsRememberedAndUsedByBatch() {
  test::TempDir dir;
  const QString psd = MakePsd(dir);
  {
    MainWindow w;
    AnswerNextDialog<PsdLayersDialog>([](PsdLayersDialog& d) {
      Control<QRadioButton>(&d, 1074)->setChecked(true);
      Control<QRadioButton>(&d, 1196)->setChecked(true);
      Control<QCheckBox>(&d, 1257)->setChecked(false);
      d.accept();
    });
    QCOMPARE(w.openFiles({psd}), 1);
    PsdLayersDialog again;
    QVERIFY(Control<QRadioButton>(&again, 1196)->isChecked());
    QVERIFY(!Control<QCheckBox>(&again, 1257)->isChecked());
  }
  // Without a window nobody is asked: the stored choice decides.
  LoadResult r = LoadAnimationFile(psd.toStdString());
  QCOMPARE(r.status, 1);
  QCOMPARE(r.document->frameCount, 3);
  QVERIFY((Of(*ImageAt(r.document.get(), 2)) == Rect{10, 8, 6, 4}));
  {
    MainWindow w;
    AnswerNextDialog<PsdLayersDialog>([](PsdLayersDialog& d) {
      Control<QRadioButton>(&d, 1073)->setChecked(true);
      Control<QCheckBox>(&d, 1264)->setChecked(false);
      d.accept();
    });
    QCOMPARE(w.openFiles({psd}), 1);
  }
  QCOMPARE(PsdChoiceFromPreferences(), psd_choice::kFlatten);
  r = LoadAnimationFile(psd.toStdString());
  QCOMPARE(r.status, 1);
  QCOMPARE(r.document->frameCount, 1);
}

FW_APP_TEST(PsdLayersTest)
#include "psd_layers_test.moc"
