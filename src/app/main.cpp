// Process entry: a command line beginning with '-' runs the batch mode without a window;
// anything else opens the editor, with the named file if there is one.
#include <QCoreApplication>
#include <string>
#include <vector>

#include "app/batch_entry.h"
#include "app/command_line_help.h"
#include "app/editor_loader.h"
#include "core/heap_tuning.h"
#include "core/termination.h"

int main(int argc, char** argv) {
  fw::KeepLargeBlocksForReuse();
  if (argc > 1 && argv[1][0] == '-') {
    if (const int answered = fw::AnswerInformationFlag(argv[1]); answered >= 0) return answered;
    QCoreApplication app(argc, argv);
    fw::InstallTerminationHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = fw::RunBatchFromCommandLine(args);
    if (fw::TerminationSignal()) fw::EndWithTerminationSignal();
    return status;
  }
  const int status = fw::RunEditorModule(argc, argv);
  if (fw::TerminationSignal()) fw::EndWithTerminationSignal();
  return status;
}
