#include "cli/cli_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>

namespace fw::test {

ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& workDir, const std::string& configDir,
                      long fileSizeLimit) {
  int pipeFds[2];
  ProgramRun run;
  if (::pipe(pipeFds) != 0) return run;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::dup2(pipeFds[1], 2);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    if (::chdir(workDir.c_str()) != 0) _exit(126);
    if (fileSizeLimit >= 0) {
      // Ignored, the signal lets the write fail with EFBIG instead of ending the process.
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
    }
    ::setenv("FRAMEWRIGHT_CONFIG_DIR", configDir.c_str(), 1);
    // A program that hangs (a window opened where none was wanted) ends here, not at the
    // test runner's far longer limit; the alarm outlives exec.
    ::alarm(120);
    std::vector<char*> argv;
    std::string program = FW_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  ::close(pipeFds[1]);
  std::array<char, 4096> buffer;
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer.data(), buffer.size())) > 0) run.output.append(buffer.data(), static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace fw::test
