#include "core/termination.h"

#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace fw {
namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void NoteTermination(int signal) { g_signal = signal; }

}  // namespace

void InstallTerminationHandlers() {
  struct sigaction action = {};
  action.sa_handler = NoteTermination;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

int TerminationSignal() { return g_signal; }

void EndWithTerminationSignal() {
  const int signal = g_signal ? static_cast<int>(g_signal) : SIGTERM;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  std::raise(signal);
  std::_Exit(128 + signal);
}

}  // namespace fw
