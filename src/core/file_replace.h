#pragma once
// Writing a file without ever losing the one it replaces.
#include <string>

namespace fw {

// A new, not yet existing name in `directory` for a temporary file: ".<prefix>XXXXXX.<ext>".
std::string MakeTemporaryName(const std::string& directory, const std::string& prefix, const std::string& extension);
// Directory part of a path ("." when it has none).
std::string DirectoryOf(const std::string& path);

// Moves a fully written temporary file over the target. The old target is renamed to a
// backup first and restored if the move fails; true on success.
bool ReplaceFile(const std::string& target, const std::string& temporary);

}  // namespace fw
