#include "formats/save_document.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/file_replace.h"
#include "core/frame_clip.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/write_failure.h"
#include "formats/ani_file.h"
#include "formats/avi_file.h"
#include "formats/bmp_file.h"
#include "formats/filmstrip.h"
#include "formats/format_messages.h"
#include "formats/frame_sequence.h"
#include "formats/jpeg_file.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "formats/psd_file.h"
#include "formats/swf_file.h"
#include "gif/gif_writer.h"

namespace fw {
namespace {

const char* const kExtensions[] = {"", "gif", "avi", "swf", "bmp", "jpg", "psd", "png", "cur", "ico", "ani"};

// Word 15 bits.
constexpr uint32_t kFilmstripLayoutInName = 1u << 9;
constexpr uint32_t kPngAlwaysTrueColour = 1u << 10;

bool WritesImages(int type) { return type == kSaveGif || type == kSaveBmp || type == kSaveJpg || type == kSavePng; }
bool WritesWholeAnimation(int type) {
  return type == kSaveAvi || type == kSaveSwf || type == kSavePsd || type == kSaveCur || type == kSaveIco ||
         type == kSaveAni;
}

// A writer met a file that refused its bytes: say so under the name the user chose, not the
// temporary file's, with the system's reason.
void ReportNotedWriteFailure(const std::string& target) {
  if (const int error = TakeWriteError()) ReportWriteFailure(target, error);
}

// A target that may not be replaced has been reported already.
bool ReportNoTemporaryFile(const ReplacementFile& file) {
  if (!file.targetRefused()) ShowMessage(fmsg::kCannotSaveTemp, (DirectoryOf(file.resolvedTarget()) + "/").c_str());
  return false;
}

// AVI, SWF, PSD, icons and cursors: the whole animation by the type's writer, through a
// temporary file beside the target.
bool WriteWholeAnimation(const std::string& target, AnimHeader& document, int type, Progress* progress,
                         const AviExportSettings* avi) {
  if (type == kSaveCur || type == kSaveIco || type == kSaveAni) {
    // An icon directory entry holds 1 to 256 (written as 0); animated cursors keep their
    // images as DIBs, which readers expect below 256.
    const int largest = type == kSaveAni ? 255 : 256;
    for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
      if (f->width > largest || f->height > largest) {
        ShowMessage(40335);
        return false;
      }
  }
  ReplacementFile file(target, SaveTypeExtension(type));
  if (!file.ok()) return ReportNoTemporaryFile(file);
  const std::string& temporary = file.writePath();
  int written = 0;
  if (type == kSaveAvi) {
    AviExportSettings settings;
    if (avi) settings = *avi;
    else FillAviDefaults(document, settings);
    // The AVI writer finishes through a file of its own renamed over the name it is given.
    written = WriteAvi(file.name(), document, settings, progress);
    if (written == 1 && !file.adoptRenamedFile()) {
      ShowMessage(fmsg::kCannotWrite, target.c_str());
      written = 0;
    }
  } else if (type == kSaveSwf || type == kSavePsd) {
    written = type == kSaveSwf ? WriteSwfFile(temporary, document, progress) : WritePsdFile(temporary, document);
  } else if (type == kSaveAni) {
    written = WriteAniFile(temporary, document);
  } else {
    written = WriteIconFile(temporary, document, type == kSaveCur ? kIconTypeCursor : kIconTypeIcon);
  }
  if (written != 1) {
    ReportNotedWriteFailure(target);
    return false;
  }
  return file.commit();
}

// Writes an 8-bit image through a true-colour copy of it, leaving the document alone.
template <typename Writer>
int ThroughTrueColour(ImageBlock& image, Writer write) {
  if (image.hasTrueColour()) return write(image);
  ImagePtr copy = CopyImage(image, image.activePalette);
  if (!copy || !ExpandToTrueColour(*copy)) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  return write(*copy);
}

}  // namespace

int SaveTypeForName(const std::string& path) {
  if (path.size() < 3) return kSaveGif;
  std::string last = path.substr(path.size() - 3);
  std::transform(last.begin(), last.end(), last.begin(), [](unsigned char c) { return std::tolower(c); });
  for (int type = kSaveGif; type <= kSaveAni; ++type)
    if (last == kExtensions[type]) return type;
  return kSaveGif;
}

const char* SaveTypeExtension(int type) {
  return (type >= kSaveGif && type <= kSaveAni) ? kExtensions[type] : kExtensions[kSaveGif];
}

void UpdateSignatureComment(AnimHeader& document) {
  const std::string signature = SignatureText();
  for (GifBlock* b = document.blockList->next; b;) {
    GifBlock* next = b->next;
    if (IsSignatureComment(*b, signature)) RemoveBlock(b);
    b = next;
  }
  if (Prefs().bit(pref::kOptionFlags, pref::kNoSignature) || signature.empty()) return;
  std::unique_ptr<ExtensionBlock> comment = CreateExtensionBlock(block_kind::kComment);
  if (comment && SetCommentText(*comment, signature)) InsertAfter(document.blockList, comment.release());
}

int WriteSingleImage(const std::string& path, ImageBlock& image, int type, const AnimHeader* filmstripOf) {
  switch (type) {
    case kSaveGif:
      return WriteFrameAsGif(path, image);
    case kSaveBmp:
      return WriteBmpFile(path, image, 0);
    case kSaveJpg:
      return ThroughTrueColour(image, [&](ImageBlock& i) { return WriteJpegFile(path, i); });
    case kSavePng:
      if (Prefs().bit(pref::kMoreFlags, kPngAlwaysTrueColour))
        return ThroughTrueColour(image, [&](ImageBlock& i) { return WritePng(path, i, filmstripOf); });
      return WritePng(path, image, filmstripOf);
    default:
      return 0;
  }
}

bool WriteDocument(const std::string& target, AnimHeader& document, uint32_t options, int type, Progress* progress,
                   const AviExportSettings* avi) {
  // Every type would give a file no reader accepts (or none at all, with no word why).
  if (!FirstImage(&document)) {
    ShowText("Nothing to output.");
    return false;
  }
  TakeWriteError();  // whatever an earlier write left behind is not this one's
  if (WritesWholeAnimation(type)) return WriteWholeAnimation(target, document, type, progress, avi);
  if (!WritesImages(type)) {
    ShowText("Saving as %s is not available in this build yet; %s was not written.", SaveTypeExtension(type),
             target.c_str());
    return false;
  }
  const std::string extension = SaveTypeExtension(type);
  const bool wholeAnimation = (options & (save_option::kNoStyle | save_option::kAnimation)) != 0;

  if (type != kSaveGif || !wholeAnimation) {
    if (options & save_option::kSequence) {
      auto write = [type](const std::string& path, ImageBlock& image) {
        return WriteSingleImage(path, image, type, nullptr);
      };
      return SaveFrameSequence(target, document, options, extension, write, progress) == 1;
    }
  }

  std::string finalTarget = target;
  AnimPtr strip;
  ImageBlock* single = nullptr;
  const AnimHeader* filmstripOf = nullptr;
  // One frame that does not cover the screen is written on a canvas of the screen's size (clear
  // around it), as the animation shows it; the APNG writer does that.
  const ImageBlock* only = document.frameCount == 1 ? FirstImage(&document) : nullptr;
  const bool offsetPicture = only && !(options & save_option::kFilmstrip) &&
                             (only->left != 0 || only->top != 0 || only->width != document.screenWidth ||
                              only->height != document.screenHeight);
  const bool apng = type == kSavePng && wholeAnimation && (document.frameCount > 1 || offsetPicture);
  AnimPtr shown;
  AnimHeader* gifDocument = &document;
  if (type == kSaveGif && wholeAnimation) {
    UpdateSignatureComment(document);
    // A picture outside the animation (an APNG's hidden default image) stays out of the GIF.
    if (document.hideFirstFrame && document.frameCount > 1) {
      shown = CopyAnimation(document, nullptr);
      if (!shown) {
        ShowMessage(msg::kNoMemoryFrameImage);
        return false;
      }
      BlockPtr dropped = DetachBlock(FirstImage(shown.get()));
      --shown->frameCount;
      shown->hideFirstFrame = 0;
      gifDocument = shown.get();
    }
  } else if (!apng && (options & save_option::kFilmstrip)) {
    if (const int problem = FilmstripSaveProblem(document)) {
      ShowMessage(problem);
      return false;
    }
    strip = ComposeFilmstrip(document, options);
    if (!strip) return false;
    single = FirstImage(strip.get());
    int columns = 0, rows = 0;
    FilmstripGrid(document.frameCount, options, columns, rows);
    if (Prefs().bit(pref::kMoreFlags, kFilmstripLayoutInName)) finalTarget = FilmstripFileName(target, columns, rows);
    // Readers split a pAni picture into one row of equal tiles, so only such a strip says so.
    if (type == kSavePng && rows == 1 && columns == document.frameCount) filmstripOf = &document;
  } else if (!apng) {
    single = FirstImage(&document);
    if (!single) return false;
  }

  // Created first so that a folder we cannot write to is reported the same way for every type
  // (the PNG writers stay silent about it).
  ReplacementFile file(finalTarget, extension);
  if (!file.ok()) return ReportNoTemporaryFile(file);
  const std::string& temporary = file.writePath();
  int written;
  if (type == kSaveGif && wholeAnimation)
    written = WriteGifFile(temporary, *gifDocument, progress);
  else if (apng)
    written = WriteApng(temporary, document);
  else
    written = WriteSingleImage(temporary, *single, type, filmstripOf);
  if (written != 1) {
    ReportNotedWriteFailure(finalTarget);
    return false;
  }
  return file.commit();
}

bool SaveDocumentAs(const std::string& path, AnimHeader& document, Progress* progress) {
  const int type = SaveTypeForName(path);
  if (!WritesImages(type) && !WritesWholeAnimation(type))
    return WriteDocument(path, document, save_option::kNoStyle, type, progress);
  ClipAllToScreen(document);
  return WriteDocument(path, document, save_option::kNoStyle, type, progress);
}

}  // namespace fw
