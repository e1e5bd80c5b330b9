// The preferences sheet, the merge questions and the desktop verb, driven by control ids.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app_test_registry.h"
#include "app/desktop_entry.h"
#include "app/main_window.h"
#include "ui/frame_strip.h"
#include "app/preferences/palette_choices.h"
#include "app/preferences/palette_merge_dialog.h"
#include "app/preferences/preferences_sheet.h"
#include "app/preferences/purpose_dialog.h"
#include "app/preferences/size_conflict_dialog.h"
#include "core/picture_limit.h"
#include "core/preferences.h"
#include "core/read_budget.h"
#include "core/undo_history.h"
#include "formats/pal_file.h"
#include "formats/save_document.h"
#include "imaging/fixed_palettes.h"
#include "app_test_case.h"
#include "dialog_driving.h"
#include "support/test_support.h"

using namespace fw;
using namespace fw::test;

namespace {

template <typename W = QWidget>
W* Control(const PreferencesSheet& sheet, int page, int id) {
  return fw::test::Control<W>(sheet.page(page), id);
}

std::vector<uint32_t> Words() {
  std::vector<uint32_t> w;
  for (int i = 0; i < Preferences::kWords; ++i) w.push_back(Prefs().raw(i));
  return w;
}

QString WriteGif(const test::TempDir& dir, const std::string& name, int width, int height, bool interlaced = false,
                 int colours = 16) {
  AnimPtr doc = test::NewDocument(width, height, colours);
  for (int i = 0; i < 2; ++i) {
    ImageBlock& f = test::AddFrame(*doc, 0, 0, width, height, [i](int x, int y) { return (x + y + i) % 16; });
    if (interlaced) f.descriptorFlags |= 0x40;
  }
  const std::string path = dir.file(name);
  return SaveDocumentAs(path, *doc) ? QString::fromStdString(path) : QString();
}

}  // namespace

class PreferencesTest : public test::AppTestCase {
  Q_OBJECT
 private slots:
  void initTestCase() {
    // The desktop verb must never touch the real user's data folder.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome_.path()));
  }
  void init() {
    AppTestCase::init();
    store_ = std::make_unique<MemoryPreferenceStore>();
    Prefs().load(store_.get());
  }
  void cleanup() {
    AppTestCase::cleanup();
    store_.reset();
    RemoveEditVerb();
  }

  void untouchedSheetChangesNothing();
  void iconsPurposeLoadsItsPresetAndLaterPagesAddTheirChanges();
  void animationPageKeepsFocusOnAnInvalidDelay();
  void exportPageChecksAndStoresTheSignature();
  void frameTipMasterDisablesItemsAndConfirmWritesTheWord();
  void windowFollowsTheFrameTipSetting();
  void paletteLoadsTheFixedPaletteOrFallsBack();
  void firstRunAsksForThePurposeOnce();
  void desktopEntryInstallCheckRemove();
  void editVerbFailureShowsItsMessage();
  void sizeConflictMakeDefaultStopsAsking();
  void paletteMergeDialogForASingleImport();
  void windowRunsTheSheetAndDropsInterlacing();
  void windowAsksAboutLargerFrames();
  void windowAsksAboutThePaletteMerge();
  void readLimitsAreRaisedOnTheGeneralPage();

 private:
  test::TempDir dataHome_;
  std::unique_ptr<MemoryPreferenceStore> store_;
};

void PreferencesTest::untouchedSheetChangesNothing() {
  // Options that match no purpose and values no control shows exactly.
  Prefs().write(pref::kPaletteMerge, 0x770002 | 4096);
  Prefs().write(pref::kFrameTips, 2 | 4 | 1);
  Prefs().write(pref::kFrameSizePolicy, 1);  // an old encoding of "enlarge, ask"
  Prefs().write(pref::kAviFrameRate, 299701);
  Prefs().write(pref::kSaveAsMemory, 0x00030001);
  const std::vector<uint32_t> before = Words();
  const auto texts = store_->texts;

  PreferencesSheet sheet;
  QCOMPARE(sheet.windowTitle(), QStringLiteral("Preferences"));
  QCOMPARE(sheet.tabs()->count(), 7);
  QVERIFY(Control<QRadioButton>(sheet, 314, 1254)->isChecked());  // custom
  sheet.accept();
  QVERIFY(sheet.outcome().accepted);
  QVERIFY(!sheet.outcome().signatureChanged);
  QVERIFY(!sheet.outcome().interlaceChanged);
  QCOMPARE(Words(), before);
  QCOMPARE(store_->texts, texts);
  QVERIFY(messages().ids().empty());
}

