#pragma once
// Running the built program and reading what it printed.
#include <string>
#include <vector>

namespace fw::test {

struct ProgramRun {
  int exitCode = -1;
  std::string output;  // standard error and standard output together
};

// Runs the program with the arguments in `workDir`, with its settings kept in `configDir`.
// With `fileSizeLimit` >= 0 no file it writes may grow beyond that many bytes: writes past it
// fail as on a full disk (EFBIG), a stand-in for one where no small file system can be mounted.
ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& workDir, const std::string& configDir,
                      long fileSizeLimit = -1);

}  // namespace fw::test
