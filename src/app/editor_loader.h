#pragma once

namespace fw {

// The editor window lives in a module of its own, loaded only when a window is wanted, so that
// batch runs start without mapping and relocating Qt's interface libraries. Returns the
// editor's exit status, or 1 after saying why the module could not be loaded.
int RunEditorModule(int argc, char** argv);

}  // namespace fw
