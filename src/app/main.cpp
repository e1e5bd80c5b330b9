// Process entry: a command line beginning with '-' runs the batch mode, anything else will
// open the editor window.
#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch_entry.h"

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] == '-') {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    return fw::RunBatchFromCommandLine(args);
  }
  std::fprintf(stderr,
               "framewright: the editor window is not part of this build yet.\n"
               "Run it with flags, for example:\n"
               "  framewright -i 'frames/*.gif' -t 5 -o out.gif\n"
               "See README.md for every flag.\n");
  return argc > 1 ? 1 : 0;
}
