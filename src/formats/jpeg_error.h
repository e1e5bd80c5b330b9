#pragma once
// libjpeg reports fatal errors by calling error_exit, which must not return. We jump back to
// the function that set the trap instead of letting the library end the process.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace fw {

struct JpegErrorTrap {
  jpeg_error_mgr manager;  // first, so the library's pointer is also ours
  std::jmp_buf jump;
  bool endedEarly = false;  // the data ran out and libjpeg went on with blank (grey) blocks
};

// Installs the standard manager with a jumping error_exit and silent warnings; warnings
// never stop a read, and the one for data that ends early is noted in the trap.
jpeg_error_mgr* InstallJpegErrorTrap(JpegErrorTrap& trap);

}  // namespace fw