void PreferencesTest::iconsPurposeLoadsItsPresetAndLaterPagesAddTheirChanges() {
  PreferencesSheet sheet;
  QVERIFY(Control<QRadioButton>(sheet, 314, 1073)->isChecked());  // the defaults are the animation preset
  Control<QRadioButton>(sheet, 314, 1074)->setChecked(true);
  // A tip item ticked on its own page joins the preset instead of undoing it.
  Control<QCheckBox>(sheet, 265, 1083)->setChecked(true);
  Control<QCheckBox>(sheet, 265, 1269)->setChecked(true);
  sheet.accept();
  QVERIFY(Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour));
  QVERIFY(Prefs().bit(pref::kOptionFlags, 1u << 21));
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880010u);
  QCOMPARE(Prefs().raw(pref::kFrameTips), 1161u | 32u);
  QCOMPARE(Prefs().raw(pref::kFrameSizePolicy), 32u);

  // Back to animations, unchanged afterwards: confirming again loads nothing.
  PreferencesSheet again;
  QVERIFY(Control<QRadioButton>(again, 314, 1074)->isChecked());
  Control<QRadioButton>(again, 314, 1073)->setChecked(true);
  again.accept();
  QVERIFY(!Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour));
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880001u);
  QCOMPARE(Prefs().raw(pref::kFrameTips), 173u);
}

void PreferencesTest::animationPageKeepsFocusOnAnInvalidDelay() {
  PreferencesSheet sheet;
  sheet.show();
  QVERIFY(QTest::qWaitForWindowActive(&sheet));
  sheet.showPage(203);
  auto* delay = Control<QSpinBox>(sheet, 203, 1101);
  auto* loops = Control<QSpinBox>(sheet, 203, 1102);
  QCOMPARE(delay->value(), 10);
  delay->setValue(65536);
  sheet.showPage(204);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(203));
  QCOMPARE(messages().ids(), std::vector<int>{40155});
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(delay));
  // OK is refused for the same reason and writes nothing.
  sheet.accept();
  QVERIFY(!sheet.outcome().accepted);
  QCOMPARE(Prefs().raw(pref::kDefaultDelay), 10u);

  delay->setValue(65535);
  loops->setValue(65537);
  messages().sink.clear();
  sheet.showPage(204);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(203));
  QCOMPARE(messages().ids(), std::vector<int>{40157});
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(loops));

  // A click on another tab is refused the same way.
  messages().sink.clear();
  QTabBar* bar = sheet.tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(sheet.tabs()->indexOf(sheet.page(265))).center());
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(203));
  QCOMPARE(messages().ids(), std::vector<int>{40157});

  loops->setValue(65536);
  Control<QRadioButton>(sheet, 203, 1111)->setChecked(true);
  Control<QCheckBox>(sheet, 203, 1121)->setChecked(true);
  sheet.showPage(204);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(204));
  sheet.accept();
  QCOMPARE(Prefs().raw(pref::kDefaultDelay), 65535u);
  QCOMPARE(Prefs().raw(pref::kDefaultLoopCount), 65536u);
  QCOMPARE(Prefs().raw(pref::kFrameSizePolicy), 16u + 4u);
}

