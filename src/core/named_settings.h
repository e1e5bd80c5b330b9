#pragma once
// Named values of the settings store other than the preference block: the live-edit image
// editor ("CoEdit") and the open dialog's folder ("InitDir"). The signature text lives with
// the GIF writer and the fixed palette with the palette merge, which read them.
#include <string>

namespace fw {

// The live-edit editor's full path; empty when none is set or there is no store.
std::string StoredEditorPath();
// Stores the editor's path and records whether it handles layered PSD files (word 15 bit 3).
// False when the path could not be stored.
bool StoreEditorPath(const std::string& path);
// True for the one editor known to open layered PSD files: a path whose last twelve characters
// are "photoshp.exe", in any case.
bool EditorHandlesLayers(const std::string& path);

// The folder of the last open dialog; empty when unknown.
std::string StoredInitialDirectory();
bool StoreInitialDirectory(const std::string& folder);

}  // namespace fw
