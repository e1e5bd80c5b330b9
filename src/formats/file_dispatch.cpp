#include "formats/file_dispatch.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/bmp_file.h"
#include "formats/jpeg_file.h"
#include "formats/ani_file.h"
#include "formats/avi_file.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "formats/psd_file.h"
#include "gif/gif_reader.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext(Extension(path));
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

LoadResult ReadGif(ByteSource& source, const std::string& path, Progress* progress, LoadOptions options) {
  uint8_t signature[6];
  if (!source.readExact(signature, 6) || !IsGifSignature(signature)) {
    ShowMessage(msg::kNotValidGif, path.c_str());
    return {};
  }
  return ReadGifFile(source, progress, {.keepDataAsRead = options.keepGifDataAsRead});
}

bool HasTrueColourOnlyFrames(const AnimHeader& document) {
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->hasTrueColour() && !f->indexedImage) return true;
  return false;
}

}  // namespace

void ApplyAutomaticTransparency(AnimHeader& document) {
  if (!Prefs().bit(pref::kMoreFlags, pref::kLoadTransparentColour)) return;
  const uint32_t colour = Prefs().read(pref::kTransparentColour);
  const Rgb wanted{static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour >> 16)};
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->transparent() || f->hasTrueColour() || !f->activePalette) continue;
    const Palette& palette = *f->activePalette;
    for (int i = 0; i < palette.count(); ++i) {
      if (palette[i] == wanted) {
        SetTransparentIndex(*f, i);
        SetTransparency(*f, true);
        break;
      }
    }
  }
}

LoadResult LoadAnimationFile(const std::string& path, Progress* progress, LoadOptions options) {
  // Only regular files: a FIFO or a terminal would block the open or be read without end, a
  // device such as /dev/zero until memory runs out.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    ShowMessage(msg::kCannotOpenFile, path.c_str());
    return {};
  }
  auto source = FileByteSource::Open(path);
  if (!source) {
    ShowMessage(msg::kCannotOpenFile, path.c_str());
    return {};
  }
  const std::string ext = LowerExtension(path);
  LoadResult result;
  if (ext == "gif") {
    result = ReadGif(*source, path, progress, options);
  } else if (ext == "bmp" || ext == "dib") {
    source.reset();
    result = ReadBmpFile(path);
  } else if (ext == "jpg" || ext == "jpe" || ext == "jpeg") {
    source.reset();
    result = ReadJpegFile(path);
  } else if (ext == "png") {
    source.reset();
    result = ReadPngFile(path);
  } else if (ext == "psd") {
    source.reset();
    result = ReadPsdFile(path, false, progress);
  } else if (ext == "ico" || ext == "cur") {
    source.reset();
    result = ReadIconFile(path);
  } else if (ext == "ani") {
    source.reset();
    result = ReadAniFile(path);
  } else if (ext == "avi") {
    source.reset();
    result = ReadAvi(path, progress);
  } else {
    ShowMessage(msg::kCannotReadType);
    return {};
  }
  if (result.status == kReadFailed || !result.document) return {};

  AnimHeader& doc = *result.document;
  // Frames read as true colour only are brought onto a palette here, as the stored merge
  // choice says, so that every loaded document can be shown, merged and saved as GIF; with
  // word 6 bit 25 the conversion keeps their true-colour planes beside the new indexes.
  if (HasTrueColourOnlyFrames(doc) && ConvertPalettes(nullptr, &doc, 0, progress) != kConvertDone) return {};
  NameFramesFromFile(doc, path);
  ApplyAutomaticTransparency(doc);
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  SingleFrameDisposal(doc);
  return result;
}

}  // namespace fw