void PreferencesTest::exportPageChecksAndStoresTheSignature() {
  PreferencesSheet sheet;
  sheet.showPage(276);
  auto* text = Control<QLineEdit>(sheet, 276, 1070);
  QCOMPARE(text->text(), QStringLiteral("Built with Framewright 4.0"));
  text->setText(QString(256, QLatin1Char('x')));
  sheet.showPage(327);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(276));
  QCOMPARE(messages().ids(), std::vector<int>{40152});

  // The comment holds 255 bytes: 86 Chinese characters would be cut inside one, 85 fit.
  messages().sink.clear();
  text->setText(QString(86, QChar(0x4E2D)));
  sheet.showPage(327);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(276));
  QCOMPARE(messages().ids(), std::vector<int>{40152});
  text->setText(QString(85, QChar(0x4E2D)));
  sheet.showPage(327);
  QCOMPARE(sheet.tabs()->currentWidget(), sheet.page(327));
  sheet.accept();
  QVERIFY(sheet.outcome().signatureChanged);
  QCOMPARE(QString::fromStdString(store_->texts["Sig"]), QString(85, QChar(0x4E2D)));

  // Turning the signature off is a change too; the text stays as stored.
  PreferencesSheet off;
  Control<QCheckBox>(off, 276, 1084)->setChecked(false);
  QVERIFY(!Control<QLineEdit>(off, 276, 1070)->isEnabled());
  off.accept();
  QVERIFY(off.outcome().signatureChanged);
  QVERIFY(Prefs().bit(pref::kOptionFlags, pref::kNoSignature));
}

void PreferencesTest::frameTipMasterDisablesItemsAndConfirmWritesTheWord() {
  Prefs().write(pref::kFrameTips, 1 | 4 | 1024);
  PreferencesSheet sheet;
  auto* master = Control<QCheckBox>(sheet, 265, 1083);
  auto* number = Control<QCheckBox>(sheet, 265, 1265);
  auto* delay = Control<QCheckBox>(sheet, 265, 1269);
  QVERIFY(master->isChecked());
  QVERIFY(number->isChecked());
  QVERIFY(number->isEnabled());
  // Bits per pixel is offered only while true-colour data is kept.
  QVERIFY(Control<QCheckBox>(sheet, 265, 1274)->isHidden());
  master->setChecked(false);
  QVERIFY(!number->isEnabled());
  QVERIFY(!delay->isEnabled());
  master->setChecked(true);
  delay->setChecked(true);
  number->setChecked(false);
  sheet.accept();
  QCOMPARE(Prefs().raw(pref::kFrameTips), 1u | 32u | 1024u);
}

void PreferencesTest::paletteLoadsTheFixedPaletteOrFallsBack() {
  test::TempDir dir;
  PreferencesSheet sheet;
  auto* choices = sheet.page(202)->findChild<PaletteChoices*>();
  auto* fixed = Control<QRadioButton>(sheet, 202, 1201);
  auto* load = Control<QAbstractButton>(sheet, 202, 1290);
  QVERIFY(!load->isEnabled());
  fixed->setChecked(true);
  QVERIFY(load->isEnabled());
  // Nothing loadable and nothing stored: back to the adaptive palette.
  QVERIFY(!choices->loadFixedPalette(QString::fromStdString(dir.file("missing.pal"))));
  QVERIFY(Control<QRadioButton>(sheet, 202, 1197)->isChecked());
  QCOMPARE(messages().ids(), std::vector<int>{40236});

  const Rgb entries[3] = {{1, 2, 3}, {250, 128, 0}, {9, 9, 9}};
  QCOMPARE(WritePalFile(dir.file("three.pal"), *Palette::Create(entries, 3)), 1);
  fixed->setChecked(true);
  QVERIFY(choices->loadFixedPalette(QString::fromStdString(dir.file("three.pal"))));
  QCOMPARE(store_->binaries["FixedPal"].size(), size_t{1028});
  std::unique_ptr<Palette> stored = StoredFixedPalette();
  QVERIFY(stored);
  QCOMPARE(stored->count(), 3);
  QVERIFY((*stored)[1] == (Rgb{250, 128, 0}));
  // A failed load later keeps the stored palette and the choice.
  QVERIFY(!choices->loadFixedPalette(QString::fromStdString(dir.file("missing.pal"))));
  QVERIFY(fixed->isChecked());
  sheet.accept();
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880000u | 1024u);
}

