#include "ui/help_browser.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace fw {

HelpBrowser::HelpBrowser(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpBrowser"));
  setWindowTitle(QStringLiteral("Framewright"));
  browser_->setObjectName(QStringLiteral("HelpText"));
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(760, 600);
}

void HelpBrowser::showPage(const QUrl& page) {
  browser_->setSource(page);
  show();
  raise();
  activateWindow();
}

bool DesktopShowsHtml() {
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
  // xdg-open starts and succeeds even when no program takes HTML; its MIME database knows.
  const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (query.isEmpty()) return true;
  QProcess process;
  process.start(query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  if (!process.waitForFinished(3000)) {
    process.kill();
    return true;
  }
  return !process.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace fw
