#include "app/desktop_entry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace fw {
namespace {

QString RunningProgram(const QString& program) {
  return program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
}

// The XDG base directory rule: an unset, empty or relative XDG_DATA_HOME means ~/.local/share.
QString DataHome() {
  const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
  if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) return configured;
  return QDir::homePath() + QStringLiteral("/.local/share");
}

bool NeedsQuoting(const QString& path) {
  static const QString kReserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
  for (QChar c : path)
    if (kReserved.contains(c)) return true;
  return false;
}

// Quoting of the Exec key's argument, then the escaping every string value gets; the result
// is what the file holds after "Exec=".
QString QuotedArgument(const QString& path) {
  if (!NeedsQuoting(path)) return path;
  QString quoted = QStringLiteral("\"");
  for (QChar c : path) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    quoted += c;
  }
  quoted += QLatin1Char('"');
  quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  return quoted;
}

QString ExecLineOf(const QString& entryPath) {
  QFile file(entryPath);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QTextStream in(&file);
  bool inMainGroup = false;
  while (!in.atEnd()) {
    const QString line = in.readLine();
    if (line.startsWith(QLatin1Char('['))) inMainGroup = line == QStringLiteral("[Desktop Entry]");
    else if (inMainGroup && line.startsWith(QStringLiteral("Exec="))) return line.mid(5);
  }
  return {};
}

}  // namespace

QString EditVerbEntryPath() { return DataHome() + QStringLiteral("/applications/framewright-edit.desktop"); }

QString EditVerbCommand(const QString& program) {
  const QString absolute = QFileInfo(program).absoluteFilePath();
  for (QChar c : absolute)
    if (c.category() == QChar::Other_Control) return {};
  // A literal percent sign would otherwise read as a field code.
  QString literal = absolute;
  literal.replace(QLatin1Char('%'), QStringLiteral("%%"));
  return QuotedArgument(literal) + QStringLiteral(" %f");
}

bool IsEditVerbInstalled(const QString& program) {
  const QString expected = EditVerbCommand(RunningProgram(program));
  return !expected.isEmpty() && ExecLineOf(EditVerbEntryPath()) == expected;
}

bool InstallEditVerb(const QString& program) {
  const QString command = EditVerbCommand(RunningProgram(program));
  if (command.isEmpty()) return false;
  const QString path = EditVerbEntryPath();
  if (!QDir().mkpath(QFileInfo(path).path())) return false;
  // QSaveFile writes a temporary file beside the target and renames it over the target on
  // commit, so a failed write never leaves half an entry.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "[Desktop Entry]\n"
      << "Type=Application\n"
      << "Name=Edit with Framewright\n"
      << "Exec=" << command << "\n"
      << "MimeType=image/gif;\n"
      << "NoDisplay=true\n"
      << "Terminal=false\n";
  out.flush();
  return out.status() == QTextStream::Ok && file.commit();
}

bool RemoveEditVerb() {
  const QString path = EditVerbEntryPath();
  return !QFileInfo::exists(path) || QFile::remove(path);
}

}  // namespace fw
