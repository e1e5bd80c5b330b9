#include "formats/jpeg_error.h"

#include <jerror.h>

namespace fw {
namespace {

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

// Corrupt-data warnings are not worth a line on standard error for every damaged file.
void NoOutput(j_common_ptr) {}

// Warnings (level -1) go on decoding, as libjpeg means them to; only the end of the data
// is remembered, because the rows after it are not the picture.
void NoteMessage(j_common_ptr info, int level) {
  if (level < 0) {
    ++info->err->num_warnings;
    if (info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegErrorTrap*>(info->err)->endedEarly = true;
  }
}

}  // namespace

jpeg_error_mgr* InstallJpegErrorTrap(JpegErrorTrap& trap) {
  jpeg_error_mgr* manager = jpeg_std_error(&trap.manager);
  manager->error_exit = JumpBack;
  manager->output_message = NoOutput;
  manager->emit_message = NoteMessage;
  trap.endedEarly = false;
  return manager;
}

}  // namespace fw
