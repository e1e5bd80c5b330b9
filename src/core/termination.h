#pragma once
// SIGTERM, SIGINT and SIGHUP ask the program to end; they never cut a save short in the
// middle. The handler only notes the signal: long work (saving, loading) sees it through the
// progress calls and unwinds through its ordinary failure path, so temporary files are
// removed and the old target stays; the program then ends with the signal.

namespace fw {

void InstallTerminationHandlers();
// The signal that asked the program to end, or 0.
int TerminationSignal();
// Ends the process with the noted signal's default action (after the work has unwound).
[[noreturn]] void EndWithTerminationSignal();

}  // namespace fw
