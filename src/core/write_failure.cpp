#include "core/write_failure.h"

#include <cerrno>
#include <cstring>

#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

thread_local int t_writeError = 0;
constexpr int kCannotWrite = 40241;

}  // namespace

void NoteWriteError(int systemError) {
  if (systemError != 0 && t_writeError == 0) t_writeError = systemError;
}

void NoteWriteErrno() { NoteWriteError(errno != 0 ? errno : EIO); }

int TakeWriteError() {
  const int error = t_writeError;
  t_writeError = 0;
  return error;
}

void ReportWriteFailure(const std::string& target, int systemError) {
  std::string text = FormatText(MessageText(kCannotWrite), target.c_str());
  if (systemError != 0) text += std::string(" (") + std::strerror(systemError) + ")";
  Messages().showError(kCannotWrite, text);
}

}  // namespace fw
