#pragma once
// What `framewright --help` and `--version` print.
#include <string>

namespace fw {

std::string CommandLineUsage();
std::string VersionText();
// 0 after printing the usage or the version for "-h", "--help" or "--version"; -1 for any
// other first argument (the batch line then reads it).
int AnswerInformationFlag(const std::string& firstArgument);

}  // namespace fw
