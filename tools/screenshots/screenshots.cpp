// Opens an animation in the editor and saves pictures of the main window, the preview, the
// pixel editor, the AVI settings, the progress window and every page of the preferences sheet,
// so the interface can be looked at without running it.
// Usage: screenshots OUTPUT_DIR ANIMATION
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "app/qt_translation.h"
#include "app/preferences/preferences_sheet.h"
#include "app/settings_store.h"
#include "app/gui_services.h"
#include "core/anim_document.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "core/workers.h"
#include "ui/avi_settings_dialog.h"
#include "ui/hotspot_dialog.h"
#include "ui/pixel_editor.h"
#include "ui/preview_dialog.h"
#include "ui/progress_window.h"
#include "ui/psd_layers_dialog.h"

namespace {

// Lets the window settle (layouts, the size worker's status text, the preview's first frame).
void Settle(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget& widget, const QDir& dir, const QString& name) {
  const QString path = dir.filePath(name);
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshots OUTPUT_DIR ANIMATION\n");
    return 2;
  }
  QApplication app(argc, argv);
  fw::InstallQtTranslation(app);
  QApplication::setWindowIcon(fw::AppIcon());
  fw::SettingsStore store;
  fw::Prefs().load(&store);
  // The preview is opened below on purpose, after the main window's picture.
  fw::Prefs().setBits(fw::pref::kOptionFlags, 1u << 21, true);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.absolutePath());
  bool ok = true;
  {
    // At the window's default size, as a new user first sees it.
    fw::MainWindow window;
    window.show();
    Settle(300);
    ok &= Save(window, out, QStringLiteral("start.png"));
    if (window.openFiles({QString::fromLocal8Bit(argv[2])}) == 0) {
      std::fprintf(stderr, "could not open %s\n", argv[2]);
      return 1;
    }
    Settle(600);
    ok &= Save(window, out, QStringLiteral("main-window.png"));

    window.dispatch(40010);
    Settle(700);
    if (QDialog* preview = window.preview()) ok &= Save(*preview, out, QStringLiteral("preview.png"));
    else ok = false;
    window.dispatch(40010);

    window.dispatch(40289);
    Settle(500);
    if (QDialog* timing = window.preview()) ok &= Save(*timing, out, QStringLiteral("preview-timing.png"));
    window.dispatch(40010);

    if (fw::ImageBlock* first = fw::FirstImage(window.document())) {
      fw::PixelEditor pixels(*first, &window);
      pixels.show();
      Settle(300);
      ok &= Save(pixels, out, QStringLiteral("pixel-editor.png"));
      fw::HotspotDialog hotspot(*first, &window);
      hotspot.show();
      Settle(200);
      ok &= Save(hotspot, out, QStringLiteral("cursor-hotspot.png"));
      hotspot.hide();
    }
    {
      fw::AviSettingsDialog avi(*window.document(), &window);
      avi.show();
      Settle(200);
      ok &= Save(avi, out, QStringLiteral("avi-settings.png"));
      fw::PsdLayersDialog psd(&window);
      psd.show();
      Settle(200);
      ok &= Save(psd, out, QStringLiteral("psd-layers.png"));
    }
    {
      // A long operation half way: the progress window over the main window.
      auto progress = fw::CreateProgress(window.progressHook(), fw::progress_flag::kOwnWindow);
      fw::SetProgressText(progress.get(), fw::MessageText(40187));
      fw::StartProgress(progress.get(), 100);
      window.progressHook()->window()->setShowDelay(0);
      for (int i = 0; i < 40; ++i) fw::StepProgress(progress.get());
      Settle(300);
      ok &= Save(*window.progressHook()->window(), out, QStringLiteral("progress.png"));
      fw::CloseProgress(progress.get());
    }

    fw::PreferencesSheet sheet(&window);
    sheet.show();
    for (int i = 0; i < sheet.tabs()->count(); ++i) {
      sheet.tabs()->setCurrentIndex(i);
      Settle(150);
      ok &= Save(sheet, out, QStringLiteral("preferences-%1.png").arg(i + 1));
    }
    sheet.reject();
    fw::CancelAndWait(fw::worker::kDocument);
  }
  fw::Prefs().load(nullptr);
  return ok ? 0 : 1;
}
