#pragma once
// The system's reason for a failed file write, carried from the writer that met it to the
// save step, which alone knows the name the user asked for. Writers work on a hidden
// temporary file; a message naming that file, or none at all, leaves the user guessing.
#include <string>

namespace fw {

// Records errno-style `systemError` for the calling thread; the first one since the last
// take stays (later ones are usually consequences of it). 0 is ignored.
void NoteWriteError(int systemError);
// Records the current errno (EIO when errno says nothing).
void NoteWriteErrno();
// The recorded error, cleared; 0 when none.
int TakeWriteError();

// "无法写入 <target>." followed by the system's reason.
void ReportWriteFailure(const std::string& target, int systemError);

}  // namespace fw
