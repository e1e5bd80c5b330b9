#pragma once
// Qt's own texts (the buttons of standard dialogs, the file dialog) in the interface's language.

class QCoreApplication;

namespace fw {

// Loads Qt's Chinese translation when it is installed (qt6-translations-l10n); false otherwise.
bool InstallQtTranslation(QCoreApplication& app);

}  // namespace fw