void PreferencesTest::firstRunAsksForThePurposeOnce() {
  constexpr uint32_t kPurposeShown = 1u << 6;
  AnswerNextDialog<PurposeDialog>([](PurposeDialog& d) {
    Control<QRadioButton>(&d, 1074)->setChecked(true);
    d.accept();
  });
  QVERIFY(ShowPurposeDialogOnFirstRun(nullptr));
  QVERIFY(Prefs().bit(pref::kMoreFlags, kPurposeShown));
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880010u);
  // Shown once: a second start does not ask.
  QVERIFY(!ShowPurposeDialogOnFirstRun(nullptr));

  // Closing the question without a choice still counts as shown and loads nothing.
  Prefs().setBits(pref::kMoreFlags, kPurposeShown, false);
  const std::vector<uint32_t> before = Words();
  AnswerNextDialog<PurposeDialog>([](PurposeDialog& d) { d.reject(); });
  QVERIFY(ShowPurposeDialogOnFirstRun(nullptr));
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), before[pref::kPaletteMerge]);
  QVERIFY(Prefs().bit(pref::kMoreFlags, kPurposeShown));
}

void PreferencesTest::desktopEntryInstallCheckRemove() {
  const QString entry = EditVerbEntryPath();
  QCOMPARE(entry, QString::fromStdString(dataHome_.path()) + QStringLiteral("/applications/framewright-edit.desktop"));
  QVERIFY(!IsEditVerbInstalled());
  QVERIFY(InstallEditVerb());
  QVERIFY(IsEditVerbInstalled());
  QFile file(entry);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString content = QString::fromUtf8(file.readAll());
  file.close();
  QVERIFY(content.startsWith(QStringLiteral("[Desktop Entry]\n")));
  QVERIFY(content.contains(QStringLiteral("\nName=Edit with Framewright\n")));
  QVERIFY(content.contains(QStringLiteral("\nExec=") + QApplication::applicationFilePath() + QStringLiteral(" %f\n")));
  QVERIFY(content.contains(QStringLiteral("\nMimeType=image/gif;\n")));
  // No temporary file is left beside it.
  QCOMPARE(QDir(QFileInfo(entry).path()).entryList(QDir::Files).size(), 1);

  // An entry for another program is not ours.
  QVERIFY(!IsEditVerbInstalled(QStringLiteral("/opt/other/framewright")));
  // Paths with blanks and shell characters are quoted as desktop entries require.
  QCOMPARE(EditVerbCommand(QStringLiteral("/opt/my apps/fw$1")), QStringLiteral("\"/opt/my apps/fw\\\\$1\" %f"));
  QCOMPARE(EditVerbCommand(QStringLiteral("/opt/100%/fw")), QStringLiteral("/opt/100%%/fw %f"));
  QVERIFY(InstallEditVerb(QStringLiteral("/opt/my apps/fw")));
  QVERIFY(IsEditVerbInstalled(QStringLiteral("/opt/my apps/fw")));
  QVERIFY(!IsEditVerbInstalled());

  QVERIFY(RemoveEditVerb());
  QVERIFY(!QFile::exists(entry));
  QVERIFY(!IsEditVerbInstalled(QStringLiteral("/opt/my apps/fw")));
  QVERIFY(RemoveEditVerb());  // nothing left to remove is not a failure
}

void PreferencesTest::editVerbFailureShowsItsMessage() {
  // A data folder that cannot hold the applications folder.
  test::TempDir dir;
  const std::string blocker = dir.file("data");
  test::WriteBytes(blocker, {1});
  const QByteArray saved = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(blocker));
  PreferencesSheet sheet;
  auto* verb = Control<QCheckBox>(sheet, 204, 1092);
  QVERIFY(!verb->isChecked());
  verb->setChecked(true);
  sheet.accept();
  qputenv("XDG_DATA_HOME", saved);
  QCOMPARE(messages().ids(), std::vector<int>{40154});

  // Ticked in a writable place it is installed, and unticked it is removed.
  PreferencesSheet install;
  Control<QCheckBox>(install, 204, 1092)->setChecked(true);
  install.accept();
  QVERIFY(IsEditVerbInstalled());
  PreferencesSheet remove;
  QVERIFY(Control<QCheckBox>(remove, 204, 1092)->isChecked());
  Control<QCheckBox>(remove, 204, 1092)->setChecked(false);
  remove.accept();
  QVERIFY(!IsEditVerbInstalled());
}

