// The AVI settings (dialog 193 and its Save As panel) and the cursor hotspot (dialog 220 and
// its panel), from the window to the written file, checked with FFmpeg's own tools.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app_test_registry.h"
#include "app/main_window.h"
#include "app_test_case.h"
#include "core/anim_document.h"
#include "core/frame_planes.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "dialog_driving.h"
#include "formats/avi_file.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "support/test_support.h"
#include "ui/avi_settings_dialog.h"
#include "ui/hotspot_dialog.h"
#include "ui/pixel_view.h"
#include "ui/save_as_dialog.h"
#include "ui/save_type_panels.h"

using namespace fw;
using namespace fw::test;

namespace {

QString WriteGif(const test::TempDir& dir, int frames = 3, const char* name = "walk.gif") {
  AnimPtr doc = test::NewDocument(32, 24, 16);
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, 32, 24, [&](int x, int y) { return (x / 4 + y / 4 + i) % 16; });
    f.delay = 10;
  }
  const std::string path = dir.file(name);
  if (!SaveDocumentAs(path, *doc)) return {};
  return QString::fromStdString(path);
}

// Standard output of a program, empty when it failed.
QByteArray Run(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return p.readAllStandardOutput();
}

QString Probe(const QString& file, const char* stream, const char* entries) {
  return QString::fromUtf8(Run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                           QStringLiteral("-select_streams"), QString::fromLatin1(stream),
                                                           QStringLiteral("-show_entries"),
                                                           QStringLiteral("stream=") + QString::fromLatin1(entries),
                                                           QStringLiteral("-of"), QStringLiteral("csv=p=0"), file}))
      .trimmed();
}

QByteArray Pcm(const QString& file) {
  return Run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                                        QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-f"),
                                        QStringLiteral("s16le"), QStringLiteral("-")});
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

}  // namespace

class AviHotspotTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void init() {
    AppTestCase::init();
    useStoredPreferences();
  }
  void savingANamedAviAsksAndCarriesTheSound();
  void dialogRulesAndWhatItRemembers();
  void saveAsPanelsFollowTheType();
  void hotspotIsPickedStoredAndWrittenInCurAndAni();
};

void AviHotspotTest::savingANamedAviAsksAndCarriesTheSound() {
  test::TempDir dir;
  const QString wav = QString::fromStdString(dir.file("tone.wav"));
  QVERIFY(!Run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                                         QStringLiteral("lavfi"), QStringLiteral("-i"),
                                         QStringLiteral("sine=frequency=440:duration=1"), QStringLiteral("-ac"),
                                         QStringLiteral("1"), QStringLiteral("-ar"), QStringLiteral("8000"),
                                         QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), wav})
               .isNull() ||
           QFileInfo::exists(wav));
  const QString avi = QString::fromStdString(dir.file("walk.avi"));
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  QVERIFY(w.saveDocumentAs(avi));
  QCOMPARE(Probe(avi, "a", "codec_name"), QString());
  // Save of the named AVI asks first; Cancel writes nothing.
  w.setLoopCount(3);
  const QDateTime written = QFileInfo(avi).lastModified();
  AnswerNextDialog<AviSettingsDialog>([](AviSettingsDialog& d) { d.reject(); });
  QVERIFY(!w.saveDocument());
  QCOMPARE(QFileInfo(avi).lastModified(), written);
  AnswerNextDialog<AviSettingsDialog>([&](AviSettingsDialog& d) {
    // Nothing stored yet: RLE8, the recommended choice, and no sound.
    QVERIFY(Control<QRadioButton>(&d, 1073)->isChecked());
    QVERIFY(!Control<QCheckBox>(&d, 1257)->isEnabled());
    Control<QLineEdit>(&d, 1069)->setText(wav);
    QVERIFY(Control<QCheckBox>(&d, 1257)->isChecked());
    d.accept();
  });
  QVERIFY(w.saveDocument());
  QCOMPARE(Probe(avi, "v", "codec_name,width,height"), QStringLiteral("msrle,32,24"));
  QCOMPARE(Probe(avi, "a", "codec_name"), QStringLiteral("pcm_s16le"));
  const QByteArray source = Pcm(wav);
  QVERIFY(source.size() > 8000);
  QVERIFY(Pcm(avi) == source);
}

