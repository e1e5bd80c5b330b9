#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <QStringList>
#include <QTimer>

#include "app/app_icon.h"
#include "app/gui_services.h"
#include "app/qt_translation.h"
#include "app/main_window.h"
#include "app/preferences/purpose_dialog.h"
#include "app/settings_store.h"
#include "app/window_placement.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/termination.h"
#include "core/workers.h"

namespace fw {

// The one file of a command line that is not a batch run. The shell has already split the
// words, so a name with blanks arrives whole; several words are rejoined, and a further
// drive-letter path ("X:...") after a blank ends the name.
QString FileFromCommandLine(const QStringList& words) {
  QString joined = words.join(QLatin1Char(' '));
  if (joined.startsWith(QLatin1Char('"'))) joined.remove(0, 1);
  const int quote = static_cast<int>(joined.indexOf(QLatin1Char('"')));
  if (quote >= 0) return joined.left(quote);
  for (int i = 0; i + 2 < joined.size(); ++i)
    if (joined[i] == QLatin1Char(' ') && joined[i + 2] == QLatin1Char(':')) return joined.left(i);
  return joined;
}

// Qt would abort with its own terse complaint; say what to do instead.
static bool DisplayAvailable() {
#if defined(Q_OS_LINUX)
  auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
  return true;
#endif
}

int RunEditor(int argc, char** argv) {
  if (!DisplayAvailable()) {
    std::fprintf(stderr,
                 "Framewright: no display for the editor window (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                 "Run it in a desktop session, or use batch mode: framewright -i input.gif ... -o output.gif\n");
    return 1;
  }
  // Qt aborts when its display cannot be opened. Given a last resort that always starts, it
  // falls back instead, and the program can say what went wrong.
  const bool platformChosen = std::getenv("QT_QPA_PLATFORM") && *std::getenv("QT_QPA_PLATFORM");
  if (!platformChosen) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", wayland && *wayland ? "wayland;xcb;offscreen" : "xcb;offscreen");
  }
  QApplication app(argc, argv);
  if (!platformChosen) {
    qunsetenv("QT_QPA_PLATFORM");  // programs started from here choose their own
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
      const char* display = std::getenv("DISPLAY");
      std::fprintf(stderr,
                   "Framewright: cannot open the display \"%s\" for the editor window.\n"
                   "Check that the X server (or Wayland compositor) is running and that you may use it,\n"
                   "or use batch mode: framewright -i input.gif ... -o output.gif\n",
                   display ? display : "");
      return 1;
    }
  }
  InstallTerminationHandlers();
  // A save running when the signal came unwinds first (its temporary file goes, the old
  // target stays); the event loop then ends here.
  QTimer terminationWatch;
  QObject::connect(&terminationWatch, &QTimer::timeout, &app, [] {
    if (TerminationSignal()) QCoreApplication::exit(128 + TerminationSignal());
  });
  terminationWatch.start(200);
  InstallQtTranslation(app);
  QApplication::setWindowIcon(AppIcon());
  QApplication::setDesktopFileName(QStringLiteral("com.tessaly.Framewright"));
  SettingsStore store;
  Prefs().load(&store);
  int status = 0;
  {
    MainWindow window;
    MessageBoxSink sink(&window);
    MessageSink* previous = SetMessageSink(&sink);
    RestoreWindowPlacement(window, &store);
    window.show();
    QStringList words = QCoreApplication::arguments().mid(1);
    if (!words.isEmpty()) window.openFiles({FileFromCommandLine(words)});
    // A first run without a file asks what the program will be used for, over the shown window.
    else QTimer::singleShot(0, &window, [&window] { ShowPurposeDialogOnFirstRun(&window); });
    status = app.exec();
    StoreWindowPlacement(window, &store);
    CancelAndWait(worker::kDocument);
    SetMessageSink(previous);
  }
  Prefs().load(nullptr);
  return status;
}

}  // namespace fw
