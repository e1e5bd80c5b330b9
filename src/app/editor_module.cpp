#include "app/editor_module.h"

#include "app/main_window.h"

extern "C" __attribute__((visibility("default"))) int framewright_run_editor(int argc, char** argv) {
  return fw::RunEditor(argc, argv);
}