void AviHotspotTest::dialogRulesAndWhatItRemembers() {
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(16, 16, 16);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int) { return x % 16; });
  {
    // 8-bit frames: the 24-bit box is greyed and RLE8 offered.
    AviSettingsDialog d(*doc);
    QVERIFY(!Control<QCheckBox>(&d, 1083)->isEnabled());
    QVERIFY(Control<QRadioButton>(&d, 1073)->isEnabled());
    // A file without sound keeps the dialog open with message 40327.
    const std::string silent = dir.file("silent.gif");
    QVERIFY(SaveDocumentAs(silent, *doc));
    Control<QLineEdit>(&d, 1069)->setText(QString::fromStdString(silent));
    d.accept();
    QCOMPARE(messages().ids(), std::vector<int>{40327});
    QCOMPARE(d.result(), int(QDialog::Rejected));
    Control<QLineEdit>(&d, 1069)->clear();
    QVERIFY(!Control<QCheckBox>(&d, 1257)->isChecked());
    // No compression is remembered as the preference, leaving the stored record alone.
    Control<QRadioButton>(&d, 1071)->setChecked(true);
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QVERIFY(!d.settings().compress);
    QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 19));
    QVERIFY(!Prefs().store()->binary("AVICompress"));
  }
  QVERIFY(ExpandToTrueColour(f) != 0);
  {
    AviSettingsDialog d(*doc);
    QVERIFY(Control<QRadioButton>(&d, 1071)->isChecked());
    // 24-bit frames: the box is ticked and RLE8 is not offered until it is unticked.
    auto* box = Control<QCheckBox>(&d, 1083);
    QVERIFY(box->isEnabled() && box->isChecked());
    QVERIFY(!Control<QRadioButton>(&d, 1073)->isEnabled());
    box->setChecked(false);
    QVERIFY(Control<QRadioButton>(&d, 1073)->isEnabled());
    Control<QRadioButton>(&d, 1073)->setChecked(true);
    box->setChecked(true);
    QVERIFY(Control<QRadioButton>(&d, 1072)->isChecked());
    // An FFmpeg encoder chosen as the custom compressor is stored as its AVI code.
    auto* encoders = d.findChild<QComboBox*>(QStringLiteral("encoder"));
    const int mjpeg = encoders->findText(QStringLiteral("mjpeg"));
    QVERIFY(mjpeg >= 0);
    Control<QRadioButton>(&d, 1074)->setChecked(true);
    encoders->setCurrentIndex(mjpeg);
    d.findChild<QSpinBox*>(QStringLiteral("keyFrames"))->setValue(12);
    d.accept();
    QVERIFY(d.settings().compress);
    QVERIFY(d.settings().write24);
    QVERIFY(!Prefs().bit(pref::kOptionFlags, 1u << 19));
    AviCompressOptions expected;
    QVERIFY(CustomAviOptions("mjpeg", expected));
    expected.words[2] = 12;
    QVERIFY(StoredAviOptions() == expected);
  }
  AviSettingsDialog again(*doc);
  QVERIFY(Control<QRadioButton>(&again, 1074)->isChecked());
  QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("encoder"))->currentText(), QStringLiteral("mjpeg"));
  QCOMPARE(again.findChild<QSpinBox*>(QStringLiteral("keyFrames"))->value(), 12);
}

