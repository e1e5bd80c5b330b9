#pragma once
// Writing a document under a name, by the type its ending names, through a temporary file
// that replaces the target only when complete.
#include <cstdint>
#include <string>

#include "core/anim_document.h"

namespace fw {

class Progress;
struct AviExportSettings;

enum SaveType : int {
  kSaveGif = 1, kSaveAvi, kSaveSwf, kSaveBmp, kSaveJpg, kSavePsd, kSavePng, kSaveCur, kSaveIco, kSaveAni
};

// The type named by the last three characters of the name (ignoring case); GIF otherwise.
int SaveTypeForName(const std::string& path);
const char* SaveTypeExtension(int type);

// Before a GIF is saved: comments holding an earlier signature go, and the current signature
// comes first unless the preferences leave it out (word 6 bit 3).
void UpdateSignatureComment(AnimHeader& document);

// One image by the single-image writer of the type: JPEG always from true colour (an 8-bit
// image is expanded on a copy), PNG too when word 15 bit 10 asks for it. `filmstripOf` adds
// the pAni chunk to a PNG. 1 on success.
int WriteSingleImage(const std::string& path, ImageBlock& image, int type, const AnimHeader* filmstripOf);

// The write step of Save and Save As. `options` (filmstrip/flags in formats/filmstrip.h):
// 1 or 2 write the whole animation where the type can hold one (GIF, APNG for several PNG
// frames), otherwise the first image; 0x10 a filmstrip picture, 0x20 numbered files. Shows
// its own messages; true when the target (or every numbered file) was written.
// `avi` carries the AVI settings the user chose; without it an AVI takes the stored defaults.
bool WriteDocument(const std::string& target, AnimHeader& document, uint32_t options, int type,
                   Progress* progress = nullptr, const AviExportSettings* avi = nullptr);

// Save without a window: frames outside the screen are clipped without asking, and the type's
// whole-animation style is used. Shows its own messages; true when the target was written.
bool SaveDocumentAs(const std::string& path, AnimHeader& document, Progress* progress = nullptr);

}  // namespace fw
