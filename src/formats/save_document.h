#pragma once
// Writing a document under a name, by the type its ending names, through a temporary file
// that replaces the target only when complete.
#include <string>

#include "core/anim_document.h"

namespace fw {

class Progress;

enum SaveType : int {
  kSaveGif = 1, kSaveAvi, kSaveSwf, kSaveBmp, kSaveJpg, kSavePsd, kSavePng, kSaveCur, kSaveIco, kSaveAni
};

// The type named by the last three characters of the name (ignoring case); GIF otherwise.
int SaveTypeForName(const std::string& path);
const char* SaveTypeExtension(int type);

// Save without a window: frames outside the screen are clipped without asking. Shows its own
// messages; true when the target now holds the document.
bool SaveDocumentAs(const std::string& path, AnimHeader& document, Progress* progress = nullptr);

}  // namespace fw
