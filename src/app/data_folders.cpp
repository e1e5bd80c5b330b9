#include "app/data_folders.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace fw {
namespace {

QString FirstExisting(const QStringList& candidates) {
  for (const QString& c : candidates)
    if (QFileInfo::exists(c)) return QFileInfo(c).absoluteFilePath();
  return {};
}

QString Installed(const QString& relative) {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/framewright/") + relative;
}

}  // namespace

QString SamplesFolder() {
  return FirstExisting({QCoreApplication::applicationDirPath() + QStringLiteral("/samples"), Installed(QStringLiteral("samples"))});
}

QString ManualPage(const QString& page) {
  return FirstExisting({Installed(QStringLiteral("docs/") + page), QCoreApplication::applicationDirPath() + QStringLiteral("/docs/") + page,
                        QStringLiteral(FW_DOCS_DIR "/") + page});
}

}  // namespace fw