void PreferencesTest::sizeConflictMakeDefaultStopsAsking() {
  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  {
    SizeConflictDialog dialog(Prefs().read(pref::kFrameSizePolicy));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("框架尺寸冲突"));
    QVERIFY(Control<QRadioButton>(&dialog, 1112)->isChecked());
    Control<QRadioButton>(&dialog, 1111)->setChecked(true);
    dialog.accept();
    QVERIFY(dialog.choice() == FrameSizeChoice::Clip);
    QCOMPARE(Prefs().raw(pref::kFrameSizePolicy), 36u);  // this time only
  }
  SizeConflictDialog dialog(Prefs().read(pref::kFrameSizePolicy));
  Control<QRadioButton>(&dialog, 1111)->setChecked(true);
  Control<QCheckBox>(&dialog, 1083)->setChecked(true);
  dialog.accept();
  QCOMPARE(Prefs().raw(pref::kFrameSizePolicy), 16u);
}

void PreferencesTest::paletteMergeDialogForASingleImport() {
  const uint32_t stored = 0x880010 | PaletteChoices::kAskBit;  // local palettes, asking
  Prefs().write(pref::kPaletteMerge, stored);
  {
    PaletteMergeDialog dialog(stored, true);
    auto* local = Control<QRadioButton>(&dialog, 1202);
    QVERIFY(!local->isEnabled());
    QVERIFY(Control<QRadioButton>(&dialog, 1197)->isChecked());
    Control<QRadioButton>(&dialog, 1200)->setChecked(true);
    Control<QComboBox>(&dialog, 1289)->setCurrentIndex(2);  // 64 colours
    dialog.accept();
    QCOMPARE(dialog.chosenWord() & ~PaletteChoices::kAskBit, 0x860008u);
    QCOMPARE(Prefs().raw(pref::kPaletteMerge), stored);  // not made the default
  }
  PaletteMergeDialog dialog(stored, false);
  QVERIFY(Control<QRadioButton>(&dialog, 1202)->isChecked());
  Control<QCheckBox>(&dialog, 1204)->setChecked(true);
  dialog.findChild<QCheckBox*>(QStringLiteral("makeDefault"))->setChecked(true);
  dialog.accept();
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880010u | PaletteChoices::kDitherBit);
  // Editing the fixed palette is offered only with the fixed-palette method.
  QVERIFY(!Control<QAbstractButton>(&dialog, 1291)->isEnabled());
}

void PreferencesTest::windowRunsTheSheetAndDropsInterlacing() {
  test::TempDir dir;
  Prefs().setBits(pref::kOptionFlags, pref::kInterlaceAllowed, true);
  const QString gif = WriteGif(dir, "a.gif", 8, 8, true);
  MainWindow w;
  QVERIFY(w.action(40035)->isEnabled());
  QCOMPARE(w.openFiles({gif}), 1);
  QVERIFY(FirstImage(w.document())->interlaced());
  QVERIFY(!w.isModified());
  AnswerNextDialog<PreferencesSheet>([](PreferencesSheet& sheet) {
    Control<QCheckBox>(sheet, 204, 1084)->setChecked(false);
    sheet.accept();
  });
  w.dispatch(40035);
  QVERIFY(!Prefs().bit(pref::kOptionFlags, pref::kInterlaceAllowed));
  for (const ImageBlock* f = FirstImage(w.document()); f; f = NextImage(f)) QVERIFY(!f->interlaced());
  QVERIFY(w.isModified());

  // A cancelled sheet changes nothing.
  const std::vector<uint32_t> before = Words();
  AnswerNextDialog<PreferencesSheet>([](PreferencesSheet& sheet) {
    Control<QRadioButton>(sheet, 314, 1074)->setChecked(true);
    sheet.reject();
  });
  w.dispatch(40035);
  QCOMPARE(Words(), before);
}

