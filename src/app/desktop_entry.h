#pragma once
// The "Edit with Framewright" verb for GIF files: a per-user freedesktop desktop entry,
// $XDG_DATA_HOME/applications/framewright-edit.desktop, that offers this program for
// image/gif files in file managers' "Open with" lists.
#include <QString>

namespace fw {

// Where the entry lives (the folder need not exist yet).
QString EditVerbEntryPath();
// The Exec line the entry holds for `program`: its absolute path, quoted as desktop entries
// require when it holds blanks or other reserved characters, then "%f". Empty for a path
// that cannot be written into an entry (control characters).
QString EditVerbCommand(const QString& program);

// True when the entry exists and starts `program` (by default the running program).
bool IsEditVerbInstalled(const QString& program = QString());
// Writes the entry for `program` (by default the running program), replacing any earlier one
// only once the new one is complete. False when it could not be written.
bool InstallEditVerb(const QString& program = QString());
// Deletes the entry; true when none is left.
bool RemoveEditVerb();

}  // namespace fw
