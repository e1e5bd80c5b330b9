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
ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& workDir, const std::string& configDir);

}  // namespace fw::test
