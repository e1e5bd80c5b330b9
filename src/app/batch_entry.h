#pragma once
#include <string>
#include <vector>

namespace fw {

// Reads the preferences, runs the flags and releases everything; returns the exit status.
int RunBatchFromCommandLine(const std::vector<std::string>& args);

}  // namespace fw
