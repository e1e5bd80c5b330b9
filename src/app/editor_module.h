#pragma once

// The one symbol the editor module exports: the program entry looks it up after loading it.
#define FW_EDITOR_ENTRY "framewright_run_editor"
extern "C" int framewright_run_editor(int argc, char** argv);
