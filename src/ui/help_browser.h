#pragma once
// The manual in a window of our own, for desktops that cannot open an HTML page: links
// between the manual's pages work, links out of it go to the desktop.
#include <QDialog>

class QTextBrowser;
class QUrl;

namespace fw {

class HelpBrowser : public QDialog {
  Q_OBJECT
 public:
  explicit HelpBrowser(QWidget* parent);
  void showPage(const QUrl& page);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// Whether the desktop has a program that shows HTML pages (xdg-open with a handler for them).
bool DesktopShowsHtml();

}  // namespace fw
