#include "formats/jpeg_error.h"

namespace fw {
namespace {

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

// Corrupt-data warnings are not worth a line on standard error for every damaged file.
void NoOutput(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallJpegErrorTrap(JpegErrorTrap& trap) {
  jpeg_error_mgr* manager = jpeg_std_error(&trap.manager);
  manager->error_exit = JumpBack;
  manager->output_message = NoOutput;
  return manager;
}

}  // namespace fw