void AviHotspotTest::saveAsPanelsFollowTheType() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  SaveAsDialog dialog(*w.document(), dir.file("walk.avi"), kSaveAvi, 0, 0, &w);
  auto* avi = dialog.findChild<QWidget*>(QStringLiteral("d283"));
  auto* hotspot = dialog.findChild<QWidget*>(QStringLiteral("d284"));
  QVERIFY(avi && hotspot);
  QVERIFY(avi->isVisibleTo(&dialog));
  QVERIFY(!hotspot->isVisibleTo(&dialog));
  QVERIFY(!dialog.aviSettings());
  AnswerNextDialog<AviSettingsDialog>([](AviSettingsDialog& d) {
    Control<QRadioButton>(&d, 1072)->setChecked(true);
    d.accept();
  });
  dialog.findChild<QPushButton*>(QStringLiteral("aviSettings"))->click();
  QVERIFY(dialog.aviSettings());
  QVERIFY(AviPresetOf(dialog.aviSettings()->options) == AviPreset::kVideo1);
  dialog.selectNameFilter(SaveTypeFilter(kSaveCur));
  emit dialog.filterSelected(SaveTypeFilter(kSaveCur));
  QVERIFY(!avi->isVisibleTo(&dialog));
  QVERIFY(hotspot->isVisibleTo(&dialog));
  QVERIFY(!dialog.aviSettings());
}

void AviHotspotTest::hotspotIsPickedStoredAndWrittenInCurAndAni() {
  test::TempDir dir;
  MainWindow w;
  QCOMPARE(w.openFiles({WriteGif(dir)}), 1);
  ImageBlock& first = *FirstImage(w.document());
  QCOMPARE(first.hotspotX, -1);
  SaveAsDialog dialog(*w.document(), dir.file("walk.cur"), kSaveCur, 0, 0, &w);
  AnswerNextDialog<HotspotDialog>([](HotspotDialog& d) {
    // Unset: the centre. Typed values are held inside the frame; a click sets both.
    QCOMPARE(Control<QSpinBox>(&d, 1069)->value(), 16);
    QCOMPARE(Control<QSpinBox>(&d, 1070)->value(), 12);
    Control<QSpinBox>(&d, 1069)->setValue(500);
    QCOMPARE(Control<QSpinBox>(&d, 1069)->value(), 32);
    QTest::mouseClick(d.view(), Qt::LeftButton, {}, d.view()->pixelCentre(5, 7));
    QCOMPARE(d.hotspotX(), 5);
    QCOMPARE(d.hotspotY(), 7);
    d.reject();  // Cancel keeps the choice too
  });
  dialog.findChild<QPushButton*>(QStringLiteral("hotspot"))->click();
  QCOMPARE(first.hotspotX, 5);
  QCOMPARE(first.hotspotY, 7);

  const QString cur = QString::fromStdString(dir.file("walk.cur"));
  const QString ani = QString::fromStdString(dir.file("walk.ani"));
  QVERIFY(w.saveDocumentAs(ani, kSaveAni, save_option::kNoStyle));
  // A cursor file holds one image per size: the first frame alone.
  MainWindow single;
  QCOMPARE(single.openFiles({WriteGif(dir, 1, "one.gif")}), 1);
  FirstImage(single.document())->hotspotX = 5;
  FirstImage(single.document())->hotspotY = 7;
  QVERIFY(single.saveDocumentAs(cur, kSaveCur, save_option::kNoStyle));
  const std::vector<uint8_t> bytes = test::ReadBytes(cur.toStdString());
  QCOMPARE(Le16(bytes, 2), 2);  // a cursor file
  QCOMPARE(Le16(bytes, 6 + 4), 5);
  QCOMPARE(Le16(bytes, 6 + 6), 7);
  MainWindow reader;
  QCOMPARE(reader.openFiles({cur}), 1);
  QCOMPARE(FirstImage(reader.document())->hotspotX, 5);
  QCOMPARE(FirstImage(reader.document())->hotspotY, 7);
  QCOMPARE(reader.openFiles({ani}), 1);
  QCOMPARE(reader.document()->frameCount, 3);
  for (const ImageBlock* f = FirstImage(reader.document()); f; f = NextImage(f)) {
    QCOMPARE(f->hotspotX, 5);
    QCOMPARE(f->hotspotY, 7);
  }
}

FW_APP_TEST(AviHotspotTest)
#include "avi_hotspot_test.moc"