void PreferencesTest::windowFollowsTheFrameTipSetting() {
  Prefs().write(pref::kFrameTips, 1 | 4);
  MainWindow w;
  QVERIFY(w.strip()->frameTipsOn());
  AnswerNextDialog<PreferencesSheet>([](PreferencesSheet& sheet) {
    Control<QCheckBox>(sheet, 265, 1083)->setChecked(false);
    sheet.accept();
  });
  w.dispatch(40035);
  QVERIFY(!w.strip()->frameTipsOn());
  QVERIFY(!w.action(40344)->isChecked());
  QVERIFY(!w.strip()->viewport()->hasMouseTracking());
}

void PreferencesTest::windowAsksAboutLargerFrames() {
  test::TempDir dir;
  const QString small = WriteGif(dir, "small.gif", 8, 8);
  const QString large = WriteGif(dir, "large.gif", 12, 10);
  MainWindow w;
  QCOMPARE(w.openFiles({small}), 1);
  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  AnswerNextDialog<SizeConflictDialog>([](SizeConflictDialog& d) {
    Control<QRadioButton>(&d, 1111)->setChecked(true);
    Control<QCheckBox>(&d, 1083)->setChecked(true);
    d.accept();
  });
  QCOMPARE(w.insertFiles({large}), 1);
  QCOMPARE(w.document()->frameCount, 4);
  QCOMPARE(w.document()->screenWidth, 8);
  QCOMPARE(Prefs().raw(pref::kFrameSizePolicy), 16u);

  // Cancelling drops the insertion.
  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  AnswerNextDialog<SizeConflictDialog>([](SizeConflictDialog& d) { d.reject(); });
  QCOMPARE(w.insertFiles({large}), 0);
  QCOMPARE(w.document()->frameCount, 4);
}

void PreferencesTest::windowAsksAboutThePaletteMerge() {
  test::TempDir dir;
  const QString first = WriteGif(dir, "first.gif", 8, 8);
  const QString other = WriteGif(dir, "other.gif", 8, 8, false, 32);  // a different palette
  MainWindow w;
  QCOMPARE(w.openFiles({first}), 1);
  Prefs().write(pref::kPaletteMerge, 0x880001 | PaletteChoices::kAskBit);
  AnswerNextDialog<PaletteMergeDialog>([](PaletteMergeDialog& d) {
    QVERIFY(Control<QRadioButton>(&d, 1202)->isEnabled());  // frames join a document
    d.reject();
  });
  QCOMPARE(w.insertFiles({other}), 0);
  QCOMPARE(w.document()->frameCount, 2);

  AnswerNextDialog<PaletteMergeDialog>([](PaletteMergeDialog& d) {
    Control<QRadioButton>(&d, 1202)->setChecked(true);
    d.findChild<QCheckBox*>(QStringLiteral("makeDefault"))->setChecked(true);
    d.accept();
  });
  QCOMPARE(w.insertFiles({other}), 1);
  QCOMPARE(w.document()->frameCount, 4);
  QVERIFY(ImageAt(w.document(), 3)->localPalette);
  QCOMPARE(Prefs().raw(pref::kPaletteMerge), 0x880010u);
}

void PreferencesTest::readLimitsAreRaisedOnTheGeneralPage() {
  PreferencesSheet sheet;
  auto* picture = sheet.page(204)->findChild<QSpinBox*>(QStringLiteral("pictureLimit"));
  auto* document = sheet.page(204)->findChild<QSpinBox*>(QStringLiteral("documentLimit"));
  QVERIFY(picture && document);
  QCOMPARE(picture->value(), 256);
  QCOMPARE(document->value(), 1024);
  picture->setValue(1000);
  document->setValue(4096);
  sheet.accept();
  QCOMPARE(Preferences::picturePixelLimit(), int64_t{1000} * 1000 * 1000);
  QCOMPARE(Preferences::documentPixelLimit(), int64_t{4096} << 20);
  QCOMPARE(store_->numbers["PictureMegapixels"], 1000u);
  Prefs().load(store_.get());
  QCOMPARE(Preferences::documentPixelLimit(), int64_t{4096} << 20);
  // Later tests start from the defaults.
  Prefs().setPicturePixelLimit(kDefaultPicturePixelLimit);
  Prefs().setDocumentPixelLimit(kDefaultDocumentPixelLimit);
}

FW_APP_TEST(PreferencesTest)
#include "preferences_test.moc"
