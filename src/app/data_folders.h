#pragma once
// Where the program's own files are: beside the built program in a build tree, or under
// share/framewright when installed.
#include <QString>

namespace fw {

// The folder holding the sample animations, or empty when there is none.
QString SamplesFolder();
// The manual page `page` (e.g. "index.html"), or empty when it is not found.
QString ManualPage(const QString& page);

}  // namespace fw
